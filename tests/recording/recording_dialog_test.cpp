// The recording settings dialog as the user meets it: its controls, the
// groups that follow their check boxes, the interval picker and the checks
// at OK.
#include "tests/recording/recording_harness.h"

#include "recording/recording_dialog.h"

using namespace qm487test;

namespace {

struct ControlSpec {
    int id;
    const wchar_t* cls;
    const wchar_t* text;
    RECT dlu;  // x, y, w, h in dialog units
};

const ControlSpec kControls[] = {
    {IDC_REC_INTERVAL_LABEL, L"Static", L"Interwa\x0142 rejestracji", {15, 15, 70, 8}},
    {IDC_REC_INTERVAL, L"SysDateTimePick32", nullptr, {87, 12, 54, 15}},
    {IDC_REC_LOG_REPORT, L"Button", L"Rejestruj wyniki pomiar\x00f3w", {15, 43, 97, 10}},
    {IDC_REC_DECIMAL_COMMA, L"Button", L"Przecinek dziesi\x0119tny", {176, 43, 85, 10}},
    {IDC_REC_REPORT_LABEL, L"Static", L"W pliku", {15, 60, 25, 8}},
    {IDC_REC_REPORT_PATH, L"Edit", nullptr, {49, 58, 189, 13}},
    {IDC_REC_BROWSE_REPORT, L"Button", L"...", {244, 58, 17, 13}},
    {IDC_REC_SEPARATOR_LABEL, L"Static", L"Separator kolumn", {15, 80, 62, 8}},
    {IDC_REC_SEP_TAB, L"Button", L"Tabulator", {79, 80, 46, 10}},
    {IDC_REC_SEP_COMMA, L"Button", L"Przecinek", {142, 80, 47, 10}},
    {IDC_REC_SEP_SEMICOLON, L"Button", L"\x015Ar" L"ednik", {205, 80, 40, 10}},
    {IDC_REC_TEMP0, L"Button", L"Temperatura", {15, 98, 62, 10}},
    {IDC_REC_TEMP1, L"Button", L"Temperatura 1", {110, 98, 62, 10}},
    {IDC_REC_TEMP2, L"Button", L"Temperatura 2", {195, 98, 62, 10}},
    {IDC_REC_TEMP3, L"Button", L"Temperatura 3", {15, 112, 62, 10}},
    {IDC_REC_TEMP4, L"Button", L"Temperatura 4", {110, 112, 62, 10}},
    {IDC_REC_TEMP5, L"Button", L"Temperatura 5", {195, 112, 62, 10}},
    {IDC_REC_TEMP6, L"Button", L"Temperatura 6", {15, 126, 62, 10}},
    {IDC_REC_TEMP7, L"Button", L"Temperatura 7", {110, 126, 62, 10}},
    {IDC_REC_TEMP8, L"Button", L"Temperatura 8", {195, 126, 62, 10}},
    {IDC_REC_ADD_COMMENT, L"Button", L"Dodaj komentarz przy rozpocz\x0119" L"ciu rejestracji:", {15, 141, 157, 10}},
    {IDC_REC_COMMENT, L"Edit", nullptr, {15, 158, 245, 33}},
    {IDC_REC_ADD_SERIAL, L"Button", L"Dodaj numer seryjny urz\x0105" L"dzenia do komentarza", {15, 200, 164, 10}},
    {IDC_REC_LOG_BINARY, L"Button", L"Rejestruj do pliku binarnego (u\x017Cywany przez program Kreslo)",
     {15, 231, 246, 10}},
    {IDC_REC_BINARY_LABEL, L"Static", L"W pliku", {15, 248, 25, 8}},
    {IDC_REC_BINARY_PATH, L"Edit", nullptr, {49, 246, 189, 13}},
    {IDC_REC_BROWSE_BINARY, L"Button", L"...", {244, 246, 17, 13}},
    {IDOK, L"Button", L"OK", {64, 279, 50, 14}},
    {IDCANCEL, L"Button", L"Anuluj", {161, 279, 50, 14}},
};

const int kReportGroup[] = {IDC_REC_BROWSE_REPORT, IDC_REC_SEP_TAB, IDC_REC_SEP_COMMA, IDC_REC_SEP_SEMICOLON,
                            IDC_REC_REPORT_PATH, IDC_REC_REPORT_LABEL, IDC_REC_SEPARATOR_LABEL, IDC_REC_TEMP0,
                            IDC_REC_TEMP1, IDC_REC_TEMP2, IDC_REC_TEMP3, IDC_REC_TEMP4, IDC_REC_TEMP5,
                            IDC_REC_TEMP6, IDC_REC_TEMP7, IDC_REC_TEMP8, IDC_REC_ADD_COMMENT,
                            IDC_REC_DECIMAL_COMMA};
const int kCommentPair[] = {IDC_REC_ADD_SERIAL, IDC_REC_COMMENT};
const int kBinaryGroup[] = {IDC_REC_BROWSE_BINARY, IDC_REC_BINARY_PATH, IDC_REC_BINARY_LABEL};

std::wstring ClassOf(HWND h) {
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    return cls;
}

class RecordingDialog : public ::testing::Test {
protected:
    void Start(const std::string& extra = std::string()) {
        program = std::make_unique<RunningProgram>(RecordingIni(extra));
        ASSERT_TRUE(program->Start());
        driver = std::make_unique<RecordingDriver>(*program);
        dlg = driver->Open();
        ASSERT_NE(dlg, nullptr);
    }
    void ExpectGroup(const int* ids, std::size_t n, bool enabled, const char* what) {
        for (std::size_t i = 0; i < n; ++i)
            EXPECT_EQ(RecordingDriver::Enabled(dlg, ids[i]), enabled) << what << " control " << ids[i];
    }

