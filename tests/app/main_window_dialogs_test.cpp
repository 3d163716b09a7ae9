// The main window's small dialogs as a user meets them: About box, extra
// settings, promotion window (from the menu and at start), colours, fonts,
// channels.
#include "tests/app/program_harness.h"

#include "app/start_with_windows.h"
#include "config/ini_file.h"
#include "config/profile.h"
#include "framework/text.h"
#include "framework/win_app.h"

#include <richedit.h>

using namespace qm487test;

namespace {

// A visible dialog of the program's thread with this title, or nullptr.
HWND FindDialog(const RunningProgram& program, const std::wstring& title, HWND except = nullptr) {
    struct Search {
        const std::wstring* title;
        HWND except;
        HWND found;
    } search = {&title, except, nullptr};
    EnumThreadWindows(
        program.GuiThreadId(),
        [](HWND hWnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            if (hWnd != s->except && IsWindowVisible(hWnd) && WindowText(hWnd) == *s->title) {
                s->found = hWnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialog(const RunningProgram& program, const std::wstring& title, DWORD timeoutMs = 10000) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindDialog(program, title)) != nullptr; }, timeoutMs);
    return found;
}

// Any other visible dialog of the thread: the common dialogs, whose titles
// follow Wine's language.
HWND WaitForOtherDialog(const RunningProgram& program, HWND known) {
    struct Search {
        HWND main, known, found;
    } search = {program.Main(), known, nullptr};
    WaitFor(
        [&] {
            search.found = nullptr;
            EnumThreadWindows(
                program.GuiThreadId(),
                [](HWND hWnd, LPARAM lp) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(lp);
                    wchar_t cls[32] = {};
                    GetClassNameW(hWnd, cls, 32);
                    if (hWnd != s->main && hWnd != s->known && std::wstring(cls) == L"#32770" &&
                        IsWindowVisible(hWnd)) {
                        s->found = hWnd;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        10000);
    return search.found;
}

bool WaitUntilGone(HWND hWnd) {
    return WaitFor([&] { return !IsWindow(hWnd) || !IsWindowVisible(hWnd); }, 10000);
}

void ClickStatic(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int SavedShowAdv(const RunningProgram& program) {
    CIniFile ini;
    if (!ini.Load(program.IniPath().string()))
        return -1;
    return ini.GetInt("GENERAL", "SHOW_ADV", -1);
}

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The command of a value under the user's Run key; empty when there is none.
std::string RunValue(const std::string& name) {
    char szText[1024] = {};
    DWORD cb = sizeof szText;
    return RegGetValueA(HKEY_CURRENT_USER, kRunKey, name.c_str(), RRF_RT_REG_SZ, nullptr, szText, &cb) == ERROR_SUCCESS
               ? szText
               : "";
}

// A value under the Run key, there for the length of a test.
class ScopedRunValue {
public:
    ScopedRunValue(const std::string& name, const std::string& command) : m_name(name) {
        RegSetKeyValueA(HKEY_CURRENT_USER, kRunKey, name.c_str(), REG_SZ, command.c_str(),
                        static_cast<DWORD>(command.size() + 1));
    }
    ~ScopedRunValue() { RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, m_name.c_str()); }

private:
    std::string m_name;
};

// Returns once the program's thread has done what followed a dialog or box
// that has gone: a sent message waits for the handler to return.
void Settle(const RunningProgram& program) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(program.Main(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
}

bool IsStartWithWindowsTicked(const RunningProgram& program) {
    PostMessageW(program.Main(), WM_COMMAND, ID_EXTRA_SETTINGS, 0);
    HWND dialog = WaitForDialog(program, L"Ustawienia dodatkowe");
    const bool bTicked = SendMessageW(GetDlgItem(dialog, IDC_START_WITH_WINDOWS), BM_GETCHECK, 0, 0) == BST_CHECKED;
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    WaitUntilGone(dialog);
    return bTicked;
}

// Ticks or unticks the box and closes the dialog with OK.
void TickStartWithWindows(const RunningProgram& program, bool bOn) {
    PostMessageW(program.Main(), WM_COMMAND, ID_EXTRA_SETTINGS, 0);
    HWND dialog = WaitForDialog(program, L"Ustawienia dodatkowe");
    SendMessageW(GetDlgItem(dialog, IDC_START_WITH_WINDOWS), BM_SETCHECK, bOn ? BST_CHECKED : BST_UNCHECKED, 0);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    WaitUntilGone(dialog);
    Settle(program);
}

HWND FocusOf(const RunningProgram& program) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(program.GuiThreadId(), &info);
    return info.hwndFocus;
}

}  // namespace

TEST(SmallDialogs, AboutBoxFromTheMenuAndFromTheSystemMenu) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    for (int way = 0; way < 2; ++way) {
        if (way == 0)
            PostMessageW(program.Main(), WM_COMMAND, ID_ABOUT, 0);
        else
            PostMessageW(program.Main(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        HWND about = WaitForDialog(program, L"O programie");
        ASSERT_NE(about, nullptr) << way;
        HWND mail = GetDlgItem(about, IDC_ABOUT_MAIL);
        EXPECT_EQ(WindowText(mail), L"biuro@orvel.example.pl");
        EXPECT_TRUE(GetWindowLongW(mail, GWL_STYLE) & SS_NOTIFY);
        // The link shrank from the template's width to its text.
        RECT rc;
        GetClientRect(mail, &rc);
        RECT rcTemplate = {0, 0, 130, 8};
        MapDialogRect(about, &rcTemplate);
        EXPECT_LT(rc.right, rcTemplate.right);
        EXPECT_GT(rc.right, 0);
        HWND logo = GetDlgItem(about, IDC_ABOUT_LOGO);
        EXPECT_NE(SendMessageW(logo, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
        bool versionShown = false;
        for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            versionShown |= WindowText(child) == L"QM487 Wersja 3.05";
        EXPECT_TRUE(versionShown);
        PostMessageW(about, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitUntilGone(about));
    }
    EXPECT_TRUE(program.Close());
}

// A profile's copy: its Run value is named after it, and the title says it.
TEST(SmallDialogs, ExtraSettingsSwitchThePromotionOffAndStartWithWindowsAndCancelChangesNothing) {
    RunningProgram program;
    program.UseProfile("Rig 7");
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(WindowText(program.Main()), L"QM487 \x2013 Rig 7");
    PostMessageW(program.Main(), WM_COMMAND, ID_EXTRA_SETTINGS, 0);
    HWND dialog = WaitForDialog(program, L"Ustawienia dodatkowe");
    ASSERT_NE(dialog, nullptr);
    HWND check = GetDlgItem(dialog, IDC_HIDE_PROMO);
    EXPECT_EQ(WindowText(check), L"Nie pokazu informacji o oprogramowaniu NIMBO przy starcie");
    EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    // Not BM_CLICK: its mouse capture can be taken by another test's window
    // on the shared display, and the click is then lost.
    SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
    HWND start = GetDlgItem(dialog, IDC_START_WITH_WINDOWS);
    EXPECT_EQ(WindowText(start), L"Uruchamiaj razem z systemem Windows");
    EXPECT_EQ(SendMessageW(start, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageW(start, BM_SETCHECK, BST_CHECKED, 0);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntilGone(dialog));
    // Written at once, not only at exit.
    EXPECT_TRUE(WaitFor([&] { return SavedShowAdv(program) == 0; }, 30000));
    EXPECT_FALSE(program.Dialog()->ShowsPromotion());
    const std::string command = "\"" + afx::Narrow1250(AfxGetApp()->m_wstrProgramPath) + "\" /profile \"Rig 7\" /autostart";
    EXPECT_TRUE(WaitFor([&] { return RunValue("QM487 Rig 7") == command; }, 10000)) << RunValue("QM487 Rig 7");

    PostMessageW(program.Main(), WM_COMMAND, ID_EXTRA_SETTINGS, 0);
    dialog = WaitForDialog(program, L"Ustawienia dodatkowe");
    ASSERT_NE(dialog, nullptr);
    check = GetDlgItem(dialog, IDC_HIDE_PROMO);
    EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageW(check, BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_EQ(SendMessageW(GetDlgItem(dialog, IDC_START_WITH_WINDOWS), BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageW(GetDlgItem(dialog, IDC_START_WITH_WINDOWS), BM_SETCHECK, BST_UNCHECKED, 0);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntilGone(dialog));
    EXPECT_FALSE(program.Dialog()->ShowsPromotion());
    EXPECT_NE(RunValue("QM487 Rig 7"), "");

    // Switched off, the value goes.
    PostMessageW(program.Main(), WM_COMMAND, ID_EXTRA_SETTINGS, 0);
    dialog = WaitForDialog(program, L"Ustawienia dodatkowe");
    ASSERT_NE(dialog, nullptr);
    SendMessageW(GetDlgItem(dialog, IDC_START_WITH_WINDOWS), BM_SETCHECK, BST_UNCHECKED, 0);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntilGone(dialog));
    EXPECT_TRUE(WaitFor([&] { return RunValue("QM487 Rig 7").empty(); }, 10000));

    // The name held by another copy's value, or by this copy's from the
    // folder it was moved out of: the box tells what starts this copy, and
    // this copy's value goes under a name of its own; unticked, only that
    // one goes.
    for (const char* pszOther : {"\"C:\\Inny\\QM487.exe\" /profile \"Rig 7\" /autostart",
                                 "\"C:\\Stary folder\\QM487.exe\" /profile \"Rig 7\""}) {
        SCOPED_TRACE(pszOther);
        ScopedRunValue other("QM487 Rig 7", pszOther);
        EXPECT_FALSE(IsStartWithWindowsTicked(program));
        TickStartWithWindows(program, true);
        const std::string own = CopyRunValueName("Rig 7", AfxGetApp()->m_wstrProgramPath);
        EXPECT_EQ(RunValue(own), command);
        EXPECT_EQ(RunValue("QM487 Rig 7"), pszOther);
        EXPECT_TRUE(IsStartWithWindowsTicked(program));
        TickStartWithWindows(program, false);
        EXPECT_EQ(RunValue(own), "");
        EXPECT_EQ(RunValue("QM487 Rig 7"), pszOther);
    }
    // Written with a variable (REG_EXPAND_SZ), the value starts this copy as
    // Windows expands it: the box shows it, unticking removes it.
    const std::wstring path = AfxGetApp()->m_wstrProgramPath;
    SetEnvironmentVariableW(L"QM487_TEST_FOLDER", path.substr(0, path.rfind(L'\\')).c_str());
    const std::wstring expand = L"\"%QM487_TEST_FOLDER%" + path.substr(path.rfind(L'\\')) + L"\" /profile \"Rig 7\"";
    RegSetKeyValueW(HKEY_CURRENT_USER, afx::Widen1250(kRunKey).c_str(), L"QM487 Rig 7", REG_EXPAND_SZ, expand.c_str(),
                    static_cast<DWORD>((expand.size() + 1) * sizeof(wchar_t)));
    EXPECT_TRUE(IsStartWithWindowsTicked(program));
    TickStartWithWindows(program, false);
    EXPECT_EQ(RunValue("QM487 Rig 7"), "");
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kRunKey, "QM487 Rig 7");
    // This program's value for another profile is not this profile's.
    ScopedRunValue other("QM487 Rig 8", "\"" + afx::Narrow1250(AfxGetApp()->m_wstrProgramPath) + "\" /profile \"Rig 8\" /autostart");
    EXPECT_FALSE(IsStartWithWindowsTicked(program));
    ASSERT_TRUE(program.Close());
    EXPECT_EQ(SavedShowAdv(program), 0);
}

// "Odinstaluj" of a portable copy: its files go by hand; the values that
// start it go only when the user says yes, and another copy's stay.
TEST(SmallDialogs, UninstallOfAPortableCopyAsksBeforeItStopsStartingWithWindows) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    const std::string command = "\"" + afx::Narrow1250(AfxGetApp()->m_wstrProgramPath) + "\" /profile \"Rig 9\" /autostart";
    ScopedRunValue mine("QM487 Rig 9", command);
    ScopedRunValue others("QM487 Rig 9 (0123ABCD)", "\"C:\\Inny\\QM487.exe\" /profile \"Rig 9\" /autostart");
    for (int answer : {IDNO, IDYES}) {
        PostMessageW(program.Main(), WM_COMMAND, ID_UNINSTALL, 0);
        HWND box = program.WaitForMessageBox();
        ASSERT_NE(box, nullptr);
        const std::wstring text = RunningProgram::MessageBoxText(box);
        EXPECT_EQ(text.rfind(L"Program QM487 nie jest instalowany", 0), 0u) << testing::PrintToString(text);
        EXPECT_NE(text.find(L"Czy wy\x0142\x0105" L"czy\x0107 to teraz?"), std::wstring::npos);
        EXPECT_EQ(RunValue("QM487 Rig 9"), command) << "nothing removed before the answer";
        PostMessageW(box, WM_COMMAND, answer, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, 10000));
        Settle(program);
        EXPECT_EQ(RunValue("QM487 Rig 9"), answer == IDYES ? "" : command);
        EXPECT_NE(RunValue("QM487 Rig 9 (0123ABCD)"), "") << "another copy's value stays";
    }
    EXPECT_TRUE(IsWindowVisible(program.Main()));
}

TEST(SmallDialogs, PromotionTextIsShownAndAClickIntoItLeavesTheFocusOnTheDialog) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    PostMessageW(program.Main(), WM_COMMAND, ID_PROMOTION, 0);
    HWND dialog = WaitForDialog(program, L"ORVEL - promocja NIMBO");
    ASSERT_NE(dialog, nullptr);
    HWND text = GetDlgItem(dialog, IDC_PROMO_TEXT);
    ASSERT_NE(text, nullptr);
    std::wstring content(static_cast<size_t>(GetWindowTextLengthW(text)) + 1, L'\0');
    content.resize(static_cast<size_t>(GetWindowTextW(text, content.data(), static_cast<int>(content.size()))));
    EXPECT_NE(content.find(L"NIMBO - program do pomiar\x00f3w"), std::wstring::npos);
    EXPECT_NE(content.find(L"https://www.orvel.example.pl/nimbo.htm"), std::wstring::npos);
    EXPECT_NE(SendMessageW(text, EM_GETAUTOURLDETECT, 0, 0), 0);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PROMO_MORE)),
              L"Kliknij, aby uzyska\x0107 wi\x0119" L"cej informacji w internecie");

    PostMessageW(text, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    PostMessageW(text, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    // A sent message is taken at the loop's next look into the queue: after
    // the third one the two posted clicks have been through it.
    for (int i = 0; i < 3; ++i)
        SendMessageW(dialog, WM_NULL, 0, 0);
    EXPECT_NE(FocusOf(program), text);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntilGone(dialog));
    EXPECT_TRUE(program.Close());
}

TEST(SmallDialogs, FirstRunShowsThePromotionAndThePortDialogOnlyAfterItCloses) {
    RunningProgram program;
    program.OfferPromotion();
    program.OfferPortDialog();
    ASSERT_TRUE(program.Start());
    HWND promo = WaitForDialog(program, L"ORVEL - promocja NIMBO");
    ASSERT_NE(promo, nullptr);
    EXPECT_TRUE(program.Dialog()->IsPopupOpen());
    // The port dialog's timer keeps ticking, but nothing opens behind it:
    // two ticks, and once the window's thread has answered after them (in
    // whatever loop it runs), any dialog they opened would be there.
    for (int tick = 0; tick < 2; ++tick)
        PostMessageW(program.Main(), WM_TIMER, CMainDialog::kPortDialogTimerId, 0);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(program.Main(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer));
    EXPECT_EQ(FindDialog(program, L"Porty"), nullptr);
    EXPECT_EQ(FindDialog(program, L"Prosz\x0119 czeka\x0107"), nullptr);
    EXPECT_TRUE(program.Dialog()->IsPopupOpen());
    PostMessageW(promo, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntilGone(promo));
    HWND ports = WaitForDialog(program, L"Porty", 30000);
    ASSERT_NE(ports, nullptr);
    EXPECT_FALSE(program.Dialog()->IsPopupOpen());
    PostMessageW(ports, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntilGone(ports));
    EXPECT_TRUE(program.Close());
}

TEST(SmallDialogs, AChosenColourShowsAtOnceAndCancelPutsItBack) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    CReadingView& field = program.Dialog()->Panel().Field(1);
    const COLORREF before = field.m_crBackground;
    PostMessageW(program.Main(), WM_COMMAND, ID_COLOURS, 0);
    HWND colours = WaitForDialog(program, L"Kolory");
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(colours, IDC_BACK1)), L"");

    ClickStatic(colours, IDC_BACK1);
    HWND chooser = WaitForOtherDialog(program, colours);
    ASSERT_NE(chooser, nullptr);
    // Red, green and blue edits of the full colour dialog.
    SetDlgItemTextW(chooser, 706, L"12");
    SetDlgItemTextW(chooser, 707, L"34");
    SetDlgItemTextW(chooser, 708, L"56");
    PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntilGone(chooser));
    ASSERT_TRUE(WaitFor([&] { return field.m_crBackground == RGB(12, 34, 56); }, 10000));

    PostMessageW(colours, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntilGone(colours));
    EXPECT_TRUE(WaitFor([&] { return field.m_crBackground == before; }, 10000));
    EXPECT_TRUE(program.Close());
}

