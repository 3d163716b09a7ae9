#include "config/settings.h"
#include "tests/config/first_run_ini.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    fs::path dir;
    std::string path;

    void SetUp() override {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir = fs::temp_directory_path() /
              ("qm487_settings_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
               "_" + std::to_string(stamp));
        fs::create_directories(dir);
        path = (dir / kSettingsFileName).string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static void Write(const std::string& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    static std::string Read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // One program run: open as at start-up, read, let the caller change the
    // values, write every key, release the store.
    template <typename Change>
    ProgramSettings Run(Change change) {
        ProgramSettings s = ConstructorSettings();
        CIniFile ini;
        EXPECT_TRUE(ini.Load(path, IniLoadOptions().SaveOnDestroy().CreateIfMissing()));
        LoadSettings(ini, s);
        const ProgramSettings read = s;
        change(s);
        SaveSettings(ini, s);
        return read;
    }
    ProgramSettings Run() { return Run([](ProgramSettings&) {}); }
};

void ExpectSame(const ProgramSettings& a, const ProgramSettings& b) {
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a.fields[i].crBackground, b.fields[i].crBackground);
        EXPECT_EQ(a.fields[i].crText, b.fields[i].crText);
        EXPECT_EQ(a.fields[i].nFontHeight, b.fields[i].nFontHeight);
        EXPECT_EQ(a.fields[i].strFontName, b.fields[i].strFontName);
        EXPECT_EQ(a.fields[i].nFontItalic, b.fields[i].nFontItalic);
        EXPECT_EQ(a.fields[i].nFontWeight, b.fields[i].nFontWeight);
        EXPECT_EQ(a.recording.bRecord[i], b.recording.bRecord[i]);
    }
    EXPECT_EQ(a.nPortNumber, b.nPortNumber);
    EXPECT_EQ(a.nWindowLeft, b.nWindowLeft);
    EXPECT_EQ(a.nWindowTop, b.nWindowTop);
    EXPECT_EQ(a.nWindowRight, b.nWindowRight);
    EXPECT_EQ(a.nWindowBottom, b.nWindowBottom);
    EXPECT_EQ(a.bTopmost, b.bTopmost);
    EXPECT_EQ(a.bShowPromotion, b.bShowPromotion);
    EXPECT_EQ(a.recording.strReportPath, b.recording.strReportPath);
    EXPECT_EQ(a.recording.strBinaryPath, b.recording.strBinaryPath);
    EXPECT_EQ(a.recording.bLogReport, b.recording.bLogReport);
    EXPECT_EQ(a.recording.bLogBinary, b.recording.bLogBinary);
    EXPECT_EQ(a.recording.nSeparator, b.recording.nSeparator);
    EXPECT_EQ(a.recording.nInterval, b.recording.nInterval);
    EXPECT_EQ(a.recording.bAddComment, b.recording.bAddComment);
    EXPECT_EQ(a.recording.bAddSerial, b.recording.bAddSerial);
}

TEST_F(SettingsTest, FirstRunTakesKeyDefaultsAndWritesTheFullFile) {
    const ProgramSettings read = Run();
    EXPECT_EQ(Read(path), kFirstRunFile);

    // The key defaults are the constructor's but for the window and interval.
    ProgramSettings expected = ConstructorSettings();
    EXPECT_EQ(expected.nWindowRight - expected.nWindowLeft, 480);
    EXPECT_EQ(expected.nWindowBottom - expected.nWindowTop, 472);
    EXPECT_EQ(expected.recording.nInterval, 1);
    expected.nWindowLeft = 100;
    expected.nWindowTop = 100;
    expected.nWindowRight = 700;
    expected.nWindowBottom = 500;
    expected.recording.nInterval = 60;
    ExpectSame(read, expected);

    // Nothing changed: the file is not rewritten, so a comment survives.
    Write(path, std::string(kFirstRunFile) + "; by hand\r\n");
    Run();
    EXPECT_EQ(Read(path), std::string(kFirstRunFile) + "; by hand\r\n");
}