    std::unique_ptr<RunningProgram> program;
    std::unique_ptr<RecordingDriver> driver;
    HWND dlg = nullptr;
};

}  // namespace

TEST_F(RecordingDialog, TemplateHasEveryControlWithItsTextPlaceAndStyle) {
    Start();
    EXPECT_EQ(WindowText(dlg), L"Rejestracja do pliku");
    RECT frame = {0, 0, 276, 300};
    MapDialogRect(dlg, &frame);
    RECT client;
    GetClientRect(dlg, &client);
    EXPECT_EQ(client.right, frame.right);
    EXPECT_EQ(client.bottom, frame.bottom);
    for (const ControlSpec& c : kControls) {
        SCOPED_TRACE(testing::Message() << "control " << c.id);
        HWND h = GetDlgItem(dlg, c.id);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(ClassOf(h), c.cls);
        if (c.text) {
            EXPECT_EQ(WindowText(h), c.text);
        }
        // The dialog manager converts the place and the size each on its own.
        RECT place = {c.dlu.left, c.dlu.top, c.dlu.right, c.dlu.bottom};
        MapDialogRect(dlg, &place);
        const RECT expected = {place.left, place.top, place.left + place.right, place.top + place.bottom};
        RECT actual;
        GetWindowRect(h, &actual);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        EXPECT_EQ(actual.right, expected.right);
        EXPECT_EQ(actual.bottom, expected.bottom);
        const LONG style = GetWindowLongW(h, GWL_STYLE);
        const bool radio = c.id >= IDC_REC_SEP_TAB && c.id <= IDC_REC_SEP_SEMICOLON;
        const bool label = ClassOf(h) == L"Static";
        // Radio buttons are no tab stops in the template; the button control
        // itself makes the checked one of a group its tab stop.
        if (!label) {
            EXPECT_EQ((style & WS_TABSTOP) != 0, !radio || RecordingDriver::Checked(dlg, c.id));
        }
    }
    const LONG picker = GetWindowLongW(GetDlgItem(dlg, IDC_REC_INTERVAL), GWL_STYLE);
    EXPECT_EQ(picker & DTS_TIMEFORMAT, DTS_TIMEFORMAT);
    EXPECT_EQ(picker & DTS_RIGHTALIGN, DTS_RIGHTALIGN);
    const LONG comment = GetWindowLongW(GetDlgItem(dlg, IDC_REC_COMMENT), GWL_STYLE);
    EXPECT_EQ(comment & (ES_MULTILINE | ES_WANTRETURN), ES_MULTILINE | ES_WANTRETURN);
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dlg, IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON);
    // Key defaults: every channel chosen, tab, nothing recorded, a minute.
    for (int id : {IDC_REC_TEMP0, IDC_REC_TEMP1, IDC_REC_TEMP8})
        EXPECT_TRUE(RecordingDriver::Checked(dlg, id));
    EXPECT_TRUE(RecordingDriver::Checked(dlg, IDC_REC_SEP_TAB));
    EXPECT_EQ(RecordingDriver::PickerTime(dlg).wMinute, 1);
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDC_REC_INTERVAL)).find(L"M"), std::wstring::npos) << "no AM/PM";
    EXPECT_TRUE(driver->Press(dlg, IDCANCEL));
}

