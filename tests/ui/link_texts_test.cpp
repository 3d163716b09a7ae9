#include "ui/link_texts.h"

#include <gtest/gtest.h>

TEST(LinkTexts, ErrorTextsByCodeWithTheUnknownCodeFilledIn) {
    EXPECT_EQ(LinkOpenErrorText(26), "Unable to open hyperlink:\n\nA sharing violation occurred. ");
    EXPECT_EQ(LinkOpenErrorText(4), "Unable to open hyperlink:\n\nUnknown Error (4) occurred.");
    EXPECT_EQ(LinkOpenErrorText(0), "Unable to open hyperlink:\n\nThe operating system is out\nof memory or resources.");
    EXPECT_EQ(LinkOpenErrorText(31),
              "Unable to open hyperlink:\n\nThere is no application associated\nwith the given filename extension.");
    EXPECT_EQ(LinkOpenErrorText(-7), "Unable to open hyperlink:\n\nUnknown Error (-7) occurred.");
}

TEST(LinkTexts, TheTargetTakesThePlaceOfTheFirstPlaceholder) {
    std::string line;
    // Quoted: cut at the opening quote.
    ASSERT_TRUE(BrowserCommandLine("\"C:\\b\\web.exe\" -nohome \"%1\" -x \"%1\"", "http://a/", line));
    EXPECT_EQ(line, "\"C:\\b\\web.exe\" -nohome  http://a/");
    // A quoted one wins over an earlier bare one.
    ASSERT_TRUE(BrowserCommandLine("web.exe %1 \"%1\"", "mailto:x@y", line));
    EXPECT_EQ(line, "web.exe %1  mailto:x@y");
    // Bare only.
    ASSERT_TRUE(BrowserCommandLine("web.exe %1 -x", "mailto:x@y", line));
    EXPECT_EQ(line, "web.exe  mailto:x@y");
    // None: after the whole line.
    ASSERT_TRUE(BrowserCommandLine("web.exe -new", "http://a/", line));
    EXPECT_EQ(line, "web.exe -new http://a/");
}

TEST(LinkTexts, ACommandLongerThanTheBufferIsNotRunCutOff) {
    std::string line = "unchanged";
    EXPECT_FALSE(BrowserCommandLine("web.exe \"%1\"", std::string(600, 'a'), line));
    EXPECT_EQ(line, "unchanged");
    // 519 characters and the terminating zero still fit.
    const std::string target(519 - std::string("web.exe ").size(), 'b');
    ASSERT_TRUE(BrowserCommandLine("web.exe", target, line));
    EXPECT_EQ(line.size(), 519u);
}