TEST_F(SettingsTest, EveryValueComesBackFromItsOwnKey) {
    // All different, so a key read into or written from the wrong member shows.
    ProgramSettings s = ConstructorSettings();
    for (int i = 0; i < 9; ++i) {
        s.fields[i] = FieldSettings{0x010203u * (i + 1), 0xF00000u + i, -20 - i,
                                    "Font \xA3\xF3" "d\x9F " + std::to_string(i),
                                    static_cast<unsigned char>(i == 4 ? 255 : i), 100 * i};
        s.recording.bRecord[i] = i % 2;
    }
    s.fields[3].strFontName = "a;b";
    s.nPortNumber = 7;
    s.nWindowLeft = -3;
    s.nWindowTop = 11;
    s.nWindowRight = 1300;
    s.nWindowBottom = 900;
    s.bTopmost = TRUE;
    s.bShowPromotion = FALSE;
    s.recording.strReportPath = "C:\\pomiary;2024\\raport.txt";
    s.recording.strBinaryPath = "D:\\log.kvf";
    s.recording.bLogReport = TRUE;
    s.recording.bLogBinary = 5;  // flags are kept as held
    s.recording.nSeparator = 2;
    s.recording.nInterval = 86399;
    s.recording.bAddComment = TRUE;
    s.recording.bAddSerial = TRUE;

    Run([&](ProgramSettings& values) { values = s; });
    const std::string written = Read(path);
    EXPECT_NE(written.find("FONT_ITALIC_TEMP5=255\r\n"), std::string::npos);
    EXPECT_NE(written.find("FILE_NAME=C:\\pomiary;2024\\raport.txt;\r\n"), std::string::npos);
    ExpectSame(Run(), s);
    EXPECT_EQ(Read(path), written);
}

TEST_F(SettingsTest, HandEditedFileKeepsItsOrderCaseAndExtras) {
    Write(path,
          "; QM487 settings\r\n"
          "[general]\r\n"
          "window_right=900;wide\r\n"
          "port_nr=3\r\n"
          "OWN_KEY=x\r\n"
          "[temp1]\r\n"
          "font_name_temp1=Courier New\r\n"
          "background_temp1=255\r\n"
          "[OTHER]\r\n"
          "a=b\r\n");
    const ProgramSettings read = Run([](ProgramSettings& s) { s.nPortNumber = 4; });
    EXPECT_EQ(read.nPortNumber, 3);
    EXPECT_EQ(read.nWindowRight, 900);
    EXPECT_EQ(read.fields[0].strFontName, "Courier New");
    EXPECT_EQ(read.fields[0].crBackground, 255u);

    const std::string text = Read(path);
    // Existing lines stay where they were, in their case, comments included;
    // missing keys follow at the end of their section, new sections at the end.
    const std::string head =
        "; QM487 settings\r\n[general]\r\nwindow_right=900;wide\r\nport_nr=4\r\n"
        "OWN_KEY=x\r\nWINDOW_TOP=100\r\nWINDOW_BOTTOM=500\r\nWINDOW_LEFT=100\r\n"
        "TOPMOST=0\r\nSHOW_ADV=1\r\n"
        "[temp1]\r\nfont_name_temp1=Courier New\r\nbackground_temp1=255\r\n"
        "TEXT_TEMP1=9066\r\nFONT_HEIGHT_TEMP1=60\r\nFONT_ITALIC_TEMP1=0\r\n"
        "FONT_WEIGHT_TEMP1=0\r\n[OTHER]\r\na=b\r\n[TEMP2]\r\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.find("WINDOW_RIGHT"), std::string::npos);
    EXPECT_NE(text.find("[TEMP0]"), std::string::npos);
    // LOG is new, so it comes out as on a first run.
    const std::string full = kFirstRunFile;
    const std::string log = full.substr(full.find("[LOG]"));
    ASSERT_GE(text.size(), log.size());
    EXPECT_EQ(text.substr(text.size() - log.size()), log);
}

