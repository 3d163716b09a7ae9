// Recording control under Wine: the files opened 10 s after start, the
// settings dialog applied step by step, the append-or-erase questions and
// the messages, the status line, and readings that reach both files.
#include "tests/recording/recording_harness.h"

using namespace qm487test;

namespace {

const char kDeg[] = " \xB0" "C";
const wchar_t kReportUnavailable[] = L"Wybrany plik rejestracji wynik\x00f3w pomiaru jest niedost\x0119pny.";
const wchar_t kBinaryUnavailable[] = L"Wybrany plik binarny jest niedost\x0119pny.";
const wchar_t kAppendOrErase[] =
    L" ju\x017C istnieje.\r\nWybierz Tak aby dopisywa\x0107 wyniki do poprzednich,\r\n"
    L"wybierz Nie aby skasowa\x0107 poprzedni\x0105 zawarto\x015B\x0107 pliku.";

std::string AllHeader(char sep) {
    std::string h = "Data i Godzina";
    h += sep;
    h += std::string("T") + kDeg;
    for (int c = 1; c <= 8; ++c)
        h += sep + ("T" + std::to_string(c)) + kDeg;
    return h;
}

// "YYYY.MM.DD hh:mm:ss" and nine "???" (nothing heard from the instrument).
bool IsEmptyRow(const std::string& line, char sep) {
    std::string tail;
    for (int i = 0; i < 9; ++i)
        tail += sep + std::string("???");
    return line.size() == 19 + tail.size() && line[4] == '.' && line[13] == ':' && line.substr(19) == tail;
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class Recording : public ::testing::Test {
protected:
    void Start(const std::string& extra = std::string()) {
        program = std::make_unique<RunningProgram>(RecordingIni(extra));
        ASSERT_TRUE(program->Start());
        driver = std::make_unique<RecordingDriver>(*program);
    }
    HWND Open() {
        HWND dlg = driver->Open();
        EXPECT_NE(dlg, nullptr);
        return dlg;
    }
    // Confirms the dialog; the question whether to append, if asked, gets `answer`.
    void Confirm(HWND dlg, int answer = 0) {
        ASSERT_TRUE(driver->Press(dlg, IDOK));
        if (answer != 0) {
            HWND box = driver->WaitForMessageBox();
            ASSERT_NE(box, nullptr);
            ASSERT_TRUE(driver->Answer(box, answer));
        }
    }
    CMainDialog* Dialog() { return program->Dialog(); }
    // Starts with a report path that cannot be opened: the message comes at
    // the start-up recording, then the dialog, which is cancelled.
    void StartRefused(const std::string& reportPath) {
        Start("[LOG]\r\nFILE_NAME=" + reportPath + "\r\nFILE_LOG=1\r\n");
        HWND box = driver->WaitForMessageBox(20000);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(RunningProgram::MessageBoxText(box), kReportUnavailable);
        RunningProgram::Dismiss(box);
        HWND dlg = driver->WaitForDialog();
        ASSERT_NE(dlg, nullptr);
        ASSERT_TRUE(driver->Press(dlg, IDCANCEL));
        EXPECT_FALSE(Dialog()->Recorder().Settings().bLogReport);
    }

    FileFolder folder;
    std::unique_ptr<RunningProgram> program;
    std::unique_ptr<RecordingDriver> driver;
};

}  // namespace

TEST_F(Recording, TheConfiguredFilesOpenTenSecondsAfterStartAndAppendWithoutAsking) {
    WriteBytes(folder.Path("old.csv"), "earlier run\r\n");
    Start("[LOG]\r\nFILE_NAME=" + folder.Text("old.csv") + "\r\nFILE_NAME_BIN=" + folder.Text("log.kvf") +
          "\r\nFILE_LOG=1\r\nFILE_LOG_BIN=1\r\nFILE_SEP_FORMAT=2\r\nFILE_INTERVAL=3600\r\n"
          "FILE_TEMP0=0\r\nFILE_TEMP2=0\r\nFILE_TEMP3=0\r\nFILE_TEMP4=0\r\nFILE_TEMP5=0\r\nFILE_TEMP6=0\r\n"
          "FILE_TEMP7=0\r\nFILE_TEMP8=0\r\n");
    HMENU menu = GetMenu(program->Main());
    EXPECT_TRUE(GetMenuState(menu, ID_RECORDING, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(ReadFileBytes(folder.Path("old.csv")), "earlier run\r\n");
    EXPECT_FALSE(std::filesystem::exists(folder.Path("log.kvf")));

    ASSERT_TRUE(WaitFor([&] { return !(GetMenuState(menu, ID_RECORDING, MF_BYCOMMAND) & MF_GRAYED); }, 20000));
    ASSERT_TRUE(driver->Sync());
    const std::vector<std::string> lines = SplitLines(ReadFileBytes(folder.Path("old.csv")));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "earlier run");
    EXPECT_EQ(lines[1], std::string("Data i Godzina;T1") + kDeg);
    EXPECT_EQ(lines[2].substr(19), ";???");
    EXPECT_EQ(BinaryRecords(folder.Path("log.kvf")).size(), 1u);
    EXPECT_TRUE(Dialog()->Recorder().IsRecording());
    EXPECT_EQ(driver->WaitForMessageBox(0), nullptr);
}

TEST_F(Recording, AConfiguredFileThatCannotBeOpenedAtStartIsToldAndOffered) {
    StartRefused(folder.Text("no\\such\\dir\\r.csv"));
    EXPECT_FALSE(GetMenuState(GetMenu(program->Main()), ID_RECORDING, MF_BYCOMMAND) & MF_GRAYED);
    CIniFile ini;
    ASSERT_TRUE(ini.Load(program->IniPath().string()));
    EXPECT_EQ(ini.GetInt("LOG", "FILE_LOG", -1), 0) << "saved at once, not only at exit";
}

TEST_F(Recording, ADevicePathFromTheSettingsIsRefusedLikeAMissingFile) {
    // A disk or a volume opened for writing would take the rows over
    // whatever it holds.
    StartRefused("\\\\.\\C:");
    EXPECT_FALSE(Dialog()->Recorder().IsRecording());

    // The binary log's turn, through the dialog.
    for (const wchar_t* device : {L"\\\\.\\PhysicalDrive0", L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1"}) {
        HWND dlg = Open();
        RecordingDriver::SetCheck(dlg, IDC_REC_LOG_REPORT, false);
        RecordingDriver::SetCheck(dlg, IDC_REC_LOG_BINARY, true);
        RecordingDriver::Type(dlg, IDC_REC_BINARY_PATH, device);
        ASSERT_TRUE(driver->Press(dlg, IDOK));
        HWND box = driver->WaitForMessageBox();
        ASSERT_NE(box, nullptr) << device;
        EXPECT_EQ(RunningProgram::MessageBoxText(box), kBinaryUnavailable);
        ASSERT_TRUE(driver->Answer(box, IDOK));
        dlg = driver->WaitForDialog();
        ASSERT_NE(dlg, nullptr);
        ASSERT_TRUE(driver->Press(dlg, IDCANCEL));
    }
    EXPECT_FALSE(Dialog()->Recorder().Settings().bLogBinary);
}

TEST_F(Recording, ReportOnWithoutAPathOpensNothingAtStartAndKeepsTheFlag) {
    Start("[LOG]\r\nFILE_LOG=1\r\n");
    HMENU menu = GetMenu(program->Main());
    ASSERT_TRUE(WaitFor([&] { return !(GetMenuState(menu, ID_RECORDING, MF_BYCOMMAND) & MF_GRAYED); }, 20000));
    ASSERT_TRUE(driver->Sync());
    EXPECT_TRUE(Dialog()->Recorder().Settings().bLogReport);
    EXPECT_FALSE(Dialog()->Recorder().IsRecording());
    EXPECT_EQ(driver->WaitForMessageBox(0), nullptr);
}

TEST_F(Recording, AConfirmedDialogWritesARowAndARecordAtOnceAndSavesTheSettings) {
    Start();
    HWND dlg = Open();
    RecordingDriver::SetUpBoth(dlg, folder.Text("r.csv"), folder.Text("b.kvf"));
    RecordingDriver::Click(dlg, IDC_REC_SEP_COMMA);
    Confirm(dlg);
    std::vector<std::string> lines = SplitLines(ReadFileBytes(folder.Path("r.csv")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], AllHeader(','));
    EXPECT_TRUE(IsEmptyRow(lines[1], ',')) << lines[1];
    std::vector<BinaryRecordContent> records = BinaryRecords(folder.Path("b.kvf"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].entries.empty());
    EXPECT_EQ(program->Status(), L"Brak komunikacji z urz\x0105" L"dzeniem. Rejestracja do pliku co 01:00:00. ");

    CIniFile ini;
    ASSERT_TRUE(ini.Load(program->IniPath().string()));
    EXPECT_EQ(ini.GetInt("LOG", "FILE_LOG", -1), 1);
    EXPECT_EQ(ini.GetInt("LOG", "FILE_LOG_BIN", -1), 1);
    EXPECT_EQ(ini.GetString("LOG", "FILE_NAME", ""), folder.Text("r.csv"));
    EXPECT_EQ(ini.GetInt("LOG", "FILE_SEP_FORMAT", -1), 1);
    EXPECT_EQ(ini.GetInt("LOG", "FILE_INTERVAL", -1), 3600);

    // Confirmed again without a change: one more row and record, no question.
    dlg = Open();
    Confirm(dlg);
    EXPECT_EQ(driver->WaitForMessageBox(0), nullptr);
    lines = SplitLines(ReadFileBytes(folder.Path("r.csv")));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(IsEmptyRow(lines[2], ','));
    EXPECT_EQ(BinaryRecords(folder.Path("b.kvf")).size(), 2u);

    // Both off: the files close, the timer stops, the status line says so.
    dlg = Open();
    RecordingDriver::Click(dlg, IDC_REC_LOG_REPORT);
    RecordingDriver::Click(dlg, IDC_REC_LOG_BINARY);
    Confirm(dlg);
    EXPECT_FALSE(Dialog()->Recorder().IsRecording());
    EXPECT_FALSE(Dialog()->Recorder().ReportFile());
    EXPECT_EQ(program->Status(), L"Brak komunikacji z urz\x0105" L"dzeniem. ");
    std::filesystem::remove(folder.Path("r.csv"));  // closed: nothing holds it
    EXPECT_FALSE(std::filesystem::exists(folder.Path("r.csv")));
}

TEST_F(Recording, ChangingOnlyTheChannelsWritesANewHeaderIntoTheSameFile) {
    Start();
    HWND dlg = Open();
    RecordingDriver::SetUpBoth(dlg, folder.Text("r.txt"), folder.Text("b.kvf"));
    Confirm(dlg);
    dlg = Open();
    for (int id : {IDC_REC_TEMP0, IDC_REC_TEMP2, IDC_REC_TEMP3, IDC_REC_TEMP4, IDC_REC_TEMP5, IDC_REC_TEMP6,
                   IDC_REC_TEMP7, IDC_REC_TEMP8})
        RecordingDriver::Click(dlg, id);
    Confirm(dlg);
    EXPECT_EQ(driver->WaitForMessageBox(0), nullptr) << "the same file is not asked about";
    const std::vector<std::string> lines = SplitLines(ReadFileBytes(folder.Path("r.txt")));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], AllHeader('\t'));
    EXPECT_EQ(lines[2], std::string("Data i Godzina\tT1") + kDeg);
    EXPECT_EQ(lines[3].substr(19), "\t???");
}

// An input switched off has no column; the names option switched on brings
// a fresh header with the name; the binary log's names file is beside it.
TEST_F(Recording, ChannelsNotInUseAndNamesShapeTheHeader) {
    Start("[TEMP1]\r\nNAME_TEMP1=Zamra\xBF"
          "arka\r\n[TEMP2]\r\nIN_USE_TEMP2=0\r\n");
    HWND dlg = Open();
    RecordingDriver::SetUpBoth(dlg, folder.Text("r.txt"), folder.Text("b.kvf"));
    Confirm(dlg);
    dlg = Open();
    RecordingDriver::Click(dlg, IDC_REC_HEADER_NAMES);
    Confirm(dlg);
    const std::vector<std::string> lines = SplitLines(ReadFileBytes(folder.Path("r.txt")));
    ASSERT_EQ(lines.size(), 4u);
    std::string header = AllHeader('\t');
    header.erase(header.find("\tT2"), 6);
    EXPECT_EQ(lines[0], header);
    EXPECT_EQ(lines[2], header.replace(header.find("T1"), 2,
                                       "Zamra\xBF"
                                       "arka"));
    EXPECT_EQ(lines[3].substr(19), "\t???\t???\t???\t???\t???\t???\t???\t???");
    EXPECT_NE(ReadFileBytes(folder.Path("b.kvf.names"))
                  .find("\r\nT1=Zamra\xBF"
                        "arka\r\n"),
              std::string::npos);
}

// The names file a user wrote for an older log stays while no channel is named.
TEST_F(Recording, ChangingOnlyTheSeparatorReopensAndAsksAgain) {
    WriteBytes(folder.Path("b.kvf.names"), "T3=R\xEA" "czna\r\n");
    Start();
    HWND dlg = Open();
    RecordingDriver::SetUpBoth(dlg, folder.Text("r.csv"), folder.Text("b.kvf"));
    Confirm(dlg);
    dlg = Open();
    RecordingDriver::Click(dlg, IDC_REC_SEP_SEMICOLON);
    ASSERT_TRUE(driver->Press(dlg, IDOK));
    HWND box = driver->WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(RunningProgram::MessageBoxText(box), std::wstring(L"Plik rejestracji pomiar\x00f3w") + kAppendOrErase);
    ASSERT_TRUE(driver->Answer(box, IDYES));
    EXPECT_EQ(driver->WaitForMessageBox(0), nullptr) << "the binary log was not asked about";
    const std::vector<std::string> lines = SplitLines(ReadFileBytes(folder.Path("r.csv")));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], AllHeader(';'));
    EXPECT_TRUE(IsEmptyRow(lines[3], ';'));
    EXPECT_EQ(BinaryRecords(folder.Path("b.kvf")).size(), 2u);
    EXPECT_EQ(ReadFileBytes(folder.Path("b.kvf.names")), "T3=R\xEA" "czna\r\n");
}

