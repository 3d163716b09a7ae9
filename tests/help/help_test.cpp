// "Pomoc" as a user meets it: QM487.chm (built beside this test as beside
// the program) opens in HTML Help at its start page and goes with the
// program; without it the same pages open in the browser. Wine has no HTML
// engine here, so the window shows no page: the build checks that every page
// is in the file.
#include "app/program_help.h"
#include "tests/app/program_harness.h"
#include "tests/ui/shell_handlers.h"

using namespace qm487test;

namespace {

const wchar_t kHelpTitle[] = L"Pomoc programu QM487";

std::wstring ProgramFolder() { return CProgramHelp().m_strFolder; }

std::wstring ClassName(HWND hWnd) {
    wchar_t cls[64] = {};
    GetClassNameW(hWnd, cls, 64);
    return cls;
}

// The HTML Help window of a thread, or nullptr.
HWND FindHelpWindow(DWORD threadId) {
    HWND found = nullptr;
    EnumThreadWindows(
        threadId,
        [](HWND hWnd, LPARAM lp) -> BOOL {
            if (ClassName(hWnd) == L"HH Parent") {
                *reinterpret_cast<HWND*>(lp) = hWnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::filesystem::path TempFolder(const char* name) {
    const auto dir = std::filesystem::temp_directory_path() / (std::string(name) + std::to_string(GetTickCount64()));
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace

TEST(Help, TheBuildPutsTheHelpBesideTheProgram) {
    EXPECT_TRUE(std::filesystem::is_regular_file(ProgramFolder() + L"\\QM487.chm"));
    for (const wchar_t* page : {L"index.htm", L"okno.htm", L"port.htm", L"rejestracja.htm", L"dde.htm", L"wyglad.htm",
                                L"problemy.htm", L"styl.css"})
        EXPECT_TRUE(std::filesystem::is_regular_file(ProgramFolder() + L"\\help\\" + page)) << page;
}

TEST(Help, TheCompiledFileOpensAtItsStartPage) {
    CHtmlHelp help;
    const std::wstring chm = ProgramFolder() + L"\\QM487.chm";
    HWND hWnd = help.DisplayTopic(nullptr, chm, CProgramHelp::kStartTopic);
    ASSERT_TRUE(help.IsLoaded()) << "hhctrl.ocx is not there";
    ASSERT_NE(hWnd, nullptr);
    EXPECT_EQ(ClassName(hWnd), L"HH Parent");
    EXPECT_EQ(WindowText(hWnd), kHelpTitle);
    help.CloseAll();
    EXPECT_FALSE(IsWindow(hWnd));
}

TEST(Help, WithoutTheCompiledFileTheStartPageOpensInTheBrowser) {
    const auto dir = TempFolder("qm487_help_html");
    std::filesystem::create_directories(dir / "help");
    std::ofstream(dir / "help" / "index.htm") << "<html></html>";
    const auto out = dir / "opened.txt";
    FakeBrowser browser(out);

    CProgramHelp help;
    help.m_strFolder = dir.wstring();
    EXPECT_EQ(help.Show(nullptr), CProgramHelp::Shown::Browser);
    EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(out).find("index.htm") != std::string::npos; }, 20000));
    const std::string opened = ReadFileBytes(out);
    EXPECT_NE(opened.find("help\\index.htm"), std::string::npos) << opened;

    // Neither the file nor the pages: nothing opens, and the caller says so.
    help.m_strFolder = (dir / "empty").wstring();
    EXPECT_EQ(help.Show(nullptr), CProgramHelp::Shown::Nothing);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

TEST(Help, PomocOpensTheHelpWindowWhichClosesWithTheProgram) {
    // Should HTML Help fail, the fallback must not start a real browser.
    const auto dir = TempFolder("qm487_help_window");
    FakeBrowser browser(dir / "opened.txt");
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    EXPECT_EQ(FindHelpWindow(program.GuiThreadId()), nullptr);
    program.Command(ID_HELP_CONTENTS);
    HWND hHelp = FindHelpWindow(program.GuiThreadId());
    ASSERT_NE(hHelp, nullptr);
    EXPECT_EQ(hHelp, program.Dialog()->Help().m_hWindow);
    EXPECT_EQ(WindowText(hHelp), kHelpTitle);
    EXPECT_TRUE(IsWindowVisible(hHelp));
    // A second "Pomoc" brings up the same window.
    program.Command(ID_HELP_CONTENTS);
    EXPECT_EQ(FindHelpWindow(program.GuiThreadId()), hHelp);
    EXPECT_TRUE(IsWindow(program.Main()));

    ASSERT_TRUE(program.Close());
    EXPECT_FALSE(IsWindow(hHelp));
    EXPECT_FALSE(std::filesystem::exists(dir / "opened.txt"));
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

TEST(Help, PomocWithNoHelpBesideTheProgramSaysSo) {
    const auto dir = TempFolder("qm487_help_none");
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    const std::wstring folder = (dir / L"\u041f\u043e\u043c\u043e\u0449\u044c").wstring();  // no Windows-1250 letters
    program.Dialog()->Help().m_strFolder = folder;
    const std::wstring text = program.MessageBoxOfCommand(ID_HELP_CONTENTS);
    EXPECT_EQ(text.rfind(L"Nie mo\u017cna otworzy\u0107 pomocy programu.", 0), 0u) << text;
    EXPECT_NE(text.find(folder), std::wstring::npos) << text;
    EXPECT_EQ(FindHelpWindow(program.GuiThreadId()), nullptr);
    ASSERT_TRUE(program.Close());
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

TEST(Help, F1OpensTheSameHelpAsPomoc) {
    const auto dir = TempFolder("qm487_help_f1");
    FakeBrowser browser(dir / "opened.txt");
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    // The key itself, on the field that has the focus: Windows turns it into
    // WM_HELP, which the field passes up to the window.
    SetForegroundWindow(program.Main());
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == program.Main(); }, 5000));
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_F1;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(2, keys, sizeof(INPUT)), 2u);
    // Found once the program holds it: the window exists a little before
    // HTML Help returns it.
    HWND hHelp = nullptr;
    EXPECT_TRUE(WaitFor(
        [&] {
            hHelp = FindHelpWindow(program.GuiThreadId());
            return hHelp != nullptr && hHelp == program.Dialog()->Help().m_hWindow;
        },
        10000));
    ASSERT_TRUE(program.Close());
    EXPECT_FALSE(IsWindow(hHelp));

    // WM_HELP from a field and the framework's help command, the same way.
    RunningProgram again;
    ASSERT_TRUE(again.Start());
    HELPINFO info = {};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = IDC_TEMP1 + 2;
    info.hItemHandle = again.Item(IDC_TEMP1 + 2);
    SendMessageW(again.Item(IDC_TEMP1 + 2), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    hHelp = FindHelpWindow(again.GuiThreadId());
    EXPECT_NE(hHelp, nullptr);
    again.Command(ID_HELP);
    EXPECT_EQ(FindHelpWindow(again.GuiThreadId()), hHelp);
    ASSERT_TRUE(again.Close());
    EXPECT_FALSE(std::filesystem::exists(dir / "opened.txt"));
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
