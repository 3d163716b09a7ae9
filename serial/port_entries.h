// Texts of the port list: which registry port names count, how the scan's
// list becomes the dialog's entries, which entry is the port in use, and
// which port number the user's choice means. No Windows needed.
#pragma once

#include <array>
#include <string>
#include <vector>

// One slot per port number, COM1 to COM256 (slot n - 1 for COMn).
struct PortSlot {
    bool bPresent = false;
    std::string strDescription;  // empty: none known
};
using PortTable = std::array<PortSlot, 256>;

// A device's "PortName" value: "COM" and a decimal number 1 to 255 with
// nothing after it. Returns the number, or 0 when it names no COM port.
int ParsePortName(const char* pszName);

// Cuts a trailing " (COMn)" from a device description: the list shows the
// port number already.
void CutPortSuffix(std::string& strDescription);

// The port list text: "COMn:description\n" or "COMn\n" per present port,
// in ascending number; descriptions lose their " (COMn)" suffix.
std::string FormatPortList(const PortTable& table);

// The dialog's entries from a port list text: "COMn" or "COMn (description)".
std::vector<std::string> PortEntriesFromList(const std::string& strList);

// TRUE when the entry is COMn's: "COMn" alone or followed by " (".
bool IsEntryForPort(const std::string& strEntry, int nPort);

// The port number the chosen entry text stands for, or 0 when it stands for
// none (empty, too short, no number above 0 after "COM").
int ParseChosenPort(const std::string& strText);