TEST(SmallDialogs, AChosenFontShowsAtOnceAndCancelPutsItBack) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    CReadingView& field = program.Dialog()->Panel().Field(3);
    const LONG heightBefore = field.m_lfValue.lfHeight;
    PostMessageW(program.Main(), WM_COMMAND, ID_FONTS, 0);
    HWND fonts = WaitForDialog(program, L"Czcionki");
    ASSERT_NE(fonts, nullptr);
    HWND sample = GetDlgItem(fonts, IDC_FONT3);
    EXPECT_EQ(WindowText(sample), L"0123456789.");
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(sample, WM_GETFONT, 0, 0)), static_cast<HFONT>(field.m_fontValue));

    ClickStatic(fonts, IDC_FONT3);
    HWND chooser = WaitForOtherDialog(program, fonts);
    ASSERT_NE(chooser, nullptr);
    SetDlgItemTextW(chooser, 0x472, L"20");  // the size box
    PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntilGone(chooser));
    ASSERT_TRUE(WaitFor([&] { return field.m_lfValue.lfHeight != heightBefore; }, 10000));
    EXPECT_TRUE(WaitFor(
        [&] {
            return reinterpret_cast<HFONT>(SendMessageW(sample, WM_GETFONT, 0, 0)) ==
                   static_cast<HFONT>(field.m_fontValue);
        },
        10000));

    PostMessageW(fonts, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntilGone(fonts));
    EXPECT_TRUE(WaitFor([&] { return field.m_lfValue.lfHeight == heightBefore; }, 10000));
    EXPECT_TRUE(program.Close());
}

