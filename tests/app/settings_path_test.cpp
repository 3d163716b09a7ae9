// Where the settings live when the program's folder cannot take them.
#include "app/settings_path.h"

#include "app/profile_instance.h"
#include "app/reader_app.h"
#include "framework/file_handle.h"
#include "tests/app/install_record.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

fs::path UserSettings() {
    char appData[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    return fs::path(appData) / "QM487" / "qm487cfg.ini";
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SettingsPath : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("qm487_path_" + std::to_string(GetTickCount64()));
        fs::create_directories(dir);
        std::error_code ec;
        fs::remove(UserSettings(), ec);
    }
    void TearDown() override {
        std::error_code ec;
        SetFileAttributesA((dir / "qm487cfg.ini").string().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(dir, ec);
        fs::remove(UserSettings(), ec);
    }
    std::string Program() const { return (dir / "QM487.exe").string(); }
    fs::path dir;
};

}  // namespace

TEST_F(SettingsPath, AWritableProgramFolderKeepsTheFileBesideTheProgram) {
    EXPECT_EQ(SettingsFilePath(Program()), (dir / "qm487cfg.ini").string());
    std::ofstream(dir / "qm487cfg.ini", std::ios::binary) << "[GENERAL]\r\n";
    EXPECT_EQ(SettingsFilePath(Program()), (dir / "qm487cfg.ini").string());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "no probe file left behind";
}

TEST_F(SettingsPath, AFolderThatCannotBeWrittenMovesThemToTheUsersFolder) {
    const std::string missing = (dir / "no-such-folder" / "QM487.exe").string();
    EXPECT_EQ(fs::path(SettingsFilePath(missing)), UserSettings());
    EXPECT_TRUE(fs::is_directory(UserSettings().parent_path()));
}

TEST_F(SettingsPath, AReadOnlyFileBesideTheProgramSeedsTheUsersCopy) {
    const fs::path beside = dir / "qm487cfg.ini";
    std::ofstream(beside, std::ios::binary) << "[GENERAL]\r\nPORT_NR=4\r\n";
    ASSERT_TRUE(SetFileAttributesA(beside.string().c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE h = CreateFileA(beside.string().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        GTEST_SKIP() << "this system lets a read-only file be written";
    }
    const fs::path user = SettingsFilePath(Program());
    EXPECT_EQ(user, UserSettings());
    EXPECT_EQ(Read(user), "[GENERAL]\r\nPORT_NR=4\r\n");
    EXPECT_FALSE(GetFileAttributesA(user.string().c_str()) & FILE_ATTRIBUTE_READONLY);

    // The user's copy, once there, is kept: it holds the user's changes.
    std::ofstream(user, std::ios::binary) << "[GENERAL]\r\nPORT_NR=7\r\n";
    EXPECT_EQ(Read(SettingsFilePath(Program())), "[GENERAL]\r\nPORT_NR=7\r\n");
}

TEST_F(SettingsPath, TheInstalledCopyUsesTheUsersFolderThoughItsFolderTakesWriting) {
    // However the installer wrote the folder: another case, a trailing backslash.
    std::string recorded = dir.string() + "\\";
    CharUpperBuffA(recorded.data(), static_cast<DWORD>(recorded.size()));
    ScopedInstallRecord record(recorded, "{00000000-0000-0000-0000-000000000487}");
    EXPECT_EQ(fs::path(SettingsFilePath(Program())), UserSettings());
    EXPECT_FALSE(fs::exists(dir / "qm487cfg.ini"));
    EXPECT_TRUE(fs::is_directory(UserSettings().parent_path()));
}

TEST_F(SettingsPath, ACopyOutsideTheInstalledFolderStaysPortable) {
    ScopedInstallRecord record((dir / "installed").string() + "\\", "{00000000-0000-0000-0000-000000000487}");
    EXPECT_EQ(SettingsFilePath(Program()), (dir / "qm487cfg.ini").string());
    // A folder whose name only begins like the installed one is another folder.
    fs::create_directories(dir / "installed2");
    EXPECT_EQ(SettingsFilePath((dir / "installed2" / "QM487.exe").string()), (dir / "installed2" / "qm487cfg.ini").string());
}

// One copy per settings file, however its path is written; the file the
// copy ends up using decides, not the one beside it.
TEST_F(SettingsPath, OneCopyRunsPerSettingsFile) {
    const CProfileInstance first((dir / "qm487cfg-Piec.ini").string());
    EXPECT_TRUE(first.IsFirst());
    std::string other = (dir / "." / "QM487CFG-PIEC.INI").string();
    CharLowerBuffA(other.data(), static_cast<DWORD>(other.size()));
    std::replace(other.begin(), other.end(), '\\', '/');
    EXPECT_FALSE(CProfileInstance(other).IsFirst()) << other;
    EXPECT_TRUE(CProfileInstance((dir / "qm487cfg-Piec 2.ini").string()).IsFirst());

    // A portable copy that came to the user's file holds it; the installed
    // copy, whose file that is too, ends without writing it.
    const CProfileInstance portable(UserSettings().string());
    ScopedInstallRecord record(dir.string(), "{00000000-0000-0000-0000-000000000487}");
    CReaderApp installed;
    installed.m_strProgramPath = Program();
    CHandle thread(CreateThread(
        nullptr, 0, [](LPVOID pv) -> DWORD { return static_cast<CReaderApp*>(pv)->InitInstance(); }, &installed, 0,
        nullptr));
    ASSERT_EQ(WaitForSingleObject(thread.Get(), 30000), WAIT_OBJECT_0);
    EXPECT_FALSE(fs::exists(UserSettings()));
}

TEST(InstalledCopy, TellsTheProductCodeOfTheInstalledFolderOnly) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    EXPECT_FALSE(FindInstalledCopy(exe).bInstalled);
    {
        ScopedInstallRecord record(fs::path(exe).parent_path().string(), "{6C3F0B8E-0000-4000-8000-000000000487}");
        const InstalledCopy copy = FindInstalledCopy(exe);
        EXPECT_TRUE(copy.bInstalled);
        EXPECT_EQ(copy.strProductCode, "{6C3F0B8E-0000-4000-8000-000000000487}");
    }
    EXPECT_FALSE(FindInstalledCopy(exe).bInstalled) << "the record is gone with the uninstall";
}
