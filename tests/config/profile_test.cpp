// Profile names and what is derived from them; the default profile keeps
// the names the program always had.
#include "config/profile.h"

#include <gtest/gtest.h>

TEST(Profile, NamesFollowTheRule) {
    for (const char* good : {"A", "Piec 2", "rig-16_b", "0123456789012345678901234567890123456789"})
        EXPECT_TRUE(IsValidProfileName(good)) << good;
    for (const char* bad : {"", " A", "A ", "a/b", "a\\b", "a.b", "a:b", "\"a\"",
                            "\xB3" "\xF3" "d\x9F",
                            "01234567890123456789012345678901234567890", "a\tb"})
        EXPECT_FALSE(IsValidProfileName(bad)) << bad;
}

TEST(Profile, DerivedNames) {
    EXPECT_EQ(ProfileSettingsFileName(""), "qm487cfg.ini");
    EXPECT_EQ(ProfileSettingsFileName("Piec 2"), "qm487cfg-Piec 2.ini");
    EXPECT_EQ(ProfileWindowTitle(""), "QM487");
    EXPECT_EQ(ProfileWindowTitle("Piec 2"), "QM487 \x96 Piec 2");
    EXPECT_EQ(ProfileRunValueName(""), "QM487");
    EXPECT_EQ(ProfileRunValueName("Piec 2"), "QM487 Piec 2");
    EXPECT_EQ(ProfileRunCommand("C:\\QM\\QM487.exe", ""), "\"C:\\QM\\QM487.exe\" /autostart");
    EXPECT_EQ(ProfileRunCommand("C:\\QM\\QM487.exe", "Piec 2"), "\"C:\\QM\\QM487.exe\" /profile \"Piec 2\" /autostart");
    // A second copy's name for the same profile: another folder, another
    // digest; the same folder however its letters are cased, the same.
    const std::string copy = CopyRunValueName("Piec 2", "C:\\Przeno\x9C" "ny\\QM487.exe");
    EXPECT_EQ(copy.size(), std::string("QM487 Piec 2 (12345678)").size());
    EXPECT_EQ(copy.rfind("QM487 Piec 2 (", 0), 0u);
    EXPECT_EQ(copy, CopyRunValueName("Piec 2", "c:\\PRZENO\x8C" "NY\\qm487.EXE"));
    EXPECT_NE(copy, CopyRunValueName("Piec 2", "C:\\Inny\\QM487.exe"));
    EXPECT_EQ(CopyRunValueName("", "C:\\Inny\\QM487.exe").rfind("QM487 (", 0), 0u);
    for (const std::string& mine :
         {std::string("QM487"), std::string("QM487 Piec 2"), copy, CopyRunValueName("", "C:\\Inny\\QM487.exe"),
          CopyRunValueName("0123456789012345678901234567890123456789", "C:\\QM487.exe")})
        EXPECT_TRUE(IsProfileRunValueName(mine)) << mine;
    for (const char* other : {"QM4870", "QM487 ", "QM487 a/b", "OneDrive", "qm487x", "QM487 (1234567)",
                              "QM487 A (1234567G)", "QM487 A (12345678"})
        EXPECT_FALSE(IsProfileRunValueName(other)) << other;
}

TEST(Profile, StartOptions) {
    struct Row {
        std::vector<std::string> args;
        bool bValid;
        const char* pszProfile;
        bool bWithWindows;
    } rows[] = {
        {{}, true, "", false},
        {{"/profile", "Piec 2"}, true, "Piec 2", false},
        {{"--profile", "B", "/autostart"}, true, "B", true},
        {{"/autostart"}, true, "", true},
        {{"/removeautostart"}, true, "", false},
        {{"stray.kvf"}, true, "", false},
        {{"/profile"}, false, "", false},
        {{"/profile", "a/b"}, false, "", false},
    };
    for (const Row& row : rows) {
        const StartOptions o = ParseStartOptions(row.args);
        EXPECT_EQ(o.bValid, row.bValid) << ::testing::PrintToString(row.args);
        EXPECT_EQ(o.strProfile, row.pszProfile);
        EXPECT_EQ(o.bWithWindows, row.bWithWindows);
        EXPECT_EQ(o.bRemoveStartWithWindows, row.args == std::vector<std::string>{"/removeautostart"});
    }
}
