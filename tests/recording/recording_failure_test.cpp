// Writing fails and works again: a report on a tiny file system that fills
// up, a file not there yet at a start with Windows, and a program killed in
// the middle of recording. Neither may leave a
// half row or a broken record, and nothing written is lost.
#include "tests/recording/recording_harness.h"

#include "recording/file_period.h"
#include "recording/recorder.h"
#include "recording/report_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

using namespace qm487test;

namespace {

const wchar_t kFailing[] = L"B\x0142\x0105"
                           L"d zapisu do pliku rejestracji. ";
const wchar_t kReportFailed[] = L"Nie mo\x017Cna zapisa\x0107 wynik\x00f3w pomiaru do pliku rejestracji:";
const wchar_t kReportWorks[] = L"Zapis do pliku rejestracji wynik\x00f3w pomiaru znowu dzia\x0142"
                               L"a:";

bool StartsWith(const std::wstring& text, const std::wstring& start) { return text.rfind(start, 0) == 0; }

// Fills the rest of the file system with one file, a page at a time.
std::filesystem::path FillUp(const std::filesystem::path& dir) {
    const std::filesystem::path filler = dir / "filler";
    HANDLE h = CreateFileW(filler.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    const std::string page(4096, 'f');
    DWORD written = 0;
    for (int i = 0; i < 1000; ++i)
        if (!WriteFile(h, page.data(), 4096, &written, nullptr) || written != 4096)
            break;
    CloseHandle(h);
    return filler;
}

// Lines of a report: each is a header or a row of the channels' count, none
// cut short.
void ExpectWholeLines(const std::string& text, std::size_t fields) {
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << "the file ends inside a line";
    for (const std::string& line : SplitLines(text)) {
        if (line.rfind("Data i Godzina", 0) == 0)
            continue;
        std::size_t n = 1;
        for (char c : line)
            n += c == '\t';
        EXPECT_EQ(n, fields) << line;
        EXPECT_EQ(line.size() >= 19 ? line[13] : 0, ':') << line;
    }
}

// The recorder with no window, started with Windows (no question asked),
// its clock set by the test.
struct RecorderHost : CRecorder::Host {
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) override {
        (id == CRecorder::kStartTimerId ? nStartMs : nTickMs) = elapseMs;
        return id;
    }
    void KillTimer(UINT_PTR id) override { (id == CRecorder::kStartTimerId ? nStartMs : nTickMs) = 0; }
    int ShowMessage(const std::string& text, UINT) override { return strBoxes += text + "\n", ++nBoxes, IDNO; }
    bool EditSettings(RecordingSettings& r, std::string&) override { return pOk && (r = *pOk, !(pOk = nullptr)); }
    void SaveSettings() override {}
    void StatusChanged() override {}
    void EnableSettingsCommand() override {}
    bool StartedWithWindows() const override { return true; }
    int InstrumentNumber() const override { return 0; }
    RecordTime Now() const override { return now; }
    bool DiskOf(const std::string&, std::string* disk, std::uint64_t* free) const override {
        return *disk = "Z:\\", *free = nFree, true;
    }
    std::uint64_t nFree = 1ull << 40;
    RecordingSettings* pOk = nullptr;  // the dialog's next run confirms these; none: it is cancelled
    UINT nStartMs = 0, nTickMs = 0;
    int nBoxes = 0;
    std::string strBoxes;
    RecordTime now = {2026, 12, 9, 23, 59, 58};
};

}  // namespace