TEST_F(Recording, YesAppendsAfterAnEmptyLineWithTheCommentAndNoEmptiesTheFile) {
    WriteBytes(folder.Path("r.csv"), "old row\r\n");
    WriteBytes(folder.Path("b.kvf"), std::string(18, 'x'));
    Start();
    HWND dlg = Open();
    RecordingDriver::SetUpBoth(dlg, folder.Text("r.csv"), folder.Text("b.kvf"));
    RecordingDriver::Click(dlg, IDC_REC_ADD_COMMENT);
    RecordingDriver::Type(dlg, IDC_REC_COMMENT, L"Piec 2, seria \x0141\r\nsecond line");
    RecordingDriver::Click(dlg, IDC_REC_ADD_SERIAL);
    ASSERT_TRUE(driver->Press(dlg, IDOK));
    HWND box = driver->WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(driver->Answer(box, IDYES));  // the report: append
    box = driver->WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(RunningProgram::MessageBoxText(box), std::wstring(L"Plik binarny") + kAppendOrErase);
    ASSERT_TRUE(driver->Answer(box, IDNO));  // the binary log: erase

    const std::vector<std::string> lines = SplitLines(ReadFileBytes(folder.Path("r.csv")));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "old row");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "Piec 2, seria \xA3");  // Windows-1250 in the file
    EXPECT_EQ(lines[3], "second line");
    EXPECT_EQ(lines[4], "QM-487 nr ???");
    EXPECT_EQ(lines[5], AllHeader('\t'));
    EXPECT_TRUE(IsEmptyRow(lines[6], '\t'));
    EXPECT_EQ(BinaryRecords(folder.Path("b.kvf")).size(), 1u) << "the old bytes are gone";

    // Erasing the report with the comment on starts it without an empty line.
    dlg = Open();
    RecordingDriver::Click(dlg, IDC_REC_SEP_COMMA);
    ASSERT_TRUE(driver->Press(dlg, IDOK));
    box = driver->WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(driver->Answer(box, IDNO));
    const std::string text = ReadFileBytes(folder.Path("r.csv"));
    EXPECT_EQ(text.rfind("Piec 2, seria \xA3\r\nsecond line\r\nQM-487 nr ???\r\n" + AllHeader(',') + "\r\n", 0), 0u)
        << text;
}