TEST_F(SettingsTest, ValuesAreReadAsTheStoreConvertsThem) {
    Write(path,
          "[TEMP1]\r\nFONT_ITALIC_TEMP1=255\r\nFONT_NAME_TEMP1=" + std::string(40, 'F') + "\r\n"
          "FONT_HEIGHT_TEMP1=-24px\r\nBACKGROUND_TEMP1=-1\r\n"
          "[TEMP2]\r\nFONT_ITALIC_TEMP2=257\r\nTEXT_TEMP2=blue\r\n"
          "[TEMP0]\r\nFONT_ITALIC_TEMP0=-1\r\n"
          "[GENERAL]\r\nPORT_NR=COM3\r\nSHOW_ADV=0\r\n"
          "[LOG]\r\nFILE_INTERVAL=90s\r\nFILE_NAME=C:\\a;b\\r.txt\r\nFILE_TEMP3=0\r\n");
    const ProgramSettings read = Run();
    EXPECT_EQ(read.fields[0].nFontItalic, 255);
    EXPECT_EQ(read.fields[0].strFontName, std::string(31, 'F'));
    EXPECT_EQ(read.fields[0].nFontHeight, -24);
    EXPECT_EQ(read.fields[0].crBackground, 0xFFFFFFu);  // a colour has 24 bits
    EXPECT_EQ(read.fields[1].nFontItalic, 1);  // the low eight bits
    EXPECT_EQ(read.fields[1].crText, 0u);
    EXPECT_EQ(read.fields[8].nFontItalic, 255);
    EXPECT_EQ(read.nPortNumber, 0);
    EXPECT_FALSE(read.bShowPromotion);
    EXPECT_EQ(read.recording.nInterval, 90);
    EXPECT_EQ(read.recording.strReportPath, "C:\\a");  // cut at the ";" as a comment
    EXPECT_FALSE(read.recording.bRecord[3]);
    EXPECT_TRUE(read.recording.bRecord[4]);

    const std::string text = Read(path);
    EXPECT_NE(text.find("FONT_ITALIC_TEMP1=255\r\n"), std::string::npos);
    EXPECT_NE(text.find("FONT_NAME_TEMP1=" + std::string(31, 'F') + "\r\n"), std::string::npos);
    EXPECT_NE(text.find("FONT_ITALIC_TEMP2=1\r\n"), std::string::npos);
    EXPECT_NE(text.find("BACKGROUND_TEMP1=16777215\r\n"), std::string::npos);
    // The value read is the value set, so the old line stays as it was.
    EXPECT_NE(text.find("FILE_NAME=C:\\a;b\\r.txt\r\n"), std::string::npos);
    EXPECT_NE(text.find("FILE_INTERVAL=90\r\n"), std::string::npos);
}

TEST_F(SettingsTest, HostileNumbersAreBroughtIntoTheirRanges) {
    // The extremes a file can hold: font sizes whose abs() overflows,
    // coordinates whose differences overflow, codes beyond their lists.
    std::string text;
    for (int k = 0; k <= 8; ++k) {
        const std::string n = std::to_string(k);
        // Channel 2 at the other end.
        text += "[TEMP" + n + "]\r\nFONT_HEIGHT_TEMP" + n + (k == 2 ? "=2147483647" : "=-2147483648") +
                "\r\nFONT_WEIGHT_TEMP" + n + (k == 2 ? "=99999" : "=-7") + "\r\nTEXT_TEMP" + n + "=4294967295\r\n";
    }
    text += "[GENERAL]\r\nPORT_NR=-5\r\nWINDOW_LEFT=-2147483648\r\nWINDOW_RIGHT=2147483647\r\n"
            "WINDOW_TOP=99999999999\r\nWINDOW_BOTTOM=-99999999999\r\n"
            "[LOG]\r\nFILE_SEP_FORMAT=7\r\nFILE_INTERVAL=-2147483648\r\n";
    Write(path, text);
    ProgramSettings read = Run();
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        const FieldSettings& f = read.fields[i];
        EXPECT_GE(f.nFontHeight, -2000);
        EXPECT_LE(f.nFontHeight, 2000);
        EXPECT_GE(f.nFontWeight, 0);
        EXPECT_LE(f.nFontWeight, 1000);
        EXPECT_EQ(f.crText, 0xFFFFFFu);
    }
    EXPECT_EQ(read.fields[1].nFontHeight, 2000);
    EXPECT_EQ(read.fields[1].nFontWeight, 1000);
    EXPECT_EQ(read.nPortNumber, 0);
    EXPECT_EQ(read.nWindowLeft, -32767);
    EXPECT_EQ(read.nWindowRight, 32767);
    EXPECT_EQ(read.nWindowTop, 32767);
    EXPECT_EQ(read.nWindowBottom, -32767);
    EXPECT_EQ(read.recording.nSeparator, 7) << "an unknown separator writes tabs and is kept";
    EXPECT_EQ(read.recording.nInterval, 1);

    Write(path, "[GENERAL]\r\nPORT_NR=257\r\n[LOG]\r\nFILE_SEP_FORMAT=-1\r\nFILE_INTERVAL=86400\r\n");
    read = Run();
    EXPECT_EQ(read.nPortNumber, 256);
    EXPECT_EQ(read.recording.nSeparator, -1);
    EXPECT_EQ(read.recording.nInterval, 86399);
}

