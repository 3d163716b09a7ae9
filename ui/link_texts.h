// The texts of a link control that need no Windows: the error box for a
// failed open, and the browser command line of the ".htm" fallback.
#pragma once

#include <string>

// "Unable to open hyperlink:\n\n" and the message for the shell's result code.
std::string LinkOpenErrorText(int nCode);

// The registered browser command line with the target in place of its first
// quoted "%1" (cut at the opening quote), else its first bare %1, else after
// the whole line, joined by a blank. FALSE when the result would not fit the
// 520-character command buffer: the fallback is then not run at all rather
// than with a cut-off address.
bool BrowserCommandLine(const std::string& strRegistered, const std::string& strTarget, std::string& strOut);
