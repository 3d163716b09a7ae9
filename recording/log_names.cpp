#include "recording/log_names.h"

#include "config/cp1250.h"

namespace {

const char kHeading[] = "; Nazwy kana\xB3\xF3w pliku binarnego o tej samej nazwie (bez .names)\r\n";
const char kBlanks[] = " \t\r";

std::string Trim(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::string::npos)
        return std::string();
    return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
}

// Every byte beyond ASCII part of a whole UTF-8 character: Windows-1250
// Polish text hardly ever is.
bool IsUtf8(const std::string& text) {
    bool bWide = false;
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t n = Utf8CharLength(text, i);
        if (n == 0)
            return false;
        bWide = true;
        i += n;
    }
    return bWide;
}

}  // namespace

std::string LogNamesPath(const std::string& strLogPath) { return strLogPath + kLogNamesSuffix; }

std::string FormatLogNames(const ChannelConfig& config) {
    std::string text;
    for (int k = 1; k <= 8; ++k) {
        const std::string name = Trim(config[k].strName);
        if (!name.empty())
            text += "T" + std::to_string(k) + "=" + name + "\r\n";
    }
    return text.empty() ? text : kHeading + text;
}

LogNames ParseLogNames(const std::string& strText) {
    std::string text = strText;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    if (IsUtf8(text))
        text = Utf8ToCp1250(text);
    LogNames names;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t eq = line.find('=');
        const std::string key = Trim(line.substr(0, eq == std::string::npos ? 0 : eq));
        if (key.size() != 2 || (key[0] != 'T' && key[0] != 't') || key[1] < '1' || key[1] > '8')
            continue;
        std::string name = line.substr(eq + 1);
        // Someone else's file: a control character (a lone CR, ESC) would
        // split a CSV row or steer the terminal the tool writes to.
        for (char& c : name)
            if ((c >= 0 && c < ' ') || c == 0x7F)
                c = ' ';
        names.strName[key[1] - '0'] = Trim(name).substr(0, ChannelSettings::kMaxName);
    }
    return names;
}

std::string LogChannelLabel(const LogNames& names, int nChannel) {
    if (nChannel < 0 || nChannel > 8)
        return "?";
    if (!names.strName[nChannel].empty())
        return names.strName[nChannel];
    return nChannel == 0 ? "T" : "T" + std::to_string(nChannel);
}