TEST(SmallDialogs, ChannelsTakeANameAndACertificatesCorrectionAtOnceAndKeepThemInTheFile) {
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    PostMessageW(program.Main(), WM_COMMAND, ID_CHANNELS, 0);
    HWND dialog = WaitForDialog(program, L"Kana\x0142y");
    ASSERT_NE(dialog, nullptr);
    SetDlgItemTextW(dialog, IDC_CH_NAME0 + 2,
                    L"Zamra\x017C"
                    L"arka 1");
    SendMessageW(GetDlgItem(dialog, IDC_CH_IN_USE0 + 3), BM_SETCHECK, BST_UNCHECKED, 0);
    // The certificate of a probe reading 0.3 high, for channel 2.
    SendMessageW(GetDlgItem(dialog, IDC_CH_POINT_CHANNEL), CB_SETCURSEL, 1, 0);
    const wchar_t* points[] = {L"0.3", L"0.0", L"100.3", L"100.0"};
    for (int i = 0; i < 4; ++i)
        SetDlgItemTextW(dialog, IDC_CH_READ1 + i, points[i]);
    SendMessageW(dialog, WM_COMMAND, IDC_CH_COMPUTE, 0);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CH_COMPUTED)),
              L"Kana\x0142 2: korekcja = 1.0000 \x00D7 odczyt - 0.30 \x00B0"
              L"C");
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CH_OFFSET0 + 2)), L"-0.30");
    TakeScreenshot(dialog);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntilGone(dialog));
    Settle(program);
    const ChannelConfig& config = program.Dialog()->Instrument().GetChannelConfig();
    EXPECT_EQ(config.Title(2), "Zamra\xBF"
                               "arka 1");
    EXPECT_EQ(CorrectReading(config[2], 20.0, false), 19.7);
    EXPECT_FALSE(config[3].bInUse);
    CIniFile ini;
    ASSERT_TRUE(ini.Load(program.IniPath().string()));
    EXPECT_EQ(ini.GetString("TEMP2", "NAME_TEMP2", ""), "Zamra\xBF"
                                                        "arka 1");
    EXPECT_EQ(ini.GetString("TEMP2", "CAL_OFFSET_TEMP2", ""), "-0.30");
    EXPECT_EQ(ini.GetString("TEMP2", "CAL_GAIN_TEMP2", ""), "1.0000");
    EXPECT_EQ(ini.GetString("TEMP3", "IN_USE_TEMP3", ""), "0");
    EXPECT_EQ(ini.FindKey(ini.FindSection("TEMP1"), "CAL_GAIN_TEMP1"), -1);
    ASSERT_TRUE(program.Close());
}