TEST_F(SettingsTest, AFileTooLargeForSettingsIsLeftAloneAndTheDefaultsApply) {
    // Exactly the limit is still read; one byte more is damaged.
    std::string text = "[GENERAL]\r\nPORT_NR=5\r\n;";
    text += std::string(CIniFile::kMaxFileSize - text.size(), 'x');
    Write(path, text);
    {
        CIniFile ini;
        ASSERT_TRUE(ini.Load(path, IniLoadOptions().SaveOnDestroy().CreateIfMissing()));
        EXPECT_EQ(ini.GetInt("GENERAL", "PORT_NR", 0), 5);
    }
    text += "x";
    Write(path, text);
    {
        CIniFile ini;
        EXPECT_FALSE(ini.Load(path, IniLoadOptions().SaveOnDestroy().CreateIfMissing()));
        EXPECT_EQ(ini.GetInt("GENERAL", "PORT_NR", 0), 0);
        ini.SetInt("GENERAL", "PORT_NR", 3);
    }
    EXPECT_EQ(Read(path), text) << "left as it was";
}

}  // namespace

// The alarm section comes after the others, only once it is needed, with the
// channels 1 to 8 first and the mean last.
TEST_F(SettingsTest, AlarmSettingsAreWrittenOnlyOnceTheyDifferFromTheDefaults) {
    Run();
    ASSERT_EQ(Read(path), kFirstRunFile);

    Run([](ProgramSettings& s) {
        s.alarm.limits[3].bHasHigh = true;
        s.alarm.limits[3].dHigh = 30.0;
        s.alarm.limits[0].bHasLow = true;
        s.alarm.limits[0].dLow = -5.25;
        s.alarm.strLogPath = "C:\\dane\\alarmy.csv";
    });
    std::string expected = std::string(kFirstRunFile) +
                           "[ALARM]\r\nHYSTERESIS=0.5\r\nSOUND=1\r\nLOG_FILE=C:\\dane\\alarmy.csv\r\n";
    for (int k : {1, 2, 3, 4, 5, 6, 7, 8, 0}) {
        const std::string n = std::to_string(k);
        expected += "LOW_TEMP" + n + "=" + (k == 0 ? "-5.25" : "") + "\r\n";
        expected += "HIGH_TEMP" + n + "=" + (k == 3 ? "30.0" : "") + "\r\n";
    }
    EXPECT_EQ(Read(path), expected);

    const ProgramSettings read = Run([](ProgramSettings& s) { s.alarm = AlarmSettings(); });
    EXPECT_TRUE(read.alarm.limits[3].bHasHigh);
    EXPECT_DOUBLE_EQ(read.alarm.limits[3].dHigh, 30.0);
    EXPECT_FALSE(read.alarm.limits[3].bHasLow);
    EXPECT_TRUE(read.alarm.limits[0].bHasLow);
    EXPECT_DOUBLE_EQ(read.alarm.limits[0].dLow, -5.25);
    EXPECT_EQ(read.alarm.strLogPath, "C:\\dane\\alarmy.csv");
    // Back to the defaults: a section the file has keeps its keys, now empty.
    const std::string cleared = Read(path);
    EXPECT_NE(cleared.find("[ALARM]\r\nHYSTERESIS=0.5\r\nSOUND=1\r\nLOG_FILE=\r\nLOW_TEMP1=\r\n"), std::string::npos);
    EXPECT_EQ(cleared.find("30.0"), std::string::npos);

    // The report's decimal comma likewise: a key of its own once chosen, then kept.
    Run([](ProgramSettings& s) { s.recording.bDecimalComma = TRUE; });
    EXPECT_NE(Read(path).find("FILE_CHECK_COMMENT_SN=0\r\nDECIMAL_COMMA=1\r\n"), std::string::npos) << Read(path);
    EXPECT_TRUE(Run([](ProgramSettings& s) { s.recording.bDecimalComma = FALSE; }).recording.bDecimalComma);
    EXPECT_NE(Read(path).find("DECIMAL_COMMA=0\r\n"), std::string::npos);
    // A new file each period: a hand-written value stays as written, one the program cannot read never in force.
    for (const auto& [written, split] : {std::pair<const char*, int>{"FILE_SPLIT=co dzie\xF1\r\n", 0},
                                         std::pair<const char*, int>{"FILE_SPLIT= 2\r\n", 2}}) {
        Write(path, std::string("[LOG]\r\n") + written);
        EXPECT_EQ(Run().recording.nFileSplit, split);
        EXPECT_NE(Read(path).find(written), std::string::npos) << Read(path);
    }
}