TEST_F(RecordingDialog, GroupsFollowTheirCheckBoxes) {
    Start();
    ExpectGroup(kReportGroup, std::size(kReportGroup), false, "report off");
    ExpectGroup(kCommentPair, std::size(kCommentPair), false, "report off");
    ExpectGroup(kBinaryGroup, std::size(kBinaryGroup), false, "binary off");
    EXPECT_TRUE(RecordingDriver::Enabled(dlg, IDC_REC_INTERVAL));

    RecordingDriver::Click(dlg, IDC_REC_LOG_REPORT);
    ExpectGroup(kReportGroup, std::size(kReportGroup), true, "report on");
    ExpectGroup(kCommentPair, std::size(kCommentPair), false, "comment off");
    RecordingDriver::Click(dlg, IDC_REC_ADD_COMMENT);
    ExpectGroup(kCommentPair, std::size(kCommentPair), true, "comment on");
    RecordingDriver::Click(dlg, IDC_REC_LOG_REPORT);
    ExpectGroup(kReportGroup, std::size(kReportGroup), false, "report off again");
    ExpectGroup(kCommentPair, std::size(kCommentPair), false, "report off again");
    RecordingDriver::Click(dlg, IDC_REC_LOG_REPORT);
    ExpectGroup(kCommentPair, std::size(kCommentPair), true, "the pair follows its box");

    RecordingDriver::Click(dlg, IDC_REC_LOG_BINARY);
    ExpectGroup(kBinaryGroup, std::size(kBinaryGroup), true, "binary on");
    RecordingDriver::Click(dlg, IDC_REC_LOG_BINARY);
    ExpectGroup(kBinaryGroup, std::size(kBinaryGroup), false, "binary off again");
    EXPECT_TRUE(driver->Press(dlg, IDCANCEL));
}

TEST_F(RecordingDialog, IntervalShowsAsTimeAndNeverFallsBelowOneSecond) {
    Start("[LOG]\r\nFILE_INTERVAL=3725\r\n");
    SYSTEMTIME t = RecordingDriver::PickerTime(dlg);
    EXPECT_EQ(t.wHour, 1);
    EXPECT_EQ(t.wMinute, 2);
    EXPECT_EQ(t.wSecond, 5);
    RecordingDriver::SetInterval(dlg, 0, 0, 0);
    t = RecordingDriver::PickerTime(dlg);
    EXPECT_EQ(t.wHour * 3600 + t.wMinute * 60 + t.wSecond, 1);

    // Confirmed, the configuration file has it at once.
    EXPECT_TRUE(driver->Press(dlg, IDOK));
    EXPECT_EQ(program->Dialog()->Recorder().Settings().nInterval, 1);
    CIniFile ini;
    ASSERT_TRUE(ini.Load(program->IniPath().string()));
    EXPECT_EQ(ini.GetInt("LOG", "FILE_INTERVAL", -1), 1);
}

