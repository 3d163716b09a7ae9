#include "serial/port_entries.h"

#include <gtest/gtest.h>

TEST(PortEntries, PortNameMustBeComAndANumberFrom1To255) {
    EXPECT_EQ(ParsePortName("COM1"), 1);
    EXPECT_EQ(ParsePortName("COM255"), 255);
    EXPECT_EQ(ParsePortName("COM007"), 7);
    EXPECT_EQ(ParsePortName("COM0"), 0);
    EXPECT_EQ(ParsePortName("COM256"), 0);
    EXPECT_EQ(ParsePortName("COM99999999999999999999"), 0);
    EXPECT_EQ(ParsePortName("COM"), 0);
    EXPECT_EQ(ParsePortName("LPT1"), 0);
    EXPECT_EQ(ParsePortName("com3"), 0);
    EXPECT_EQ(ParsePortName("COM3 "), 0);
    EXPECT_EQ(ParsePortName("COM-3"), 0);
    EXPECT_EQ(ParsePortName("COM+3"), 0);
    EXPECT_EQ(ParsePortName(""), 0);
    EXPECT_EQ(ParsePortName(nullptr), 0);
}

TEST(PortEntries, OnlyATrailingComSuffixIsCut) {
    auto cut = [](std::string s) {
        CutPortSuffix(s);
        return s;
    };
    EXPECT_EQ(cut("USB Serial Port (COM7)"), "USB Serial Port");
    EXPECT_EQ(cut("Port (COM1) (COM12)"), "Port (COM1)");
    EXPECT_EQ(cut("Communications Port"), "Communications Port");
    EXPECT_EQ(cut("Port (COM)"), "Port (COM)");
    EXPECT_EQ(cut("Port (COM7) spare"), "Port (COM7) spare");
    EXPECT_EQ(cut("Port (COM7x)"), "Port (COM7x)");
    EXPECT_EQ(cut(" (COM3)"), "");
}

TEST(PortEntries, ListAndEntriesInAscendingOrderWithDescriptions) {
    PortTable table;
    table[6] = {true, "USB Serial Port (COM7)"};
    table[0] = {true, "Communications Port"};
    table[11].bPresent = true;
    table[20].strDescription = "not present, not listed";
    const std::string list = FormatPortList(table);
    EXPECT_EQ(list, "COM1:Communications Port\nCOM7:USB Serial Port\nCOM12\n");
    EXPECT_EQ(PortEntriesFromList(list),
              (std::vector<std::string>{"COM1 (Communications Port)", "COM7 (USB Serial Port)", "COM12"}));
    // Empty lines are skipped, an unterminated last line is not a port, a
    // description keeps its own colons.
    EXPECT_EQ(PortEntriesFromList("\nCOM2:a:b\nCOM3"), (std::vector<std::string>{"COM2 (a:b)"}));
    EXPECT_TRUE(PortEntriesFromList("").empty());
    EXPECT_EQ(FormatPortList(PortTable()), "");
}

TEST(PortEntries, ThePortInUseIsPreselectedNotOneThatStartsLikeIt) {
    const std::vector<std::string> entries = {"COM1", "COM10", "COM12 (USB Serial Port)"};
    std::vector<std::string> selected;
    for (const std::string& e : entries)
        if (IsEntryForPort(e, 1))
            selected.push_back(e);
    EXPECT_EQ(selected, std::vector<std::string>{"COM1"});
    EXPECT_TRUE(IsEntryForPort("COM12 (USB Serial Port)", 12));
    EXPECT_FALSE(IsEntryForPort("COM12(x)", 12));
    EXPECT_FALSE(IsEntryForPort("COM0", 0));
}

TEST(PortEntries, TheChosenTextGivesItsPortNumber) {
    EXPECT_EQ(ParseChosenPort("COM12 (USB Serial Port)"), 12);
    EXPECT_EQ(ParseChosenPort("   COM3"), 3);
    EXPECT_EQ(ParseChosenPort("COM1"), 1);
    EXPECT_EQ(ParseChosenPort(""), 0);
    EXPECT_EQ(ParseChosenPort("COM"), 0);
    EXPECT_EQ(ParseChosenPort("  CO"), 0);
    EXPECT_EQ(ParseChosenPort("COM0"), 0);
    EXPECT_EQ(ParseChosenPort("COMx"), 0);
}