// Limits the dialog would refuse give the channel no alarm, are told, and
// stay in the file as written.
TEST_F(SettingsTest, HandEditedAlarmValuesAreReadOrRefusedAndKeptAsWritten) {
    Write(path, "[alarm]\r\nhysteresis=1,5\r\nsound=0\r\nlow_temp2= -3 \r\nhigh_temp2=warm\r\n"
                "HIGH_TEMP0=25\r\nLOW_TEMP5=;nothing\r\nLOW_TEMP4=25\r\nHIGH_TEMP4=20\r\nHIGH_TEMP6=30.125\r\n"
                "LOW_TEMP7=-0,25\r\n");
    const ProgramSettings read = Run();
    EXPECT_DOUBLE_EQ(read.alarm.dHysteresis, 1.5);
    EXPECT_FALSE(read.alarm.bSound);
    EXPECT_TRUE(read.alarm.limits[0].bHasHigh);
    EXPECT_DOUBLE_EQ(read.alarm.limits[0].dHigh, 25.0);
    EXPECT_DOUBLE_EQ(read.alarm.limits[7].dLow, -0.25);
    EXPECT_FALSE(read.alarm.limits[5].bHasLow);
    for (int c : {2, 4, 6})
        EXPECT_TRUE(!read.alarm.limits[c].IsSet() && read.alarm.refused[c].bRefused) << c;
    EXPECT_EQ(read.alarm.Refusal(), "Temperatura 2: g\xF3rny pr\xF3g nie jest liczb\xB9.");
    EXPECT_EQ(ComposeRefusedLimitsPiece(read.alarm), "B\xB3\xEA" "dne progi alarmu: T2, T4, T6. ");
    EXPECT_EQ(ComposeRefusedLimitsPiece(AlarmSettings()), "");
    // The file keeps its own spelling; values come back in the program's form,
    // refused ones exactly as they were.
    const std::string file = Read(path);
    EXPECT_EQ(file.find("[alarm]\r\nhysteresis=1.5\r\nsound=0\r\nlow_temp2= -3 \r\nhigh_temp2=warm\r\n"), 0u) << file;
    EXPECT_NE(file.find("LOW_TEMP4=25\r\nHIGH_TEMP4=20\r\nHIGH_TEMP6=30.125\r\nLOW_TEMP7=-0.25\r\n"), std::string::npos)
        << file;

    Write(path, "[ALARM]\r\nHYSTERESIS=-1\r\n");
    EXPECT_DOUBLE_EQ(Run().alarm.dHysteresis, kDefaultHysteresis);
}

// A hysteresis the dialog would refuse leaves the default in force, is told,
// and stays in the file as written, never rounded.
TEST_F(SettingsTest, HandWrittenHysteresisIsUsedOrRefusedAndKeptAsWritten) {
    const char kRefused[] = "B\xB3\xEA" "dna histereza alarmu, obowi\xB9zuje 0.5. ";
    const char kNotANumber[] = "Histereza musi by\xE6 liczb\xB9 nie mniejsz\xB9 od zera.";
    const char kTooPrecise[] = "Histereza mo\xBF" "e mie\xE6 najwy\xBF" "ej dwa miejsca po przecinku.";
    const struct {
        const char* written;
        double inForce;
        const char* saved;
        const char* reason;  // the dialog's; "" when used
    } rows[] = {
        {"0,25", 0.25, "0.25", ""},         {"0.005", 0.5, "0.005", kTooPrecise},
        {"0.125", 0.5, "0.125", kTooPrecise}, {"-1", 0.5, "-1", kNotANumber},
        {"ma\xB3o", 0.5, "ma\xB3o", kNotANumber},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.written);
        Write(path, std::string("[ALARM]\r\nHYSTERESIS=") + row.written + "\r\n");
        const AlarmSettings read = Run().alarm;
        EXPECT_DOUBLE_EQ(read.dHysteresis, row.inForce);
        EXPECT_EQ(ComposeRefusedLimitsPiece(read), *row.reason ? kRefused : "");
        EXPECT_EQ(read.Refusal(), row.reason);
        EXPECT_EQ(MakeAlarmForm(read).strHysteresis, row.saved);
        EXPECT_NE(Read(path).find(std::string("HYSTERESIS=") + row.saved + "\r\n"), std::string::npos) << Read(path);
    }
}