// So is a hand-written "Nowy plik:" code the list has not: "nigdy" shows.
TEST_F(RecordingDialog, ASeparatorCodeOutsideTheThreeShowsNoRadioAndStays) {
    Start("[LOG]\r\nFILE_SEP_FORMAT=7\r\nFILE_SPLIT=9\r\n");
    for (int id : {IDC_REC_SEP_TAB, IDC_REC_SEP_COMMA, IDC_REC_SEP_SEMICOLON})
        EXPECT_FALSE(RecordingDriver::Checked(dlg, id)) << id;
    const HWND split = GetDlgItem(dlg, IDC_REC_SPLIT);
    EXPECT_EQ(SendMessageW(split, CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageW(split, CB_GETCURSEL, 0, 0), 0);
    SendMessageW(split, CB_SETCURSEL, 1, 0);  // "co dzie\xF1"
    TakeScreenshot(dlg);
    SendMessageW(split, CB_SETCURSEL, 0, 0);
    EXPECT_TRUE(driver->Press(dlg, IDOK));
    EXPECT_EQ(program->Dialog()->Recorder().Settings().nSeparator, 7);
    EXPECT_EQ(program->Dialog()->Recorder().Settings().nFileSplit, 9);
    dlg = driver->Open();
    ASSERT_NE(dlg, nullptr);
    SendMessageW(GetDlgItem(dlg, IDC_REC_SPLIT), CB_SETCURSEL, 2, 0);
    EXPECT_TRUE(driver->Press(dlg, IDOK));
    EXPECT_EQ(program->Dialog()->Recorder().Settings().nFileSplit, 2);

    dlg = driver->Open();
    ASSERT_NE(dlg, nullptr);
    RecordingDriver::Click(dlg, IDC_REC_LOG_REPORT);
    RecordingDriver::Click(dlg, IDC_REC_SEP_SEMICOLON);
    EXPECT_TRUE(driver->Press(dlg, IDCANCEL));
    EXPECT_EQ(program->Dialog()->Recorder().Settings().nSeparator, 7) << "Cancel takes nothing back";
    EXPECT_FALSE(program->Dialog()->Recorder().Settings().bLogReport);
}

// A comma cannot part both the columns and the decimals: refused at OK
// with a message; with the semicolon it is taken and kept in the settings.
TEST_F(RecordingDialog, ADecimalCommaNeedsAnotherSeparator) {
    Start();
    RecordingDriver::Click(dlg, IDC_REC_LOG_REPORT);
    RecordingDriver::Click(dlg, IDC_REC_SEP_COMMA);
    RecordingDriver::Click(dlg, IDC_REC_DECIMAL_COMMA);
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    HWND box = driver->WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(RunningProgram::MessageBoxText(box),
              L"Przecinek dziesi\x0119tny wymaga innego separatora kolumn: wybierz \x015Brednik albo tabulator.");
    EXPECT_TRUE(driver->Answer(box, IDOK));
    EXPECT_TRUE(IsWindowVisible(dlg));
    RecordingDriver::Click(dlg, IDC_REC_SEP_SEMICOLON);
    RecordingDriver::Click(dlg, IDC_REC_LOG_REPORT);  // no file to open in this test
    EXPECT_TRUE(driver->Press(dlg, IDOK));
    EXPECT_TRUE(program->Dialog()->Recorder().Settings().bDecimalComma);
    CIniFile ini;
    ASSERT_TRUE(ini.Load(program->IniPath().string()));
    EXPECT_EQ(ini.GetInt("LOG", "DECIMAL_COMMA", -1), 1);
}

TEST_F(RecordingDialog, NoChannelChosenIsToldAndTheDialogStays) {
    Start();
    for (int id : CRecordingDialog::kChannelBoxIds)
        RecordingDriver::SetCheck(dlg, id, false);
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    HWND box = driver->WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(RunningProgram::MessageBoxText(box), L"Wybierz przynajmniej jedn\x0105 wielko\x015B\x0107 do zapisu");
    EXPECT_TRUE(driver->Answer(box, IDOK));
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_TRUE(driver->Press(dlg, IDCANCEL));
    EXPECT_TRUE(program->Dialog()->Recorder().Settings().bRecord[0]) << "cancelled: the selection is kept";
}

TEST_F(RecordingDialog, EnterInAPathTakesWhatItShows) {
    Start();
    RecordingDriver::Click(dlg, IDC_REC_LOG_BINARY);
    FileFolder folder;
    const std::string path = folder.Text("enter.kvf");
    // Typed without leaving the edit, then Enter (the dialog's OK).
    SendMessageW(GetDlgItem(dlg, IDC_REC_BINARY_PATH), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(std::wstring(path.begin(), path.end()).c_str()));
    EXPECT_TRUE(driver->Press(dlg, IDOK));
    EXPECT_EQ(program->Dialog()->Recorder().Settings().strBinaryPath, path);
    EXPECT_TRUE(std::filesystem::exists(folder.Path("enter.kvf")));
}

namespace {

bool IsReportChooser(HWND h) { return WindowText(h) == L"Wybierz plik raportu"; }
bool IsBinaryChooser(HWND h) { return WindowText(h) == L"Wybierz plik binarny"; }

// Types a name into the chooser's file name box and presses its OK.
void ChooseName(HWND chooser, const std::wstring& name) {
    // The name box: an edit inside the chooser, control 0x47C (inside a
    // combo box) or 0x480, depending on the chooser's generation.
    HWND inner = nullptr;
    EnumChildWindows(
        chooser,
        [](HWND h, LPARAM lp) -> BOOL {
            wchar_t cls[16] = {};
            GetClassNameW(h, cls, 16);
            const int id = GetDlgCtrlID(h);
            if (std::wstring(cls) == L"Edit" && (id == 0x47C || id == 0x480)) {
                *reinterpret_cast<HWND*>(lp) = h;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&inner));
    ASSERT_NE(inner, nullptr);
    SendMessageW(inner, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    PostMessageW(chooser, WM_COMMAND, IDOK, 0);
}

}  // namespace

TEST_F(RecordingDialog, TheFileChoosersTakeNewNamesAndGiveThemTheirExtension) {
    Start();
    RecordingDriver::Click(dlg, IDC_REC_LOG_REPORT);
    RecordingDriver::Click(dlg, IDC_REC_LOG_BINARY);
    FileFolder folder;
    const std::wstring dir = folder.Path("x").parent_path().wstring();

    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_REC_BROWSE_REPORT, BN_CLICKED), 0);
    HWND chooser = driver->WaitFor(IsReportChooser);
    ASSERT_NE(chooser, nullptr);
    ChooseName(chooser, dir + L"\\raport");
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(chooser); }, 10000));
    ASSERT_TRUE(driver->Sync());
    const std::wstring report = WindowText(GetDlgItem(dlg, IDC_REC_REPORT_PATH));
    EXPECT_EQ(report, dir + L"\\raport.txt");  // the first filter is the selected one

    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_REC_BROWSE_BINARY, BN_CLICKED), 0);
    chooser = driver->WaitFor(IsBinaryChooser);
    ASSERT_NE(chooser, nullptr);
    ChooseName(chooser, dir + L"\\dziennik");
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(chooser); }, 10000));
    ASSERT_TRUE(driver->Sync());
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDC_REC_BINARY_PATH)), dir + L"\\dziennik.kvf");

    // Cancel in the chooser changes nothing.
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_REC_BROWSE_BINARY, BN_CLICKED), 0);
    chooser = driver->WaitFor(IsBinaryChooser);
    ASSERT_NE(chooser, nullptr);
    PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(chooser); }, 10000));
    ASSERT_TRUE(driver->Sync());
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDC_REC_BINARY_PATH)), dir + L"\\dziennik.kvf");
    EXPECT_TRUE(driver->Press(dlg, IDOK));
    EXPECT_EQ(program->Dialog()->Recorder().Settings().strBinaryPath, folder.Text("dziennik.kvf"));
}