TEST(RecordingFailure, AFullDiskIsToldOnceRetriedEachTickAndLosesNoRow) {
    const char* tiny = std::getenv("QM487_TINY_FS");
    if (tiny == nullptr || !std::filesystem::exists(std::string(tiny) + ".mounted"))
        GTEST_SKIP() << "no tiny file system mounted (the fixture needs root)";
    const std::filesystem::path dir(tiny);
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        std::filesystem::remove(entry.path());

    // The old content ends the first page 20 bytes after the first header and
    // row, so the second row can only go in in part.
    const std::string header = std::string("Data i Godzina\tT1 \xB0"
                                           "C\r\n");
    const std::size_t rowSize = std::string("2009.03.17 08:05:00\t???\r\n").size();
    const std::filesystem::path report = dir / "r.txt";
    std::ofstream(report, std::ios::binary) << std::string(4096 - 20 - header.size() - rowSize, 'o');
    std::filesystem::path filler = FillUp(dir);

    FileFolder folder;
    RunningProgram program(RecordingIni("[LOG]\r\nFILE_TEMP0=0\r\nFILE_TEMP2=0\r\nFILE_TEMP3=0\r\nFILE_TEMP4=0\r\n"
                                        "FILE_TEMP5=0\r\nFILE_TEMP6=0\r\nFILE_TEMP7=0\r\nFILE_TEMP8=0\r\n"));
    ASSERT_TRUE(program.Start());
    RecordingDriver driver(program);
    HWND dlg = driver.Open();
    ASSERT_NE(dlg, nullptr);
    RecordingDriver::SetUpBoth(dlg, report.string(), folder.Text("b.kvf"));
    RecordingDriver::SetInterval(dlg, 0, 0, 1);
    ASSERT_TRUE(driver.Press(dlg, IDOK));
    HWND box = driver.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(driver.Answer(box, IDYES));

    // The next tick fails: told once, in the status line and a box.
    box = driver.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    const std::wstring text = RunningProgram::MessageBoxText(box);
    EXPECT_TRUE(StartsWith(text, kReportFailed)) << testing::PrintToString(text);
    // Named as the program keeps it once opened: absolute, with backslashes.
    EXPECT_NE(text.find(std::filesystem::path(report).make_preferred().wstring()), std::wstring::npos)
        << testing::PrintToString(text);
    EXPECT_NE(program.Status().find(kFailing), std::wstring::npos);
    EXPECT_EQ(std::filesystem::file_size(report), 4096u - 20u) << "the part that went in was cut off";

    // While the box waits, the binary log goes on and no second box comes.
    const std::size_t records = CountBinaryRecords(folder.Path("b.kvf"));
    ASSERT_TRUE(WaitFor([&] { return CountBinaryRecords(folder.Path("b.kvf")) >= records + 3; }, 15000));
    HWND other = nullptr;
    EnumThreadWindows(
        program.GuiThreadId(),
        [](HWND h, LPARAM lp) -> BOOL {
            HWND& found = *reinterpret_cast<HWND*>(lp);
            if (IsMessageBox(h) && IsWindowVisible(h) && h != found)
                found = found ? found : h;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&other));
    EXPECT_EQ(other, box) << "one box per failure";
    EXPECT_EQ(std::filesystem::file_size(report), 4096u - 20u);
    ASSERT_TRUE(driver.Answer(box, IDOK));

    // Room again: the waiting rows go in, in order, and the user is told.
    std::filesystem::remove(filler);
    box = driver.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(StartsWith(RunningProgram::MessageBoxText(box), kReportWorks));
    ASSERT_TRUE(WaitFor([&] { return program.Status().find(kFailing) == std::wstring::npos; }, 5000));
    ASSERT_TRUE(driver.Answer(box, IDOK));
    ASSERT_TRUE(program.Close());

    const std::string written = ReadFileBytes(report).substr(4096 - 20 - header.size() - rowSize);
    ExpectWholeLines(written, 2);
    EXPECT_EQ(written.substr(0, header.size()), header);
    // Every tick wrote one row and one record: none was lost on the way.
    const std::size_t rows = SplitLines(written).size() - 1;
    EXPECT_EQ(rows, BinaryRecords(folder.Path("b.kvf")).size());
}

// Started with Windows, a report that cannot be opened yet (its network
// drive still connecting) is tried every 10 s without a box, and recorded
// to once it can be; the recorder needs no window for it.
TEST(RecordingFailure, AtAStartWithWindowsAFileNotThereYetIsTriedAgainWithoutABox) {
    RecorderHost host;
    FileFolder folder;
    const CChannelSet channels;
    CRecorder recorder(host, channels);
    RecordingSettings settings;
    settings.bLogReport = TRUE;
    settings.strReportPath = folder.Text("share\\r.csv");
    recorder.TakeSettings(settings);
    recorder.OnStartTimer();
    EXPECT_EQ(host.nStartMs, 10000u);
    EXPECT_FALSE(recorder.IsRecording());
    std::filesystem::create_directory(folder.Path("share"));
    std::ofstream(folder.Path("share") / "r_2.csv", std::ios::binary) << "a copy\r\n";  // not a next part of a short report
    recorder.OnStartTimer();
    EXPECT_EQ(host.nStartMs, 0u);
    EXPECT_EQ(host.nTickMs, 1000u);
    EXPECT_EQ(host.nBoxes, 0);
    recorder.OnRecordTimer();
    EXPECT_EQ(SplitLines(ReadFileBytes(folder.Path("share") / "r.csv")).size(), 3u) << "a header and two rows";
    EXPECT_EQ(ReadFileBytes(folder.Path("share") / "r_2.csv"), "a copy\r\n");
}