// Channel keys join their [TEMPk] only once they differ; what the program
// cannot use leaves the default in force, is told, and stays as written.
TEST_F(SettingsTest, ChannelKeysAreWrittenOnlyOnceSetAndHandWrittenOnesAreReadOrRefused) {
    Run([](ProgramSettings& s) { s.channels[2].strName = "Ch\xB3odnia"; });
    std::string file = Read(path);
    EXPECT_NE(file.find("FONT_WEIGHT_TEMP2=0\r\nNAME_TEMP2=Ch\xB3odnia\r\n[TEMP3]"), std::string::npos) << file;
    Run([](ProgramSettings& s) { s.channels = ChannelConfig(); });
    EXPECT_EQ(Read(path), std::string(kFirstRunFile).insert(file.find("\nNAME_TEMP2") + 1, "NAME_TEMP2=\r\n"));

    const std::string written =
        "[TEMP1]\r\nCAL_GAIN_TEMP1=0\r\nCAL_OFFSET_TEMP1=-0.3\r\n[TEMP2]\r\nCAL_OFFSET_TEMP2= -0,30 \r\n"
        "CAL_GAIN_TEMP2=1.0020\r\nCAL_DUE_TEMP2=2027-02-28\r\nIN_USE_TEMP2=0\r\n[TEMP3]\r\n"
        "CAL_OFFSET_TEMP3=10.5\r\n[TEMP4]\r\nCAL_DATE_TEMP4=2026-02-29\r\nNAME_TEMP4=" +
        std::string(41, 'x') + "\r\n[TEMP5]\r\nIN_USE_TEMP5=tak\r\nCAL_GAIN_TEMP5=1.0000001\r\n";
    Write(path, written);
    const ChannelConfig read = Run().channels;
    EXPECT_TRUE(read[1].IsIdentity() && read[1].CorrectionRefused() && read[3].CorrectionRefused());
    EXPECT_TRUE(read[2].gain.Value() == 1.002 && read[2].offset.Value() == -0.3 && !read[2].bInUse);
    EXPECT_EQ(read[2].strCalDue, "2027-02-28");
    EXPECT_TRUE(read[4].bRefused[kKeyCalDate] && read[4].strCalDate.empty() && read[4].bRefused[kKeyName]);
    EXPECT_EQ(read.Title(4), "Temperatura 4");
    EXPECT_TRUE(read[5].bInUse && read[5].bRefused[kKeyInUse] && read[5].CorrectionRefused());
    EXPECT_EQ(ComposeRefusedChannelsPiece(read), "B\xB3\xEA"
                                                 "dna korekcja kalibracji: T1, T3, T5. "
                                                 "B\xB3\xEA"
                                                 "dne ustawienia kana\xB3\xF3w: T4, T5. ");
    EXPECT_EQ(ComposeRefusedChannelsPiece(ChannelConfig()), "");
    // Written back in the program's form (a point, the digits as written) or as refused.
    std::string expected = written;
    expected.replace(expected.find(" -0,30 "), 7, "-0.30");
    for (std::size_t at = 0, end; (end = expected.find("\r\n", at)) != std::string::npos; at = end + 2)
        EXPECT_NE(("\n" + Read(path)).find("\n" + expected.substr(at, end + 2 - at)), std::string::npos)
            << expected.substr(at);
}

TEST(AlarmForm, ConfirmedRowsBecomeLimitsAndSwitchedOffRowsHaveNone) {
    AlarmSettings s;
    s.limits[3].bHasHigh = true;
    s.limits[3].dHigh = 30.0;
    AlarmForm form = MakeAlarmForm(s);
    EXPECT_TRUE(form.rows[3].bOn);
    EXPECT_EQ(form.rows[3].strHigh, "30.0");
    EXPECT_EQ(form.rows[3].strLow, "");
    EXPECT_FALSE(form.rows[4].bOn);
    EXPECT_EQ(form.strHysteresis, "0.5");

    form.rows[0] = {true, "-5,5", " "};
    form.rows[4] = {false, "x", "y"};  // off: what is typed does not count
    form.strHysteresis = "1";
    form.bSound = FALSE;
    form.strLogPath = "alarmy.csv";
    AlarmSettings read;
    ASSERT_EQ(ReadAlarmForm(form, &read), "");
    EXPECT_TRUE(read.limits[0].bHasLow);
    EXPECT_DOUBLE_EQ(read.limits[0].dLow, -5.5);
    EXPECT_FALSE(read.limits[0].bHasHigh);
    EXPECT_FALSE(read.limits[4].IsSet());
    EXPECT_TRUE(read.limits[3].bHasHigh);
    EXPECT_DOUBLE_EQ(read.dHysteresis, 1.0);
    EXPECT_FALSE(read.bSound);
    EXPECT_EQ(read.strLogPath, "alarmy.csv");
}

