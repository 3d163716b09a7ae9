// qm487-dde's parts that need no Windows: its command line, the lines that
// "watch" prints, and which updates are changes worth a line.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ddecli {

extern const char kUsage[];

struct Command {
    enum Kind { kHelp, kGet, kWatch, kError };
    Kind kind = kError;
    std::string topic;  // get
    std::string item;   // get: as given; watch: the item's own spelling
    std::string error;  // kError: what is wrong, for the user
};

// The arguments after the program's name.
Command ParseCommand(const std::vector<std::string>& args);

struct LocalTime {
    int year, month, day, hour, minute, second, millisecond;
};

// "2026-12-08 04:36:21.123<TAB>Temperatura3#4660<TAB>Pomiar<TAB>21.4 °C":
// the text keeps its own bytes (Windows-1250).
std::string WatchLine(const LocalTime& time, const std::string& topic, const std::string& item,
                      const std::string& text);

// Every post of the server reaches a link, changed or not; a line is printed
// only when the text of that topic differs from the last one printed.
class ChangeFilter {
public:
    bool IsChange(const std::string& topic, const std::string& text);
    void Clear() { m_last.clear(); }

private:
    std::map<std::string, std::string> m_last;
};

}  // namespace ddecli
