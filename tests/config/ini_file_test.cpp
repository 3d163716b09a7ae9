#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    fs::path dir;
    std::string path;

    void SetUp() override {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir = fs::temp_directory_path() /
              ("qm487_ini_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
               "_" + std::to_string(stamp));
        fs::create_directories(dir);
        path = (dir / "cfg.ini").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }
    static void Write(const std::string& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    static std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(IniFileTest, LooksUpByTheLineRules) {
    // Mixed line ends, no line end at the very end; Polish names in cp1250.
    Write(path, "top=1\r\n[GENERAL]\r\nPORT_NR=3\r\n key = v \r\nDUP=a\nDUP=b\n"
                "name=Arial ;font\r\npath=a;b;c\r\n[\xA3\xD3" "D\x8F]\r\n\xAF\xF3\xB3w=1\r\n"
                "[GENERAL]\r\nX=9");
    CIniFile ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_EQ(ini.GetString("", "top", ""), "1");
    EXPECT_EQ(ini.GetInt("general", "port_nr", 0), 3);
    EXPECT_EQ(ini.GetString("GENERAL", "key", "none"), "none");
    EXPECT_EQ(ini.GetString("GENERAL", " key ", ""), " v ");
    EXPECT_EQ(ini.GetString("GENERAL", "DUP", ""), "b");
    EXPECT_EQ(ini.GetString("GENERAL", "name", ""), "Arial ");
    EXPECT_EQ(ini.GetString("GENERAL", "path", ""), "a;b");
    EXPECT_EQ(ini.GetInt("\xB3\xF3" "d\x9F", "\xBF\xF3\xB3W", 0), 1);
    EXPECT_EQ(ini.GetInt("GENERAL", "X", -1), -1);  // the first GENERAL wins

    ASSERT_TRUE(ini.Load(path, IniLoadOptions().CaseSensitive()));
    EXPECT_EQ(ini.GetInt("general", "PORT_NR", -1), -1);
    EXPECT_EQ(ini.GetInt("GENERAL", "PORT_NR", -1), 3);
}

TEST_F(IniFileTest, RewriteKeepsEveryLineAndWritesCrlf) {
    Write(path, "; note\n\nfirst=1\n[A]\nk = v\nDUP=a\nDUP=b\n=\n[]\n[EMPTY]\n[B]\nx=1");
    {
        CIniFile ini;
        ASSERT_TRUE(ini.Load(path, IniLoadOptions().SaveOnDestroy()));
        ini.SetString("A", "DUP", "c");
        ini.SetString("b", "new", "n");
        ini.SetString("C", "y", "2");
    }
    EXPECT_EQ(Read(path), "; note\r\n\r\nfirst=1\r\n[A]\r\nk = v\r\nDUP=a\r\nDUP=c\r\n=\r\n[]\r\n"
                          "[EMPTY]\r\n[B]\r\nx=1\r\nnew=n\r\n[C]\r\ny=2\r\n");
    EXPECT_FALSE(fs::exists(path + ".tmp"));
}

TEST_F(IniFileTest, SettingWhatWasReadDoesNotRewrite) {
    const std::string original = "[A]\nk=Value\nc=x ;comment\nold=C:\\a;b\\r.txt\n";
    Write(path, original);
    {
        CIniFile ini;
        ASSERT_TRUE(ini.Load(path, IniLoadOptions().SaveOnDestroy()));
        ini.SetString("a", "K", "Value");
        ini.SetString("A", "c", "x ");
        ini.SetString("A", "old", ini.GetString("A", "old", ""));
        ini.SetString("A", "k", "VALUE");  // case alone is no change
        EXPECT_EQ(ini.GetString("A", "k", ""), "VALUE");
        EXPECT_FALSE(ini.IsModified());
    }
    EXPECT_EQ(Read(path), original);

    {
        // Case-sensitive, the case change is a change; the other lines,
        // comment and old-style path included, come back as they were.
        CIniFile ini;
        ASSERT_TRUE(ini.Load(path, IniLoadOptions().SaveOnDestroy().CaseSensitive()));
        ini.SetString("A", "c", "x ");
        ini.SetString("A", "old", "C:\\a");
        ini.SetString("A", "k", "VALUE");
        EXPECT_TRUE(ini.IsModified());
    }
    EXPECT_EQ(Read(path), "[A]\r\nk=VALUE\r\nc=x ;comment\r\nold=C:\\a;b\\r.txt\r\n");
}

TEST_F(IniFileTest, ValuesWithSemicolonsRoundTrip) {
    const std::string report = "C:\\a;b\\raport.txt";
    {
        CIniFile ini;
        ASSERT_TRUE(ini.Load(path, IniLoadOptions().SaveOnDestroy().CreateIfMissing()));
        ini.SetString("LOG", "FILE_NAME", report);
        ini.SetString("LOG", "END", "x;");
        EXPECT_EQ(ini.GetString("LOG", "FILE_NAME", ""), report);
        EXPECT_EQ(ini.GetString("LOG", "END", ""), "x;");
    }
    EXPECT_EQ(Read(path), "[LOG]\r\nFILE_NAME=" + report + ";\r\nEND=x;;\r\n");

    CIniFile ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_EQ(ini.GetString("LOG", "FILE_NAME", ""), report);
    EXPECT_EQ(ini.GetString("LOG", "END", ""), "x;");
    ini.SetString("LOG", "FILE_NAME", report);
    EXPECT_FALSE(ini.IsModified());
}

TEST_F(IniFileTest, NumbersConvertLikeTheCRuntimeWithoutOverflow) {
    EXPECT_EQ(CIniFile::ParseInt(" \t-12abc"), -12);
    EXPECT_EQ(CIniFile::ParseInt("+7"), 7);
    EXPECT_EQ(CIniFile::ParseInt("x1"), 0);
    EXPECT_EQ(CIniFile::ParseInt("- 1"), 0);
    EXPECT_EQ(CIniFile::ParseInt("2147483648"), INT_MAX);
    EXPECT_EQ(CIniFile::ParseInt("-2147483648"), INT_MIN);
    EXPECT_EQ(CIniFile::ParseInt("-99999999999999999999999"), INT_MIN);
    EXPECT_EQ(CIniFile::ParseUInt("4294967295"), 4294967295u);
    EXPECT_EQ(CIniFile::ParseUInt("99999999999"), 4294967295u);
    EXPECT_EQ(CIniFile::ParseUInt("-1"), 4294967295u);

    CIniFile ini;
    ini.SetInt("S", "n", INT_MIN);
    ini.SetUInt("S", "c", 4294967295u);
    EXPECT_EQ(ini.GetString("S", "n", ""), "-2147483648");
    EXPECT_EQ(ini.GetUInt("S", "c", 0), 4294967295u);
    EXPECT_EQ(ini.GetInt("S", "missing", -7), -7);
    EXPECT_EQ(ini.GetUInt("S", "missing", 15265791u), 15265791u);
}

TEST_F(IniFileTest, FailedOrRefusedSaveLeavesTheFile) {
    const std::string original = "[A]\r\nk=1\r\n";
    Write(path, original);
    fs::create_directory(path + ".tmp");  // the temporary file cannot be made
    CIniFile ini;
    ASSERT_TRUE(ini.Load(path));
    ini.SetInt("A", "k", 2);
    EXPECT_EQ(ini.Save(FALSE), "");
    EXPECT_EQ(Read(path), original);
    EXPECT_TRUE(ini.IsModified());

    fs::remove(path + ".tmp");
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    CIniFile readOnly;
    ASSERT_TRUE(readOnly.Load(path, IniLoadOptions().SaveOnDestroy()));
    EXPECT_EQ(readOnly.GetInt("A", "k", 0), 1);
    readOnly.SetInt("A", "k", 3);
    EXPECT_EQ(readOnly.Save(FALSE), "");
    EXPECT_EQ(Read(path), original);
}

#ifdef _WIN32
// A reader holding the file (no delete sharing, as the C runtime opens it)
// delays the replacement; the save waits for it instead of failing, and a
// reader that never lets go makes it fail cleanly.
TEST_F(IniFileTest, SaveWaitsForAReaderToLetGo) {
    Write(path, "[A]\r\nk=1\r\n");
    CIniFile ini;
    ASSERT_TRUE(ini.Load(path));
    ini.SetInt("A", "k", 2);
    std::FILE* pReader = std::fopen(path.c_str(), "rb");
    ASSERT_NE(pReader, nullptr);
    // Let go once the save has written its temporary file.
    std::thread release([&] {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!fs::exists(path + ".tmp") && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::yield();
        std::fclose(pReader);
    });
    ini.Save(FALSE);
    release.join();
    EXPECT_FALSE(ini.IsModified());
    EXPECT_EQ(Read(path), "[A]\r\nk=2\r\n");

    pReader = std::fopen(path.c_str(), "rb");
    ini.SetInt("A", "k", 3);
    ini.Save(FALSE);
    std::fclose(pReader);
    EXPECT_TRUE(ini.IsModified());
    EXPECT_EQ(Read(path), "[A]\r\nk=2\r\n");
    EXPECT_FALSE(fs::exists(path + ".tmp"));
}

// A folder named with a letter outside the ANSI code page (a Polish user
// name on a Western Windows): the file is read, replaced and backed up there.
TEST_F(IniFileTest, WorksInAFolderNamedBeyondTheCodePage) {
    const fs::path file = dir / L"Pomiary-\x0142" / "cfg.ini";
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "[A]\r\nk=1\r\n";
    CIniFile ini;
    ASSERT_TRUE(ini.Load(file, IniLoadOptions().MakeBackup()));
    EXPECT_EQ(ini.GetInt("A", "k", 0), 1);
    ini.SetInt("A", "k", 2);
    EXPECT_EQ(ini.Save(TRUE), fs::path(file.native() + L".001"));
    EXPECT_EQ(Read(file.native() + L".001"), "[A]\r\nk=1\r\n");
    EXPECT_EQ(Read(file), "[A]\r\nk=2\r\n");
}
#endif

TEST_F(IniFileTest, OpenUsesTheProgramsDirectory) {
#ifdef _WIN32
    const std::string program = dir.string() + "\\qm487.exe";
#else
    const std::string program = dir.string() + "/qm487";
#endif
    {
        CIniFile ini;
        EXPECT_FALSE(ini.Open(program, "cfg.ini", IniLoadOptions().SaveOnDestroy()));
        ini.SetInt("A", "k", 1);  // no file: nothing to write at the end
    }
    EXPECT_FALSE(fs::exists(path));

    CIniFile ini;
    ASSERT_TRUE(ini.Open(program, "cfg.ini", IniLoadOptions().SaveOnDestroy().CreateIfMissing()));
    EXPECT_EQ(ini.GetFilePath(), path);
    EXPECT_EQ(Read(path), "");
    EXPECT_EQ(CIniFile::ProgramDirectory("qm487.exe"), fs::current_path().string());

    // Loading another file writes the first.
    ini.SetInt("A", "k", 5);
    ASSERT_TRUE(ini.Load((dir / "other.ini").string(), IniLoadOptions().CreateIfMissing()));
    EXPECT_EQ(Read(path), "[A]\r\nk=5\r\n");
}

TEST_F(IniFileTest, BackupsAreNumberedAndNeverOverwritten) {
    Write(path, "k=1\r\n");
    {
        CIniFile ini;
        ASSERT_TRUE(ini.Load(path, IniLoadOptions().SaveOnDestroy().MakeBackup()));
        ini.SetInt("", "k", 2);
    }
    EXPECT_EQ(Read(path + ".001"), "k=1\r\n");

    Write(path + ".041", "");
    CIniFile ini;
    ASSERT_TRUE(ini.Load(path, IniLoadOptions().SaveOnDestroy().MakeBackup()));
    ini.SetInt("", "k", 3);
    EXPECT_EQ(ini.Save(TRUE), path + ".042");
    EXPECT_EQ(Read(path + ".042"), "k=2\r\n");
    EXPECT_EQ(ini.Save(TRUE), "");  // nothing new: the backup stays
    EXPECT_EQ(Read(path + ".042"), "k=2\r\n");
    EXPECT_EQ(Read(path), "k=3\r\n");
}

}  // namespace
