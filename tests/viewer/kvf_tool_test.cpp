// qm487-kvf's commands as a user meets them: what they print and their exit
// status on sound, damaged, cut-short and foreign files.
#include "kvf_commands.h"
#include "kvf_test_data.h"
#include "tests/viewer/clock_change_logs.h"
#include "viewer/log_series.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace kvftest;

namespace {

// Named after the test too: the tests run side by side in separate processes.
std::string TempPath(const std::string& name) {
    return testing::TempDir() + "qm487_kvf_" + testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
           name;
}

// The path in UTF-8, as the tool takes it.
std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = TempPath(name);
    EXPECT_TRUE((std::ofstream(std::filesystem::u8path(path), std::ios::binary) << bytes).good()) << path;
    return path;
}

std::string Slurp(std::FILE* f) {
    std::string text;
    std::rewind(f);
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    std::fclose(f);
    return text;
}

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun Tool(std::vector<std::string> args) {
    args.insert(args.begin(), "qm487-kvf");
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    // Binary files: the text compared is what the commands wrote.
    std::FILE* out = std::fopen(TempPath("out").c_str(), "w+b");
    std::FILE* err = std::fopen(TempPath("err").c_str(), "w+b");
    EXPECT_TRUE(out && err);
    ToolRun run;
    run.status = RunKvfTool(static_cast<int>(argv.size()), argv.data(), out, err);
    run.out = Slurp(out);
    run.err = Slurp(err);
    return run;
}

const char kHeader[] = "time,T,T1,T2,T3,T4,T5,T6,T7,T8\n";

}  // namespace

TEST(KvfTool, CsvHasOneLineASoundRecordWithValuesAsStored) {
    const std::string path = WriteFile("three.kvf", Log(5));
    ToolRun run = Tool({"csv", path});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, std::string(kHeader) +
                           "2009-03-17 08:00:00,21.40,20.00,-5.50,,,,,,\n"
                           "2009-03-17 08:00:10,21.40,20.25,-4.50,,,,,,\n"
                           "2009-03-17 08:00:20,21.40,20.50,-3.50,,,,,,\n"
                           "2009-03-17 08:00:30,21.40,20.75,-2.50,,,,,,\n"
                           "2009-03-17 08:00:40,21.40,21.00,,,,,,,\n");

    run = Tool({"csv", "--separator", ";", path});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n', 50) + 1),
              "time;T;T1;T2;T3;T4;T5;T6;T7;T8\n2009-03-17 08:00:00;21.40;20.00;-5.50;;;;;;\n");
    EXPECT_EQ(Tool({"csv", path, "--separator=tab"}).out.substr(0, 9), "time\tT\tT1");

    // An empty log: the header alone.
    run = Tool({"csv", WriteFile("empty.kvf", "")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, kHeader);

    // The names file beside the log (Windows-1250, as the program writes it) titles named channels, in UTF-8.
    WriteFile("named.kvf.names", "; komentarz\r\nT2=P\xF3\xB3ka, g\xF3ra\r\nT9=x\r\nT3=\x1B[2Ja\rb\r\nT1 = Zamra\xBF"
                                 "arka \r\n");
    EXPECT_EQ(Tool({"csv", WriteFile("named.kvf", Log(1))}).out.substr(0, 58),
              "time,T,Zamrażarka,\"Półka, góra\",[2Ja b,T4,T5,T6,T7,T8\n");
}