// A file a day: the row of 23:59:59 is the day's last, 00:00:00 the next
// day's first, with its header; a clock set back keeps today's files; a
// file that cannot be opened at midnight keeps its rows until it can; a
// report restarted near the spreadsheet's row limit goes on in a next part, past a full one put there.
TEST(RecordingPeriods, TheDaysFilesChangeBetweenTwoTicksWithNoRowLostOrDoubled) {
    RecorderHost host;
    FileFolder folder;
    const CChannelSet channels;
    CRecorder recorder(host, channels);
    RecordingSettings settings;
    settings.bLogReport = settings.bLogBinary = TRUE;
    settings.strReportPath = folder.Text("r.csv");
    settings.strBinaryPath = folder.Text("b.kvf");
    settings.nFileSplit = kSplitDay;
    std::string full = "Data i Godzina\tT\r\n";
    for (std::uint64_t i = 1; i < kMaxReportRows; ++i)
        full += "2026.12.09 10:00:00\t???\r\n";
    std::ofstream(folder.Path("r_2026-12-09.csv"), std::ios::binary) << full;
    recorder.TakeSettings(settings);
    host.nFree = 30u << 20;  // a few days of rows at one a second: told at the start
    recorder.OnStartTimer();  // 23:59:58: the day's last row
    EXPECT_EQ(recorder.DiskWarning().rfind("Ma\xB3o miejsca na dysku z plikiem rejestracji: zosta\xB3o oko\xB3o ", 0), 0u)
        << recorder.DiskWarning();
    std::filesystem::create_directory(folder.Path("b_2026-12-10.kvf"));  // in the way at midnight
    std::ofstream(folder.Path("r_2026-12-09_2.csv"), std::ios::binary) << full + "2026.12.09 10:00:00\t???\r\n";
    for (const RecordTime& t : {RecordTime{2026, 12, 9, 23, 59, 59}, RecordTime{2026, 12, 10, 0, 0, 0},
                                RecordTime{2026, 12, 9, 23, 59, 59}, RecordTime{2026, 12, 10, 0, 0, 1}}) {
        if (t.second == 1)
            std::filesystem::remove(folder.Path("b_2026-12-10.kvf"));
        host.now = t;
        recorder.OnRecordTimer();
    }
    const std::string header = "Data i Godzina\tT \xB0"
                               "C\tT1 \xB0"
                               "C";
    const std::vector<std::string> tail =
        SplitLines(ReadFileBytes(folder.Path("r_2026-12-09.csv")).substr(full.size()));
    ASSERT_EQ(tail.size(), 2u);
    EXPECT_EQ(tail[0].substr(0, header.size()), header);
    EXPECT_EQ(tail[1].substr(0, 19), "2026.12.09 23:59:58");
    const std::pair<const char*, std::vector<std::string>> reports[] = {
        {"r_2026-12-09_3.csv", {"2026.12.09 23:59:59"}},
        {"r_2026-12-10.csv", {"2026.12.10 00:00:00", "2026.12.09 23:59:59", "2026.12.10 00:00:01"}}};
    for (const auto& report : reports) {
        const std::vector<std::string> lines = SplitLines(ReadFileBytes(folder.Path(report.first)));
        ASSERT_EQ(lines.size(), report.second.size() + 1) << report.first;
        EXPECT_EQ(lines[0].substr(0, header.size()), header);
        for (std::size_t i = 0; i < report.second.size(); ++i)
            EXPECT_EQ(lines[i + 1].substr(0, 19), report.second[i]);
    }
    const std::pair<const char*, std::vector<std::string>> logs[] = {
        {"b_2026-12-09.kvf", {"20261209235958", "20261209235959"}},
        {"b_2026-12-10.kvf", {"20261210000000", "20261209235959", "20261210000001"}}};
    for (const auto& log : logs) {
        std::vector<std::string> times;
        for (const BinaryRecordContent& record : BinaryRecords(folder.Path(log.first)))
            times.push_back(record.strTime);
        EXPECT_EQ(times, log.second) << log.first;
    }
    // Told as a full disk is: once when it fails, once when it works again.
    EXPECT_EQ(host.nBoxes, 2) << host.strBoxes;
    EXPECT_NE(host.strBoxes.find("b_2026-12-10.kvf"), std::string::npos) << host.strBoxes;
    RecordingSettings moved = settings;  // confirmed after midnight, before the day's first tick: a new report
    moved.strReportPath = folder.Text("q.csv"), host.pOk = &moved, host.now = {2026, 12, 11, 0, 10, 0};
    recorder.OnSettingsCommand();
    EXPECT_EQ(BinaryRecords(folder.Path("b_2026-12-11.kvf")).size(), 1u) << "the log left in the old day";
}

