// A Windows command line that CommandLineToArgvW (and the C runtime's
// startup) splits back into exactly the arguments given: quotes, the
// backslashes before a quote or at the end, empty arguments. Bytes other
// than these pass as they are, so UTF-8 stays UTF-8.
#pragma once

#include <string>
#include <vector>

// One argument as the command line carries it.
std::string QuoteArgument(const std::string& arg);
// The program's path (in quotes: no quote can be in a path) and then the
// arguments, space-separated.
std::string BuildCommandLine(const std::string& path, const std::vector<std::string>& args);
