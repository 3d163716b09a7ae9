#include "dde_cli.h"

#include <gtest/gtest.h>

using ddecli::Command;
using ddecli::ParseCommand;

TEST(DdeCli, GetTakesATopicAndAnItem) {
    const Command get = ParseCommand({"get", "Temperatura3#4660", "Pomiar"});
    ASSERT_EQ(get.kind, Command::kGet);
    EXPECT_EQ(get.topic, "Temperatura3#4660");
    EXPECT_EQ(get.item, "Pomiar");
    for (auto args : {std::vector<std::string>{"get"}, {"get", "Temperatura3#4660"}, {"get", "a", "b", "c"}}) {
        const Command bad = ParseCommand(args);
        EXPECT_EQ(bad.kind, Command::kError);
        EXPECT_NE(bad.error.find("topic and an item"), std::string::npos) << bad.error;
    }
}

TEST(DdeCli, WatchFollowsPomiarUnlessAnotherItemIsNamed) {
    EXPECT_EQ(ParseCommand({"watch"}).kind, Command::kWatch);
    EXPECT_EQ(ParseCommand({"watch"}).item, "Pomiar");
    EXPECT_EQ(ParseCommand({"watch", "--item", "status"}).item, "Status");  // the server's spelling
    EXPECT_EQ(ParseCommand({"watch", "--item", "Wynik"}).item, "Wynik");
    EXPECT_EQ(ParseCommand({"watch", "--item", "Temp"}).error, "no such item: \"Temp\" (items: Wynik, Pomiar, Status)");
    EXPECT_EQ(ParseCommand({"watch", "--item"}).kind, Command::kError);
    EXPECT_EQ(ParseCommand({"watch", "--count", "3"}).error, "unknown option for watch: \"--count\"");
}

TEST(DdeCli, HelpAndMistakes) {
    EXPECT_EQ(ParseCommand({"--help"}).kind, Command::kHelp);
    EXPECT_EQ(ParseCommand({"watch", "--help"}).kind, Command::kHelp);
    EXPECT_EQ(ParseCommand({}).error, "no command given");
    EXPECT_EQ(ParseCommand({"put", "x"}).error, "unknown command: \"put\"");
    EXPECT_NE(std::string(ddecli::kUsage).find("qm487-dde get TOPIC ITEM"), std::string::npos);
    for (char c : std::string(ddecli::kUsage))
        EXPECT_LT(static_cast<unsigned char>(c), 0x80) << "the usage shows the same on every console";
}

TEST(DdeCli, WatchLinesAreTimeTopicItemTextSeparatedByTabs) {
    const ddecli::LocalTime t = {2026, 3, 7, 9, 5, 4, 21};
    EXPECT_EQ(ddecli::WatchLine(t, "Temperatura3#4660", "Pomiar", "21.4 \xB0" "C"),
              "2026-03-07 09:05:04.021\tTemperatura3#4660\tPomiar\t21.4 \xB0" "C");
}

TEST(DdeCli, OnlyChangesPerTopicMakeALine) {
    ddecli::ChangeFilter changes;
    EXPECT_TRUE(changes.IsChange("Temperatura1#1", "20.0"));
    EXPECT_FALSE(changes.IsChange("Temperatura1#1", "20.0"));
    EXPECT_TRUE(changes.IsChange("Temperatura2#1", "20.0"));
    EXPECT_TRUE(changes.IsChange("Temperatura1#1", "20.1"));
    EXPECT_TRUE(changes.IsChange("Temperatura1#1", "20.0"));
    changes.Clear();
    EXPECT_TRUE(changes.IsChange("Temperatura2#1", "20.0"));
}