TEST_F(Recording, AnUnusablePathIsToldTheDialogComesBackAndCancelClearsTheFlag) {
    Start();
    // Else the start-up recording would try the flag set here once more.
    ASSERT_TRUE(driver->WaitForStartupRecording());
    HWND dlg = Open();
    RecordingDriver::SetUpBoth(dlg, folder.Text("missing\\r.csv"), folder.Text("b.kvf"));
    ASSERT_TRUE(driver->Press(dlg, IDOK));
    HWND box = driver->WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(RunningProgram::MessageBoxText(box), kReportUnavailable);
    ASSERT_TRUE(driver->Answer(box, IDOK));
    dlg = driver->WaitForDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDC_REC_REPORT_PATH)),
              std::filesystem::path(folder.Text("missing\\r.csv")).wstring());
    EXPECT_FALSE(std::filesystem::exists(folder.Path("b.kvf"))) << "the binary log waits for a usable report";
    ASSERT_TRUE(driver->Press(dlg, IDCANCEL));
    EXPECT_FALSE(Dialog()->Recorder().Settings().bLogReport);
    EXPECT_FALSE(Dialog()->Recorder().Settings().bLogBinary);

    // A device name is no file to record to either, nor is a folder whose
    // name the settings' Windows-1250 cannot hold.
    const std::filesystem::path cyrillic = folder.Path("") / L"\x041F\x0430\x043F\x043A\x0430";
    std::filesystem::create_directories(cyrillic);
    for (const std::wstring& path : {std::wstring(L"NUL"), (cyrillic / "b.kvf").wstring()}) {
        dlg = Open();
        RecordingDriver::SetCheck(dlg, IDC_REC_LOG_BINARY, true);
        RecordingDriver::Type(dlg, IDC_REC_BINARY_PATH, path);
        ASSERT_TRUE(driver->Press(dlg, IDOK));
        box = driver->WaitForMessageBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(RunningProgram::MessageBoxText(box), kBinaryUnavailable);
        ASSERT_TRUE(driver->Answer(box, IDOK));
        dlg = driver->WaitForDialog();
        ASSERT_NE(dlg, nullptr);
        ASSERT_TRUE(driver->Press(dlg, IDCANCEL));
        EXPECT_FALSE(Dialog()->Recorder().Settings().bLogBinary);
    }
    EXPECT_FALSE(std::filesystem::exists(cyrillic / "b.kvf"));
}

