// The alarms without a window: the sound and its timer, the acknowledgement,
// and the alarm log's path and last try at exit, seen through the host.
#include "alarms/alarm_monitor.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

int g_nSounds = 0;
void CountSound() { ++g_nSounds; }

struct Host : CAlarmMonitor::Host {
    UINT_PTR SetTimer(UINT_PTR id, UINT) override {
        bTimer = true;
        return id;
    }
    void KillTimer(UINT_PTR) override { bTimer = false; }
    void ShowAlarmMark(int, int) override {}
    void OfferAcknowledgement(BOOL bOffer) override { bOffered = bOffer != FALSE; }
    void NoticeLogFailure() override { ++nNotices; }
    bool bTimer = false;
    bool bOffered = false;
    int nNotices = 0;
};

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class AlarmMonitor : public ::testing::Test {
protected:
    AlarmMonitor() {
        g_nSounds = 0;
        alarms.m_pfnSound = &CountSound;
        settings.limits[3].bHasHigh = true;
        settings.limits[3].dHigh = 30.0;
        alarms.TakeSettings(settings);
    }
    void TearDown() override {
        std::error_code ec;
        SetCurrentDirectoryW(home.c_str());
        fs::remove_all(dir, ec);
    }
    void Reading(double value) {
        channels.StoreValue(3, value, FALSE);
        alarms.Judge(3);
    }
    void WithSound(BOOL bSound) {
        settings.bSound = bSound;
        alarms.ChangeSettings(settings);
    }

    Host host;
    CChannelSet channels;
    CAlarmMonitor alarms{host, channels};
    AlarmSettings settings;
    const fs::path home = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("qm487_alarms_" + std::to_string(GetTickCount64()));
};

}  // namespace

TEST_F(AlarmMonitor, TheSoundRepeatsUntilAcknowledgedAndComesBackWhenSwitchedOnAgain) {
    Reading(30.4);
    EXPECT_EQ(g_nSounds, 1);
    EXPECT_TRUE(host.bTimer && host.bOffered);
    alarms.OnSoundTick();
    EXPECT_EQ(g_nSounds, 2);

    WithSound(FALSE);
    EXPECT_FALSE(host.bTimer);
    alarms.OnSoundTick();
    EXPECT_EQ(g_nSounds, 2);
    EXPECT_TRUE(host.bOffered) << "a silent alarm is still acknowledged";
    WithSound(TRUE);
    EXPECT_EQ(g_nSounds, 3) << "switched on while the alarm waits for someone";
    EXPECT_TRUE(host.bTimer);

    alarms.Acknowledge();
    EXPECT_FALSE(host.bTimer || host.bOffered);
    WithSound(FALSE);
    WithSound(TRUE);
    EXPECT_EQ(g_nSounds, 3) << "acknowledged: switching on calls nobody";
    Reading(29.0);
    Reading(31.0);
    EXPECT_EQ(g_nSounds, 4);
    Reading(29.0);
    EXPECT_FALSE(host.bTimer || host.bOffered) << "nothing left to call anyone to";
}

// The log's folder is resolved at the first try; one made later in another
// current folder does not take the lines, and what never went in is told at exit.
TEST_F(AlarmMonitor, TheLogStaysWhereItWasFirstMeantAndTellsWhatItLostAtExit) {
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b" / "log");
    SetCurrentDirectoryW((dir / "a").c_str());
    settings.strLogPath = "log\\alarmy.csv";
    alarms.TakeSettings(settings);
    Reading(30.4);
    EXPECT_EQ(host.nNotices, 1);
    SetCurrentDirectoryW((dir / "b").c_str());
    Reading(29.0);
    EXPECT_FALSE(fs::exists(dir / "b" / "log" / "alarmy.csv"));
    EXPECT_EQ(host.nNotices, 1) << "told once";
    EXPECT_EQ(alarms.Close(), "Nie wszystkie zdarzenia zapisano do dziennika alarm\xF3w log\\alarmy.csv.");

    // Tried once more at exit: the folder is there now.
    fs::create_directories(dir / "a" / "log");
    EXPECT_EQ(alarms.Close(), "");
    EXPECT_NE(Read(dir / "a" / "log" / "alarmy.csv").find(";T3;koniec;29.0;30.0\r\n"), std::string::npos);
    EXPECT_EQ(alarms.Close(), "") << "nothing waits";
}

// The log's name is made absolute by the one helper the recording files use
// too, so a name means the same file to both.
TEST_F(AlarmMonitor, TheLogLandsWhereTheRecordingFilesHelperPutsIt) {
    fs::create_directories(dir / "a");
    SetCurrentDirectoryW((dir / "a").c_str());
    const std::string drive = dir.root_name().string();
    for (const std::string& name : {std::string("alarmy.csv"), std::string("..\\a\\.\\alarmy2.csv"), drive + "alarmy3.csv"}) {
        const fs::path expected = AbsoluteFilePath(fs::path(name).wstring());
        settings.strLogPath = name;
        alarms.TakeSettings(settings);
        Reading(30.4);
        Reading(29.0);
        EXPECT_EQ(alarms.Close(), "") << name;
        EXPECT_EQ(expected.parent_path(), dir / "a") << name;
        EXPECT_NE(Read(expected).find(";T3;koniec;29.0;30.0\r\n"), std::string::npos) << name;
    }
}

// An input switched off while in alarm: the alarm ends at once, logged as
// ends are under the channel's name, and its readings raise none after.
TEST_F(AlarmMonitor, AChannelSwitchedOffLosesItsAlarmAndRaisesNoMore) {
    fs::create_directories(dir);
    settings.strLogPath = (dir / "alarmy.csv").string();
    alarms.TakeSettings(settings);
    ChannelConfig config;
    config[3].strName = "Zamra\xBF" "arka 1";
    channels.SetConfig(config);
    Reading(30.4);
    config[3].bInUse = false;
    channels.SetConfig(config);
    alarms.OnChannelConfigChanged();
    EXPECT_FALSE(alarms.IsAnyActive() || host.bTimer || host.bOffered);
    Reading(31.0);
    const std::string log = Read(dir / "alarmy.csv");
    EXPECT_NE(log.find("arka 1;g\xF3rny;30.4;30.0\r\n2026"), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.size() - 31), "Zamra\xBF" "arka 1;koniec;30.4;30.0\r\n") << log;
}
