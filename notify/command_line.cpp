#include "notify/command_line.h"

std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    std::size_t nBackslashes = 0;
    for (char ch : arg) {
        if (ch == '\\') {
            ++nBackslashes;
            continue;
        }
        // Backslashes count as such only before a quote: there each one is
        // doubled, and the quote itself escaped.
        out.append(ch == '"' ? 2 * nBackslashes + 1 : nBackslashes, '\\');
        out += ch;
        nBackslashes = 0;
    }
    // Before the closing quote, too.
    out.append(2 * nBackslashes, '\\');
    out += '"';
    return out;
}

std::string BuildCommandLine(const std::string& path, const std::vector<std::string>& args) {
    std::string line = "\"" + path + "\"";
    for (const std::string& arg : args)
        line += " " + QuoteArgument(arg);
    return line;
}