TEST(AlarmForm, RefusalsNameTheChannelAndKeepTheSettings) {
    AlarmSettings kept;
    kept.dHysteresis = 2.0;
    AlarmSettings s = kept;
    AlarmForm form = MakeAlarmForm(kept);
    form.rows[3] = {true, "20", "20"};
    EXPECT_EQ(ReadAlarmForm(form, &s), "Temperatura 3: dolny pr\xF3g musi by\xE6 ni\xBFszy ni\xBF g\xF3rny.");
    form.rows[3] = {true, "25", "20"};
    EXPECT_NE(ReadAlarmForm(form, &s), "");
    form.rows[3] = {true, "20", "30"};
    form.rows[0] = {true, "zimno", ""};
    EXPECT_EQ(ReadAlarmForm(form, &s), "Temperatura: dolny pr\xF3g nie jest liczb\xB9.");
    form.rows[0] = {true, "", "30,5,1"};
    EXPECT_EQ(ReadAlarmForm(form, &s), "Temperatura: g\xF3rny pr\xF3g nie jest liczb\xB9.");
    form.rows[0] = {true, "-0.125", ""};  // refused, never rounded on saving
    EXPECT_EQ(ReadAlarmForm(form, &s),
              "Temperatura: dolny pr\xF3g mo\xBF" "e mie\xE6 najwy\xBF" "ej dwa miejsca po przecinku.");
    form.rows[0] = {true, "", ""};
    form.strHysteresis = "-0.1";
    EXPECT_EQ(ReadAlarmForm(form, &s), "Histereza musi by\xE6 liczb\xB9 nie mniejsz\xB9 od zera.");
    form.strHysteresis = "";
    EXPECT_NE(ReadAlarmForm(form, &s), "");
    EXPECT_DOUBLE_EQ(s.dHysteresis, 2.0);
    EXPECT_FALSE(s.AnyLimit());
}

TEST_F(SettingsTest, DatabaseSectionAppearsOnlyOnceSomethingDiffersAndThenStays) {
    // Defaults leave a first run's file as it has always been.
    Run();
    EXPECT_EQ(Read(path), kFirstRunFile);
    ProgramSettings read = Run();
    EXPECT_FALSE(read.database.bEnabled);
    EXPECT_EQ(read.database.strName, "qm487");
    EXPECT_EQ(read.database.strUrl, "");

    Run([](ProgramSettings& s) {
        s.database.bEnabled = TRUE;
        s.database.strUrl = "https://influx.example.com:8086";
        s.database.strUser = "hala;2";
        s.database.strProtectedSecret = "AQAAANCMnd8BFdERjHoAwE/Cl+s=";
    });
    EXPECT_EQ(Read(path).substr(0, sizeof kFirstRunFile - 1), kFirstRunFile);
    EXPECT_EQ(Read(path).substr(sizeof kFirstRunFile - 1),
              "[DATABASE]\r\nDB_ENABLED=1\r\nDB_URL=https://influx.example.com:8086\r\nDB_NAME=qm487\r\n"
              "DB_USER=hala;2;\r\nDB_SECRET=AQAAANCMnd8BFdERjHoAwE/Cl+s=\r\n");
    read = Run([](ProgramSettings& s) { s.database = DatabaseSettings(); });
    EXPECT_TRUE(read.database.bEnabled);
    EXPECT_EQ(read.database.strUrl, "https://influx.example.com:8086");
    EXPECT_EQ(read.database.strUser, "hala;2");
    EXPECT_EQ(read.database.strProtectedSecret, "AQAAANCMnd8BFdERjHoAwE/Cl+s=");
    // Back to the defaults, the section stays and says so.
    EXPECT_NE(Read(path).find("[DATABASE]\r\nDB_ENABLED=0\r\nDB_URL=\r\nDB_NAME=qm487\r\nDB_USER=\r\nDB_SECRET=\r\n"),
              std::string::npos);
}

