#include "dde_cli.h"

#include "exchange/dde_items.h"

#include <cstdio>

namespace ddecli {

const char kUsage[] = "usage: qm487-dde get TOPIC ITEM\n"
                      "       qm487-dde watch [--item ITEM]\n"
                      "       qm487-dde --help\n"
                      "\n"
                      "Reads the readings that a running QM487 publishes over DDE (service QM487).\n"
                      "Topics are one per channel and carry the instrument's serial number:\n"
                      "Temperatura#N for the mean (channel 0) and Temperatura1#N to Temperatura8#N;\n"
                      "items are Wynik (the value), Pomiar (the value with its unit) and Status\n"
                      "(\"Pomiar OK\", or an error text while the channel has no valid value). The\n"
                      "service exists while the program receives valid lines from the instrument.\n"
                      "\n"
                      "  get TOPIC ITEM  prints the item's text, e.g. qm487-dde get Temperatura3#4660 Pomiar\n"
                      "  watch           finds the instruments of every running copy of the program\n"
                      "                  (one a profile), subscribes to all nine channels of each and\n"
                      "                  prints a line (time, topic, item, text) whenever a channel's\n"
                      "                  text changes, until Ctrl-C; instruments that come later are\n"
                      "                  followed too, and it waits while nothing is published\n"
                      "  --item ITEM     with watch: the item to follow (default Pomiar)\n"
                      "\n"
                      "Texts are written as the program sends them (Windows-1250) when the output\n"
                      "goes to a file or a pipe, and as Unicode text on a console.\n"
                      "Exit status: 0 done; 1 no such service, topic or item; 2 usage error.\n";

Command ParseCommand(const std::vector<std::string>& args) {
    Command cmd;
    if (args.empty()) {
        cmd.error = "no command given";
        return cmd;
    }
    const std::string& verb = args[0];
    if (verb == "--help" || verb == "-h" || verb == "/?" || verb == "help") {
        cmd.kind = Command::kHelp;
        return cmd;
    }
    if (verb == "get") {
        if (args.size() != 3) {
            cmd.error = "get needs a topic and an item, e.g. get Temperatura3#4660 Pomiar";
            return cmd;
        }
        cmd.kind = Command::kGet;
        cmd.topic = args[1];
        cmd.item = args[2];
        return cmd;
    }
    if (verb == "watch") {
        cmd.item = dde::kItemNames[dde::kItemMeasurement];
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--help" || args[i] == "-h") {
                cmd.kind = Command::kHelp;
                return cmd;
            }
            if (args[i] != "--item") {
                cmd.error = "unknown option for watch: \"" + args[i] + "\"";
                return cmd;
            }
            if (i + 1 >= args.size()) {
                cmd.error = "--item needs an item: Wynik, Pomiar or Status";
                return cmd;
            }
            const int item = dde::ItemIndex(args[++i]);
            if (item >= dde::kItems) {
                cmd.error = "no such item: \"" + args[i] + "\" (items: Wynik, Pomiar, Status)";
                return cmd;
            }
            cmd.item = dde::kItemNames[item];
        }
        cmd.kind = Command::kWatch;
        return cmd;
    }
    cmd.error = "unknown command: \"" + verb + "\"";
    return cmd;
}

std::string WatchLine(const LocalTime& t, const std::string& topic, const std::string& item,
                      const std::string& text) {
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond);
    return std::string(stamp) + "\t" + topic + "\t" + item + "\t" + text;
}

bool ChangeFilter::IsChange(const std::string& topic, const std::string& text) {
    auto it = m_last.find(topic);
    if (it != m_last.end() && it->second == text)
        return false;
    m_last[topic] = text;
    return true;
}

}  // namespace ddecli
