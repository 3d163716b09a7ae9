// Where the settings live when the program's folder cannot take them. The
// folders are named with a letter outside the test's ANSI code page (1252),
// which the narrow calls would turn into "?".
#include "installation/settings_path.h"

#include "app/profile_instance.h"
#include "app/reader_app.h"
#include "framework/handles.h"
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
    wchar_t appData[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    return fs::path(appData) / "QM487" / "qm487cfg.ini";
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SettingsPath : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / (L"qm487_path_" + std::to_wstring(GetTickCount64()) + L"_Pomiary-\x0142");
        fs::create_directories(dir);
        std::error_code ec;
        fs::remove(UserSettings(), ec);
    }
    void TearDown() override {
        std::error_code ec;
        SetFileAttributesW((dir / "qm487cfg.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(dir, ec);
        fs::remove(UserSettings(), ec);
    }
    std::wstring Program() const { return (dir / "QM487.exe").native(); }
    fs::path dir;
};

}  // namespace

TEST_F(SettingsPath, AWritableProgramFolderKeepsTheFileBesideTheProgram) {
    EXPECT_EQ(SettingsFilePath(Program()), (dir / "qm487cfg.ini").native());
    std::ofstream(dir / "qm487cfg.ini", std::ios::binary) << "[GENERAL]\r\n";
    EXPECT_EQ(SettingsFilePath(Program()), (dir / "qm487cfg.ini").native());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "no probe file left behind";

    // Another copy probing the folder at this moment holds its own file.
    HANDLE held = CreateFileW((dir / "qm487cfg.probe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SettingsFilePath(Program()), (dir / "qm487cfg.ini").native());
    CloseHandle(held);
}

TEST_F(SettingsPath, AFolderThatCannotBeWrittenMovesThemToTheUsersFolder) {
    const fs::path missing = dir / "no-such-folder" / "QM487.exe";
    EXPECT_EQ(fs::path(SettingsFilePath(missing.native())), UserSettings());
    EXPECT_TRUE(fs::is_directory(UserSettings().parent_path()));
}

TEST_F(SettingsPath, AReadOnlyFileBesideTheProgramSeedsTheUsersCopy) {
    const fs::path beside = dir / "qm487cfg.ini";
    std::ofstream(beside, std::ios::binary) << "[GENERAL]\r\nPORT_NR=4\r\n";
    ASSERT_TRUE(SetFileAttributesW(beside.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE h = CreateFileW(beside.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        GTEST_SKIP() << "this system lets a read-only file be written";
    }
    const fs::path user = SettingsFilePath(Program());
    EXPECT_EQ(user, UserSettings());
    EXPECT_EQ(Read(user), "[GENERAL]\r\nPORT_NR=4\r\n");
    EXPECT_FALSE(GetFileAttributesW(user.c_str()) & FILE_ATTRIBUTE_READONLY);

    // The user's copy, once there, is kept: it holds the user's changes.
    std::ofstream(user, std::ios::binary) << "[GENERAL]\r\nPORT_NR=7\r\n";
    EXPECT_EQ(Read(SettingsFilePath(Program())), "[GENERAL]\r\nPORT_NR=7\r\n");
}

TEST_F(SettingsPath, TheInstalledCopyUsesTheUsersFolderThoughItsFolderTakesWriting) {
    // However the installer wrote the folder: another case, a trailing backslash.
    std::wstring recorded = dir.native() + L"\\";
    CharUpperBuffW(recorded.data(), static_cast<DWORD>(recorded.size()));
    ScopedInstallRecord record(recorded, "{00000000-0000-0000-0000-000000000487}");
    EXPECT_EQ(fs::path(SettingsFilePath(Program())), UserSettings());
    EXPECT_FALSE(fs::exists(dir / "qm487cfg.ini"));
    EXPECT_TRUE(fs::is_directory(UserSettings().parent_path()));

    // A user whose own folder is named so too.
    const fs::path appData = dir / L"Dane-\x0142";
    fs::create_directories(appData);
    ScopedShellFolder moved(L"AppData", appData.native());
    EXPECT_EQ(fs::path(SettingsFilePath(Program())), appData / "QM487" / "qm487cfg.ini");
    EXPECT_TRUE(fs::is_directory(appData / "QM487"));
}

TEST_F(SettingsPath, ACopyOutsideTheInstalledFolderStaysPortable) {
    ScopedInstallRecord record((dir / "installed").native() + L"\\", "{00000000-0000-0000-0000-000000000487}");
    EXPECT_EQ(SettingsFilePath(Program()), (dir / "qm487cfg.ini").native());
    // A folder whose name only begins like the installed one is another folder.
    fs::create_directories(dir / "installed2");
    EXPECT_EQ(SettingsFilePath((dir / "installed2" / "QM487.exe").native()),
              (dir / "installed2" / "qm487cfg.ini").native());
}

// One copy per settings file, however its path is written; the file the
// copy ends up using decides, not the one beside it.
TEST_F(SettingsPath, OneCopyRunsPerSettingsFile) {
    const CProfileInstance first((dir / "qm487cfg-Piec.ini").wstring());
    EXPECT_TRUE(first.IsFirst());
    std::wstring other = (dir / "." / "QM487CFG-PIEC.INI").wstring();
    CharLowerBuffW(other.data(), static_cast<DWORD>(other.size()));
    std::replace(other.begin(), other.end(), L'\\', L'/');
    EXPECT_FALSE(CProfileInstance(other).IsFirst());
    // The folder's short (8.3) name, as a copy started by it sees its path.
    wchar_t shortDir[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(dir.c_str(), shortDir, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortDir), dir.native());
    EXPECT_FALSE(CProfileInstance(std::wstring(shortDir) + L"\\qm487cfg-Piec.ini").IsFirst());
    EXPECT_FALSE(CProfileInstance(L"\\\\?\\" + (dir / "qm487cfg-Piec.ini").wstring()).IsFirst());
    EXPECT_TRUE(CProfileInstance((dir / "qm487cfg-Piec 2.ini").wstring()).IsFirst());

    // A portable copy that came to the user's file holds it; the installed
    // copy, whose file that is too, ends without writing it.
    const CProfileInstance portable(UserSettings().wstring());
    ScopedInstallRecord record(dir.native(), "{00000000-0000-0000-0000-000000000487}");
    CReaderApp installed;
    installed.m_wstrProgramPath = Program();
    CHandle thread(CreateThread(
        nullptr, 0, [](LPVOID pv) -> DWORD { return static_cast<CReaderApp*>(pv)->InitInstance(); }, &installed, 0,
        nullptr));
    ASSERT_EQ(WaitForSingleObject(thread.Get(), 30000), WAIT_OBJECT_0);
    EXPECT_FALSE(fs::exists(UserSettings()));
}

TEST(InstalledCopy, TellsTheProductCodeOfTheInstalledFolderOnly) {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    EXPECT_FALSE(FindInstalledCopy(exe).bInstalled);
    {
        ScopedInstallRecord record(fs::path(exe).parent_path().native(), "{6C3F0B8E-0000-4000-8000-000000000487}");
        const InstalledCopy copy = FindInstalledCopy(exe);
        EXPECT_TRUE(copy.bInstalled);
        EXPECT_EQ(copy.strProductCode, "{6C3F0B8E-0000-4000-8000-000000000487}");
    }
    EXPECT_FALSE(FindInstalledCopy(exe).bInstalled) << "the record is gone with the uninstall";
}