TEST_F(SettingsTest, MqttSectionAppearsOnlyOnceSomethingDiffersAndAHandWrittenOneIsRead) {
    Run();
    EXPECT_EQ(Read(path), kFirstRunFile);
    // Discovery switched off is the one difference.
    Run([](ProgramSettings& s) { s.mqtt.bDiscovery = FALSE; });
    EXPECT_EQ(Read(path).substr(sizeof kFirstRunFile - 1),
              "[MQTT]\r\nMQTT_ENABLED=0\r\nMQTT_URL=\r\nMQTT_USER=\r\nMQTT_SECRET=\r\nMQTT_BASE=qm487\r\n"
              "MQTT_DISCOVERY=0\r\nMQTT_DISCOVERY_PREFIX=homeassistant\r\nMQTT_CA_FILE=\r\n");
    Write(path, std::string(kFirstRunFile) +
                    "[MQTT]\r\nMQTT_ENABLED=1\r\nMQTT_URL=mqtts://ha.local\r\nMQTT_BASE=lab/qm\r\n"
                    "MQTT_CA_FILE=C:\\ca.pem\r\n");
    const ProgramSettings read = Run();
    EXPECT_TRUE(read.mqtt.bEnabled);
    EXPECT_EQ(read.mqtt.strUrl, "mqtts://ha.local");
    EXPECT_EQ(read.mqtt.strBase, "lab/qm");
    EXPECT_TRUE(read.mqtt.bDiscovery);
    EXPECT_EQ(read.mqtt.strDiscoveryPrefix, "homeassistant");
    EXPECT_EQ(read.mqtt.strCaFile, "C:\\ca.pem");
}

TEST_F(SettingsTest, NotifySectionIsReadAsWrittenByHandWithBadValuesAsDefaults) {
    Run();
    EXPECT_EQ(Read(path), kFirstRunFile);
    Write(path, std::string(kFirstRunFile) +
                    "[NOTIFY]\r\nNOTIFY_WEBHOOK_URL=https://ntfy.sh/hala2\r\nNOTIFY_WEBHOOK_FORMAT=text\r\n"
                    "NOTIFY_DELAY=-5\r\nNOTIFY_SILENCE=0\r\nNOTIFY_REPEAT=99999999\r\nNOTIFY_SUMMARY=7:30\r\n");
    ProgramSettings read = Run();
    EXPECT_EQ(read.notify.strWebhookUrl, "https://ntfy.sh/hala2");
    EXPECT_EQ(read.notify.strWebhookFormat, "text");
    EXPECT_EQ(read.notify.nDelaySeconds, 0);
    EXPECT_EQ(read.notify.nSilenceMinutes, 0);
    EXPECT_EQ(read.notify.nRepeatMinutes, 15);
    EXPECT_EQ(read.notify.strSummary, "");
    // Saved back as written, not as what the program made of them.
    EXPECT_NE(Read(path).find("NOTIFY_DELAY=-5\r\nNOTIFY_SILENCE=0\r\nNOTIFY_REPEAT=99999999\r\nNOTIFY_SUMMARY=7:30\r\n"),
              std::string::npos);
    const std::pair<const char*, const char*> summaries[] = {
        {"23:59", "23:59"}, {"00:00", "00:00"}, {"24:00", ""}, {"12:60", ""}, {"1230", ""}, {"12:3x", ""}};
    for (const auto& [written, kept] : summaries) {
        Write(path, std::string(kFirstRunFile) + "[NOTIFY]\r\nNOTIFY_SUMMARY=" + written + "\r\n");
        EXPECT_EQ(Run().notify.strSummary, kept) << written;
        EXPECT_NE(Read(path).find(std::string("NOTIFY_SUMMARY=") + written + "\r\n"), std::string::npos) << written;
    }
}

TEST_F(SettingsTest, MinimizedIsWrittenOnlyOnceSetAndThenStays) {
    Run();
    EXPECT_EQ(Read(path), kFirstRunFile);
    EXPECT_FALSE(Run([](ProgramSettings& s) { s.bMinimized = TRUE; }).bMinimized);
    EXPECT_NE(Read(path).find("SHOW_ADV=1\r\nMINIMIZED=1\r\n"), std::string::npos);
    EXPECT_TRUE(Run([](ProgramSettings& s) { s.bMinimized = FALSE; }).bMinimized);
    EXPECT_NE(Read(path).find("SHOW_ADV=1\r\nMINIMIZED=0\r\n"), std::string::npos);
}