TEST(KvfTool, DamagedRecordsAreSkippedWithTheirOffsetsAndExitOne) {
    std::string broken = Tick(1);
    broken[16] = 'x';
    const std::string log = Tick(0) + broken + Tick(2);
    const std::string path = WriteFile("damaged.kvf", log);
    const std::string offset = std::to_string(Tick(0).size());

    ToolRun run = Tool({"csv", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, std::string(kHeader) + "2009-03-17 08:00:00,21.40,20.00,-5.50,,,,,,\n"
                                              "2009-03-17 08:00:20,21.40,20.50,-3.50,,,,,,\n");
    EXPECT_NE(run.err.find("damaged record at offset " + offset + " (" + std::to_string(broken.size()) +
                           " bytes) skipped"),
              std::string::npos)
        << run.err;

    run = Tool({"check", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find(": 2 records, 1 damaged\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("damaged record at offset " + offset), std::string::npos) << run.out;

    run = Tool({"stats", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("offset " + offset), std::string::npos) << run.err;

    // Damage between every two records: the first ten thousand listed, the rest counted.
    std::string torn;
    for (int i = 0; i < 10003; ++i)
        torn += Tick(i) + "x";
    run = Tool({"check", WriteFile("torn.kvf", torn)});
    EXPECT_NE(run.out.find(": 10003 records, 10003 damaged\n"), std::string::npos);
    EXPECT_NE(run.out.find("\n... and 3 more damaged records\n"), std::string::npos);
}

TEST(KvfTool, CheckSummarisesASoundFileAndToleratesARecordBeingWritten) {
    // Named outside every ANSI code page.
    const std::string path = WriteFile("rośnie-запись.kvf", Log(6) + Tick(6).substr(0, 20));
    const ToolRun run = Tool({"check", path});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find(": 6 records, 0 damaged\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("time span: 2009-03-17 08:00:00 to 2009-03-17 08:00:50 (50 s)\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("channels seen: T1 (6) T2 (5) T (6)\n"), std::string::npos) << run.out;
    // A names file saved as UTF-8 (as Notepad saves it) is read too.
    WriteFile("chłodnia.kvf.names", "T2=Chłodnia\n");
    EXPECT_NE(Tool({"check", WriteFile("chłodnia.kvf", Log(6))}).out.find("seen: T1 (6) Chłodnia (5) T (6)\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("last 20 bytes: a record not yet complete"), std::string::npos) << run.out;
}

TEST(KvfTool, StatsPerChannelAndGapsLongerThanThreeIntervals) {
    std::string log;
    for (int i : {0, 1, 2, 3, 4, 5, 10, 11, 12})  // six ticks missing after 08:00:50
        log += Tick(i);
    const ToolRun run = Tool({"stats", WriteFile("gaps.kvf", log)});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find(": 9 records, 0 damaged, recording interval 10 s (median step)\n"), std::string::npos)
        << run.out;
    // T1 runs 20.00 .. 23.00 (tick 12), mean of 0.25 * (0+1+2+3+4+5+10+11+12) + 20.
    EXPECT_NE(run.out.find("T1                9      20.00      23.00      21.33  2009-03-17 08:00:00  "
                           "2009-03-17 08:02:00"),
              std::string::npos)
        << run.out;
    // T2 is missing at tick 4 (a 20 s step, no gap) and with the others.
    EXPECT_NE(run.out.find("T2                8      -5.50       6.50       0.00"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("T3                0          -"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("gaps longer than 30 s (three recording intervals):\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  T1  2009-03-17 08:00:50 to 2009-03-17 08:01:40 (50 s)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  T2  2009-03-17 08:00:50 to 2009-03-17 08:01:40 (50 s)"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("  T2  2009-03-17 08:00:30 to 2009-03-17 08:00:50"), std::string::npos) << run.out;
}

// Logs recorded in Poland across both changes of 2026 and with a clock set
// back by hand, read in Europe/Warsaw (the test's zone; under Wine the test
// environment sets it), or as a zone of the user's choice.
TEST(KvfTool, TimesAcrossClockChangesReadInRealTime) {
#if !defined(_WIN32)
    setenv("TZ", "Europe/Warsaw", 1);
#endif
    const std::string autumn = WriteFile("autumn.kvf", clocklogs::Log(clocklogs::Autumn()));
    const std::string spring = WriteFile("spring.kvf", clocklogs::Log(clocklogs::Spring()));
    const std::string setBack = WriteFile("setback.kvf", clocklogs::Log(clocklogs::SetBack()));
    const std::string every45 = WriteFile("every45.kvf", clocklogs::Log(clocklogs::AutumnEvery(2700, 35)));
    const std::string hourly = WriteFile("hourly.kvf", clocklogs::Log(clocklogs::AutumnEvery(3600, 30)));
    const std::string winterFirst = WriteFile("winter.kvf", clocklogs::Log(clocklogs::AutumnEvery(10, 150)));
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> lines;  // each somewhere in the output
    } rows[] = {
        {{"csv", "--iso", autumn},
         {"\n2026-10-25T01:00:00+02:00,,20.00,", "\n2026-10-25T02:59:50+02:00,,27.19,",
          "\n2026-10-25T02:00:00+01:00,,27.20,", "\n2026-10-25T03:00:00+01:00,,30.80,"}},
        {{"csv", "--iso", "--zone", "+09:00", autumn}, {"\n2026-10-25T02:00:00+09:00,,27.20,"}},
        {{"csv", "--iso", "--decimal-comma", "--separator", ";", spring},
         {"\n2026-03-29T01:59:50+01:00;;23,59;", "\n2026-03-29T03:00:00+02:00;;23,60;"}},
        {{"stats", autumn},
         {"\nreal time: 2026-10-25 01:00:00 UTC+2 to 2026-10-25 03:00:00 UTC+1, 10800 s in 1 span\n",
          "gaps longer than 30 s (three recording intervals): none\n"}},
        {{"stats", spring}, {"7200 s in 1 span\n", "(three recording intervals): none\n"}},
        {{"stats", "--zone", "utc", autumn}, {"10800 s in 2 spans (clock set back 1 time)\n"}},
        {{"stats", setBack}, {"7200 s in 2 spans (clock set back 1 time)\n"}},
        {{"check", autumn}, {"time span: 2026-10-25 01:00:00 UTC+2 to 2026-10-25 03:00:00 UTC+1 (10800 s)\n"}},
        {{"csv", "--iso", every45},
         {"\n2026-10-25T02:20:00+02:00,,20.01,", "\n2026-10-25T02:05:00+01:00,,20.02,",
          "\n2026-10-25T02:50:00+01:00,,20.03,"}},
        {{"check", every45}, {"time span: 2026-10-25 01:35:00 UTC+2 to 2026-10-25 03:35:00 UTC+1 (10800 s)\n"}},
        {{"csv", "--iso", hourly}, {"\n2026-10-25T02:30:00+02:00,,20.01,", "\n2026-10-25T02:30:00+01:00,,20.02,"}},
        {{"check", hourly}, {"time span: 2026-10-25 01:30:00 UTC+2 to 2026-10-25 03:30:00 UTC+1 (10800 s)\n"}},
        {{"csv", "--iso", winterFirst}, {"\n2026-10-25T02:30:00+01:00,,20.00,", "\n2026-10-25T03:00:00+01:00,,21.80,"}},
        {{"check", winterFirst}, {"time span: 2026-10-25 02:30:00 UTC+1 to 2026-10-25 05:30:00 (10800 s)\n"}},
        {{"check", setBack},
         {"clock set back by 00:04:30 after 2026-10-10 01:59:50, at offset " +
          std::to_string(clocklogs::Log(std::vector<std::int64_t>(360, 0)).size()) + "\n"}},
    };
    for (const auto& row : rows) {
        const ToolRun run = Tool(row.args);
        EXPECT_EQ(run.status, 0) << row.args[0] << run.err;
        for (const std::string& line : row.lines)
            EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out.substr(0, 2000);
        if (row.args[0] == "check" && row.lines[0].find("clock set back") == std::string::npos) {
            EXPECT_EQ(run.out.find("clock set back"), std::string::npos) << run.out;
        }
    }
    const ToolRun refused = Tool({"csv", "--decimal-comma", autumn});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--decimal-comma needs another separator"), std::string::npos);
    EXPECT_EQ(Tool({"csv", "--zone", "Europe/Warsaw", autumn}).status, 2);
}

// Windows' rule of Tehran in 2021 changes at 23:59:59.999 of the third
// Sunday of March: midnight to the second. Wine takes the zone from TZ as the
// test starts (a test entry of its own sets it); natively the test sets it.
TEST(KvfTool, ZoneRulesKeepTheirSeconds) {
#if defined(_WIN32)
    const char* tz = std::getenv("TZ");
    if (tz == nullptr || std::string(tz) != "Asia/Tehran")
        GTEST_SKIP() << "needs TZ=Asia/Tehran";
#else
    setenv("TZ", "Asia/Tehran", 1);
#endif
    const std::vector<std::int64_t> locals = {CivilSeconds(2021, 3, 21, 23, 59, 50),
                                              CivilSeconds(2021, 3, 21, 23, 59, 59),
                                              CivilSeconds(2021, 3, 22, 1, 0, 0)};
    const ToolRun run = Tool({"csv", "--iso", WriteFile("tehran.kvf", clocklogs::Log(locals))});
    EXPECT_NE(run.out.find("\n2021-03-21T23:59:59+03:30,,20.01,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n2021-03-22T01:00:00+04:30,,20.02,"), std::string::npos) << run.out;
}

TEST(KvfTool, RefusesWhatItCannotReadWithAClearMessage) {
    ToolRun run = Tool({"check", WriteFile("report.csv", "Data;Czas;T1\n2009-03-17;08:05:00;21,37\n")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("is not a QM487 binary log (.kvf)"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    run = Tool({"csv", WriteFile("big.txt", std::string(100000, 'x'))});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("no sound record in its first 4096 bytes"), std::string::npos) << run.err;

    run = Tool({"stats", TempPath("no-such-file.kvf")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("qm487-kvf: cannot open "), std::string::npos);

    const std::string path = WriteFile("ok.kvf", Log(2));
    EXPECT_EQ(Tool({"csv", path, "--separator", "."}).status, 2);
    EXPECT_NE(Tool({"csv", path, "--separator", "."}).err.find("bad separator"), std::string::npos);
    EXPECT_EQ(Tool({"check", path, "--separator", ";"}).status, 2);
    EXPECT_EQ(Tool({"plot", path}).status, 2);
    EXPECT_EQ(Tool({"check"}).status, 2);
    EXPECT_EQ(Tool({"check", path, "extra"}).status, 2);
    run = Tool({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("usage: qm487-kvf check FILE"), std::string::npos);
}

// Several files, or a folder, as one log: a series in time order whatever
// order the folder lists it in, its gap to the next day a gap; files given
// in an order that overlaps are told.
TEST(KvfTool, SeveralFilesAndAFolderReadAsOneLogInTimeOrder) {
    const std::string folder = TempPath("dni");
    std::filesystem::create_directories(std::filesystem::u8path(folder));
    const std::string day18 = WriteFile("dni/pomiar_2009-03-18.kvf", Tick(5760) + Tick(5761));
    const std::string day17 = WriteFile("dni/pomiar_2009-03-17.kvf", Tick(5758) + Tick(5759));
    WriteFile("dni/pomiar.csv", "Data i Godzina\r\n");
    ToolRun run = Tool({"csv", folder});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::string times;
    for (std::size_t at = run.out.find('\n'); at + 1 < run.out.size(); at = run.out.find('\n', at + 1))
        times += run.out.substr(at + 12, 8) + " ";
    EXPECT_EQ(times, "23:59:40 23:59:50 00:00:00 00:00:10 ");
    run = Tool({"check", day18, day17});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("(2 files): 4 records, 0 damaged"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("pomiar_2009-03-17.kvf begins at 2009-03-17 23:59:40, before "), std::string::npos)
        << run.err;
    EXPECT_EQ(Tool({"stats", TempPath("pusty")}).status, 2);

    // The series a file belongs to: its base, extension and kind of period.
    const std::vector<std::string> names = {
        "pomiar_2026-12-10.kvf", "pomiar_2026-12-09.KVF", "pomiar_backup.kvf",  "pomiar_2026-13-01.kvf",
        "pomiar_2026-W50.kvf",   "pomiar_2026-W54.kvf",   "pomiar_2026-12.kvf", "pomiar.kvf",
        "pomiar_2026-02-29.kvf", "inny_2026-12-09.kvf",   "pomiar_2025-W53.kvf"};  // 2025 has 52 weeks
    const std::vector<std::vector<std::string>> series = {
        SeriesFiles("pomiar_2026-12-10.kvf", names),
        SeriesFiles("pomiar_2026-W50.kvf", names),
        SeriesFiles("pomiar.kvf", names),
        SeriesFiles("r_2026-12-09_2.csv", {"r_2026-12-09.csv", "r_2026-12-09_10.csv", "r_2026-12-10.csv"}),
        SeriesFiles("hala_2.kvf", {"hala.kvf", "hala_3.kvf"}),  // a binary log has no next parts
    };
    const std::vector<std::vector<std::string>> expected = {
        {"pomiar_2026-12-09.KVF", "pomiar_2026-12-10.kvf"},
        {"pomiar_2026-W50.kvf"},
        {"pomiar.kvf"},  // no date, week or month of the calendar: another base
        {"r_2026-12-09.csv", "r_2026-12-09_2.csv", "r_2026-12-09_10.csv", "r_2026-12-10.csv"},
        {"hala_2.kvf"},
    };
    EXPECT_EQ(series, expected);
    // The split changed (weeks, then days): in time order by the day each period begins.
    EXPECT_TRUE(SeriesBefore(ParseSeriesName("p_2026-W49.kvf"), ParseSeriesName("p_2026-12-09.kvf")));
    EXPECT_TRUE(SeriesBefore(ParseSeriesName("p_2026-W44.kvf"), ParseSeriesName("p_2026-11.kvf")));
}
