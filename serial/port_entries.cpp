#include "serial/port_entries.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool AllDigits(const char* p, const char* pEnd) {
    if (p == pEnd)
        return false;
    for (; p != pEnd; ++p)
        if (*p < '0' || *p > '9')
            return false;
    return true;
}

}  // namespace

int ParsePortName(const char* pszName) {
    if (pszName == nullptr)
        return 0;
    const size_t nLength = std::strlen(pszName);
    if (nLength < 4 || std::strncmp(pszName, "COM", 3) != 0 || !AllDigits(pszName + 3, pszName + nLength))
        return 0;
    // Overflow gives ULONG_MAX, out of range like any other big number.
    const unsigned long n = std::strtoul(pszName + 3, nullptr, 10);
    return n > 0 && n < 256 ? static_cast<int>(n) : 0;
}

void CutPortSuffix(std::string& strDescription) {
    const size_t nAt = strDescription.rfind(" (COM");
    if (nAt == std::string::npos || strDescription.back() != ')')
        return;
    const char* pDigits = strDescription.c_str() + nAt + 5;
    const char* pClose = strDescription.c_str() + strDescription.size() - 1;
    if (AllDigits(pDigits, pClose))
        strDescription.erase(nAt);
}

std::string FormatPortList(const PortTable& table) {
    std::string strList;
    for (size_t i = 0; i < table.size(); ++i) {
        if (!table[i].bPresent)
            continue;
        strList += "COM" + std::to_string(i + 1);
        if (!table[i].strDescription.empty()) {
            std::string strDescription = table[i].strDescription;
            CutPortSuffix(strDescription);
            strList += ":" + strDescription;
        }
        strList += "\n";
    }
    return strList;
}

std::vector<std::string> PortEntriesFromList(const std::string& strList) {
    std::vector<std::string> entries;
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = strList.find('\n', nStart)) != std::string::npos; nStart = nEnd + 1) {
        if (nEnd == nStart)
            continue;
        std::string strLine = strList.substr(nStart, nEnd - nStart);
        const size_t nColon = strLine.find(':');
        if (nColon != std::string::npos)
            strLine = strLine.substr(0, nColon) + " (" + strLine.substr(nColon + 1) + ")";
        entries.push_back(strLine);
    }
    return entries;
}

bool IsEntryForPort(const std::string& strEntry, int nPort) {
    if (nPort == 0)
        return false;
    const std::string strPort = "COM" + std::to_string(nPort);
    return strEntry == strPort || strEntry.rfind(strPort + " (", 0) == 0;
}

int ParseChosenPort(const std::string& strText) {
    const size_t nFirst = strText.find_first_not_of(' ');
    if (nFirst == std::string::npos || strText.size() - nFirst < 4)
        return 0;
    const int n = std::atoi(strText.c_str() + nFirst + 3);
    return n > 0 ? n : 0;
}