TEST_F(Recording, ReadingsReachBothFilesAndPolishLettersReachThePath) {
    class InstrumentEnd {
    public:
        InstrumentEnd() {
            h = CreateFileW(L"\\\\.\\COM14", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        }
        ~InstrumentEnd() {
            if (h != INVALID_HANDLE_VALUE)
                CloseHandle(h);
        }
        bool Send(const std::string& bytes) {
            DWORD n = 0;
            return WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) && n == bytes.size();
        }
        HANDLE h;
    } instrument;
    ASSERT_NE(instrument.h, INVALID_HANDLE_VALUE);
    Start();
    InstrumentReading r;
    r.serialNumber = 512;
    r.channel = 2;
    r.value = -5.5;
    r.fine = true;
    bool heard = false;
    for (int attempt = 0; attempt < 20 && !heard; ++attempt) {
        ASSERT_TRUE(instrument.Send(Line(r)));
        heard = WaitFor([&] { return !Dialog()->Instrument().Channels()[2].bNoValue; }, 1000);
    }
    ASSERT_TRUE(heard);
    r.channel = 1;
    r.value = 21.37;
    r.valueError = true;
    ASSERT_TRUE(instrument.Send(Line(r)));
    ASSERT_TRUE(WaitFor([&] { return !Dialog()->Instrument().Channels()[1].bNoValue; }, 5000));
    ASSERT_TRUE(driver->Sync());

    HWND dlg = Open();
    // "pomiary-" and the Polish word for the city of Lodz: the name must come
    // out right under any code page, here a Western one where the ANSI
    // functions would lose its letters.
    EXPECT_NE(GetACP(), 1250u);
    const std::wstring name = L"pomiary-\x0142\x00f3" L"d\x017A";
    const std::wstring report = folder.Path("x").parent_path().wstring() + L"\\" + name + L".csv";
    RecordingDriver::SetUpBoth(dlg, "", folder.Text("b.kvf"));
    RecordingDriver::Type(dlg, IDC_REC_REPORT_PATH, report);
    RecordingDriver::Click(dlg, IDC_REC_ADD_COMMENT);
    RecordingDriver::Click(dlg, IDC_REC_ADD_SERIAL);
    Confirm(dlg);
    HWND box = driver->WaitForMessageBox(0);
    EXPECT_EQ(box, nullptr) << testing::PrintToString(box ? RunningProgram::MessageBoxText(box) : L"");
    const std::string& strPath = Dialog()->Recorder().Settings().strReportPath;
    EXPECT_EQ(strPath.substr(strPath.size() - 16), "pomiary-\xB3\xF3"
                                                   "d\x9F.csv");
    const std::filesystem::path reportPath(report);
    ASSERT_TRUE(std::filesystem::exists(reportPath));
    const std::vector<std::string> lines = SplitLines(ReadFileBytes(reportPath));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "QM-487 nr 512");
    EXPECT_EQ(lines[2].substr(19), "\t???\t???\t-5.50\t???\t???\t???\t???\t???\t???");
    const std::vector<BinaryRecordContent> records = BinaryRecords(folder.Path("b.kvf"));
    ASSERT_EQ(records.size(), 1u);
    ASSERT_EQ(records[0].entries.size(), 1u);  // channel 1 is in error
    EXPECT_EQ(records[0].entries[0].nChannelCode, 31);
    EXPECT_EQ(records[0].entries[0].nSerialNumber, 512);
    EXPECT_EQ(records[0].entries[0].strValue, "-5.50");
}

TEST_F(Recording, NamesWithoutAFolderAreMadeAbsoluteWhenOpened) {
    // Later the current folder may change (a file dialog changes it); a
    // reopen after a failed write, or the next start, must find these files.
    const std::filesystem::path started = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path("."));
    Start();
    HWND dlg = Open();
    RecordingDriver::SetUpBoth(dlg, "r.csv", "b.kvf");
    Confirm(dlg);
    std::filesystem::current_path(started);
    ASSERT_TRUE(driver->Sync());
    ASSERT_TRUE(Dialog()->Recorder().ReportFile() && Dialog()->Recorder().BinaryFile());
    EXPECT_EQ(Dialog()->Recorder().ReportFile()->GetPath(), folder.Text("r.csv"));
    EXPECT_EQ(Dialog()->Recorder().BinaryFile()->GetPath(), folder.Text("b.kvf"));
    ASSERT_TRUE(program->Close());
    CIniFile ini;
    ASSERT_TRUE(ini.Load(program->IniPath().string()));
    EXPECT_EQ(ini.GetString("LOG", "FILE_NAME", ""), folder.Text("r.csv"));
}
