#include "ui/link_texts.h"

#include <cstdio>

namespace {

const std::size_t kCommandBufferChars = 520;

const char* KnownMessage(int nCode) {
    switch (nCode) {
    case 0: return "The operating system is out\nof memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found.";
    case 5: return "The operating system denied\naccess to the specified file.";
    case 8: return "There was not enough memory to complete the operation.";
    case 11: return "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    case 26: return "A sharing violation occurred. ";
    case 27: return "The filename association is\nincomplete or invalid.";
    case 28: return "The DDE transaction could not\nbe completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30: return "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
    case 31: return "There is no application associated\nwith the given filename extension.";
    case 32: return "The specified dynamic-link library was not found.";
    default: return nullptr;
    }
}

}  // namespace

std::string LinkOpenErrorText(int nCode) {
    std::string strText = "Unable to open hyperlink:\n\n";
    if (const char* pszKnown = KnownMessage(nCode)) {
        strText += pszKnown;
    } else {
        char szUnknown[64];
        std::snprintf(szUnknown, sizeof szUnknown, "Unknown Error (%d) occurred.", nCode);
        strText += szUnknown;
    }
    return strText;
}

bool BrowserCommandLine(const std::string& strRegistered, const std::string& strTarget, std::string& strOut) {
    std::string strLine = strRegistered;
    std::string::size_type nCut = strLine.find("\"%1\"");
    if (nCut == std::string::npos)
        nCut = strLine.find("%1");
    if (nCut != std::string::npos)
        strLine.erase(nCut);
    strLine += ' ';
    strLine += strTarget;
    // The terminating zero needs its place too.
    if (strLine.size() + 1 > kCommandBufferChars)
        return false;
    strOut = strLine;
    return true;
}
