#include "serial/port_scan.h"

#include "framework/handles.h"
#include "framework/system_library.h"

#include <cstdio>
#include <new>

namespace {

// SetupAPI's types as far as the enumeration needs them; setupapi.dll is
// loaded at run time, so neither its header nor its import library is used.
using HDEVINFO_ = void*;
struct SpDevInfoData {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};
const DWORD kDigcfPresent = 0x00000002;
const DWORD kDicsFlagGlobal = 0x00000001;
const DWORD kDiregDev = 0x00000001;
const DWORD kSpdrpDeviceDesc = 0x00000000;

using ClassGuidsFromNameA = BOOL(WINAPI*)(PCSTR, GUID*, DWORD, DWORD*);
using GetClassDevsA = HDEVINFO_(WINAPI*)(const GUID*, PCSTR, HWND, DWORD);
using EnumDeviceInfo = BOOL(WINAPI*)(HDEVINFO_, DWORD, SpDevInfoData*);
using OpenDevRegKey = HKEY(WINAPI*)(HDEVINFO_, SpDevInfoData*, DWORD, DWORD, DWORD, REGSAM);
using GetDeviceRegistryPropertyA = BOOL(WINAPI*)(HDEVINFO_, SpDevInfoData*, DWORD, DWORD*, BYTE*, DWORD, DWORD*);
using DestroyDeviceInfoList = BOOL(WINAPI*)(HDEVINFO_);

// Frees the library however the enumeration ends.
class CLibrary {
public:
    explicit CLibrary(const wchar_t* pszName) : m_module(LoadSystemLibrary(pszName)) {}
    HMODULE Get() const { return m_module.Get(); }
    template <class F>
    bool Find(const char* pszName, F& pfn) const {
        pfn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m_module.Get(), pszName)));
        return pfn != nullptr;
    }

private:
    CModule m_module;
};

// The port a device's hardware key names, or 0.
int PortOfKey(HKEY hKey) {
    char szName[256] = {};
    DWORD dwType = 0;
    DWORD cbName = sizeof szName - 1;  // room for a terminator the value may lack
    if (RegQueryValueExA(hKey, "PortName", nullptr, &dwType, reinterpret_cast<BYTE*>(szName), &cbName) !=
            ERROR_SUCCESS ||
        dwType != REG_SZ)
        return 0;
    return ParsePortName(szName);
}

}  // namespace

bool EnumeratePorts(PortTable& table) {
    CLibrary setupapi(L"setupapi.dll");
    if (setupapi.Get() == nullptr)
        return false;
    ClassGuidsFromNameA pfnClassGuidsFromName = nullptr;
    GetClassDevsA pfnGetClassDevs = nullptr;
    EnumDeviceInfo pfnEnumDeviceInfo = nullptr;
    OpenDevRegKey pfnOpenDevRegKey = nullptr;
    GetDeviceRegistryPropertyA pfnGetProperty = nullptr;
    DestroyDeviceInfoList pfnDestroy = nullptr;
    if (!setupapi.Find("SetupDiClassGuidsFromNameA", pfnClassGuidsFromName) ||
        !setupapi.Find("SetupDiGetClassDevsA", pfnGetClassDevs) ||
        !setupapi.Find("SetupDiEnumDeviceInfo", pfnEnumDeviceInfo) ||
        !setupapi.Find("SetupDiOpenDevRegKey", pfnOpenDevRegKey) ||
        !setupapi.Find("SetupDiGetDeviceRegistryPropertyA", pfnGetProperty) ||
        !setupapi.Find("SetupDiDestroyDeviceInfoList", pfnDestroy))
        return false;

    DWORD nGuids = 0;
    pfnClassGuidsFromName("Ports", nullptr, 0, &nGuids);
    if (nGuids == 0)
        return false;
    GUID* pGuids = new (std::nothrow) GUID[nGuids];
    if (pGuids == nullptr)
        return false;
    if (!pfnClassGuidsFromName("Ports", pGuids, nGuids, &nGuids)) {
        delete[] pGuids;
        return false;
    }
    HDEVINFO_ hDevInfo = pfnGetClassDevs(&pGuids[0], nullptr, nullptr, kDigcfPresent);
    delete[] pGuids;
    if (hDevInfo == INVALID_HANDLE_VALUE)
        return false;

    SpDevInfoData device = {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; pfnEnumDeviceInfo(hDevInfo, i, &device); ++i) {
        HKEY hKey = pfnOpenDevRegKey(hDevInfo, &device, kDicsFlagGlobal, 0, kDiregDev, KEY_QUERY_VALUE);
        if (hKey == INVALID_HANDLE_VALUE)
            continue;
        const CRegKey key(hKey);
        if (!key.IsValid())
            continue;
        const int nPort = PortOfKey(key.Get());
        if (nPort == 0)
            continue;
        PortSlot& slot = table[static_cast<size_t>(nPort - 1)];
        slot.bPresent = true;
        char szDescription[256] = {};
        if (pfnGetProperty(hDevInfo, &device, kSpdrpDeviceDesc, nullptr, reinterpret_cast<BYTE*>(szDescription),
                           sizeof szDescription - 1, nullptr) &&
            szDescription[0] != '\0') {
            try {
                slot.strDescription = szDescription;
            } catch (const std::bad_alloc&) {
                slot.strDescription.clear();  // present without a description
            }
        }
    }
    pfnDestroy(hDevInfo);
    return true;
}

void ProbePorts(PortTable& table, bool bProbeAll, const std::atomic<bool>* pCancel) {
    // GetDefaultCommConfigA loads and frees the port provider for every call
    // (under Wine that is most of the probe's time); held here, it stays.
    CLibrary provider(L"serialui.dll");
    for (unsigned n = 1; n <= table.size(); ++n) {
        if (pCancel != nullptr && *pCancel)
            return;
        PortSlot& slot = table[n - 1];
        if (!bProbeAll && slot.bPresent)
            continue;
        char szName[20];
        std::snprintf(szName, sizeof szName, "COM%u", n);
        COMMCONFIG config = {};
        config.dwSize = sizeof config;
        DWORD dwSize = sizeof config;
        if (GetDefaultCommConfigA(szName, &config, &dwSize))
            slot.bPresent = true;
    }
}

bool ListPorts(std::string& strList, const std::atomic<bool>* pCancel) {
    try {
        PortTable table;
        const bool bEnumerated = EnumeratePorts(table);
        ProbePorts(table, !bEnumerated, pCancel);
        strList = FormatPortList(table);
        return true;
    } catch (const std::bad_alloc&) {
        strList.clear();
        return false;
    }
}
