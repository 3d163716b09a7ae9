#include "config/settings.h"
#include "tests/config/first_run_ini.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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
        EXPECT_TRUE(ini.Load(path, TRUE, TRUE, TRUE, FALSE));
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
        EXPECT_EQ(a.bRecord[i], b.bRecord[i]);
    }
    EXPECT_EQ(a.nPortNumber, b.nPortNumber);
    EXPECT_EQ(a.nWindowLeft, b.nWindowLeft);
    EXPECT_EQ(a.nWindowTop, b.nWindowTop);
    EXPECT_EQ(a.nWindowRight, b.nWindowRight);
    EXPECT_EQ(a.nWindowBottom, b.nWindowBottom);
    EXPECT_EQ(a.bTopmost, b.bTopmost);
    EXPECT_EQ(a.bShowPromotion, b.bShowPromotion);
    EXPECT_EQ(a.strReportPath, b.strReportPath);
    EXPECT_EQ(a.strBinaryPath, b.strBinaryPath);
    EXPECT_EQ(a.bLogReport, b.bLogReport);
    EXPECT_EQ(a.bLogBinary, b.bLogBinary);
    EXPECT_EQ(a.nSeparator, b.nSeparator);
    EXPECT_EQ(a.nInterval, b.nInterval);
    EXPECT_EQ(a.bAddComment, b.bAddComment);
    EXPECT_EQ(a.bAddSerial, b.bAddSerial);
}

TEST_F(SettingsTest, FirstRunTakesKeyDefaultsAndWritesTheFullFile) {
    const ProgramSettings read = Run();
    EXPECT_EQ(Read(path), kFirstRunFile);

    // The key defaults are the constructor's but for the window and interval.
    ProgramSettings expected = ConstructorSettings();
    EXPECT_EQ(expected.nWindowRight - expected.nWindowLeft, 480);
    EXPECT_EQ(expected.nWindowBottom - expected.nWindowTop, 472);
    EXPECT_EQ(expected.nInterval, 1);
    expected.nWindowLeft = 100;
    expected.nWindowTop = 100;
    expected.nWindowRight = 700;
    expected.nWindowBottom = 500;
    expected.nInterval = 60;
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
        s.bRecord[i] = i % 2;
    }
    s.fields[3].strFontName = "a;b";
    s.nPortNumber = 7;
    s.nWindowLeft = -3;
    s.nWindowTop = 11;
    s.nWindowRight = 1300;
    s.nWindowBottom = 900;
    s.bTopmost = TRUE;
    s.bShowPromotion = FALSE;
    s.strReportPath = "C:\\pomiary;2024\\raport.txt";
    s.strBinaryPath = "D:\\log.kvf";
    s.bLogReport = TRUE;
    s.bLogBinary = 5;  // flags are kept as held
    s.nSeparator = 2;
    s.nInterval = 86399;
    s.bAddComment = TRUE;
    s.bAddSerial = TRUE;

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
    EXPECT_EQ(read.fields[0].crBackground, 0xFFFFFFFFu);
    EXPECT_EQ(read.fields[1].nFontItalic, 1);  // the low eight bits
    EXPECT_EQ(read.fields[1].crText, 0u);
    EXPECT_EQ(read.fields[8].nFontItalic, 255);
    EXPECT_EQ(read.nPortNumber, 0);
    EXPECT_FALSE(read.bShowPromotion);
    EXPECT_EQ(read.nInterval, 90);
    EXPECT_EQ(read.strReportPath, "C:\\a");  // cut at the ";" as a comment
    EXPECT_FALSE(read.bRecord[3]);
    EXPECT_TRUE(read.bRecord[4]);

    const std::string text = Read(path);
    EXPECT_NE(text.find("FONT_ITALIC_TEMP1=255\r\n"), std::string::npos);
    EXPECT_NE(text.find("FONT_NAME_TEMP1=" + std::string(31, 'F') + "\r\n"), std::string::npos);
    EXPECT_NE(text.find("FONT_ITALIC_TEMP2=1\r\n"), std::string::npos);
    EXPECT_NE(text.find("BACKGROUND_TEMP1=4294967295\r\n"), std::string::npos);
    // The value read is the value set, so the old line stays as it was.
    EXPECT_NE(text.find("FILE_NAME=C:\\a;b\\r.txt\r\n"), std::string::npos);
    EXPECT_NE(text.find("FILE_INTERVAL=90\r\n"), std::string::npos);
}

}  // namespace

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