TEST(RecordingKill, AProgramKilledWhileRecordingLeavesWholeRowsAndValidRecords) {
    FileFolder folder;
    const std::filesystem::path exe = folder.Path("QM487.exe");
    std::filesystem::copy_file(std::filesystem::path(std::string("Z:") + QM487_EXE), exe);
    std::ofstream(folder.Path("qm487cfg.ini"), std::ios::binary)
        << RecordingIni("[LOG]\r\nFILE_NAME=" + folder.Text("r.txt") + "\r\nFILE_NAME_BIN=" + folder.Text("b.kvf") +
                        "\r\nFILE_LOG=1\r\nFILE_LOG_BIN=1\r\nFILE_INTERVAL=1\r\n");
    // QM487_KILL_RUNS sets the number of runs: 3 by default, 100 in
    // scripts/soak.sh; each is killed at another point of a tick.
    const char* runs = std::getenv("QM487_KILL_RUNS");
    const int nRuns = runs ? std::max(1, std::atoi(runs)) : 3;
    const DWORD pauses[] = {0, 330, 670, 150, 500, 850};
    std::size_t rowsBefore = 0;
    std::size_t kills = 0;
    for (int run = 0; run < nRuns; ++run) {
        const DWORD pause = pauses[run % std::size(pauses)];
        SCOPED_TRACE(testing::Message() << "kill " << pause << " ms after a row");
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::wstring command = L"\"" + exe.wstring() + L"\"";
        ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   folder.Path("").wstring().c_str(), &si, &pi));
        // The files open 10 s after start; a few ticks later the program dies.
        // The bound is generous: a start under Wine on a busy machine is slow.
        const bool recorded =
            WaitFor([&] { return SplitLines(ReadFileBytes(folder.Path("r.txt"))).size() >= rowsBefore + 4; }, 180000);
        Sleep(pause);
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        ASSERT_TRUE(recorded) << "the restarted program did not resume recording";

        const std::string text = ReadFileBytes(folder.Path("r.txt"));
        ExpectWholeLines(text, 10);
        const std::vector<std::string> lines = SplitLines(text);
        rowsBefore = lines.size();
        ++kills;
        // A tick writes its row, then its record: a kill between the two is
        // the only way the counts may differ, by one a run.
        std::size_t rows = 0;
        for (const std::string& line : lines)
            rows += line.rfind("Data i Godzina", 0) != 0;
        const std::size_t records = BinaryRecords(folder.Path("b.kvf")).size();
        EXPECT_LE(records, rows);
        EXPECT_GE(records + kills, rows);
    }
    // Every run started with its own header.
    std::size_t headers = 0, rows = 0;
    for (const std::string& line : SplitLines(ReadFileBytes(folder.Path("r.txt")))) {
        headers += line.rfind("Data i Godzina", 0) == 0;
        rows += line.rfind("Data i Godzina", 0) != 0;
    }
    EXPECT_EQ(headers, static_cast<std::size_t>(nRuns));
    std::printf("killed while recording: %zu runs, %zu rows and %zu records, all whole\n", kills, rows,
                BinaryRecords(folder.Path("b.kvf")).size());
}
