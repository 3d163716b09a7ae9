#include "dde_client.h"

#include <vector>

namespace {

HDDEDATA CALLBACK AcceptingCallback(UINT uType, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return uType == XTYP_ADVDATA ? reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK)) : nullptr;
}

}  // namespace

CDdeClientInstance::CDdeClientInstance(PFNCALLBACK pfnCallback) : m_idInst(0) {
    DWORD id = 0;
    if (DdeInitializeA(&id, pfnCallback ? pfnCallback : AcceptingCallback, APPCMD_CLIENTONLY, 0) == DMLERR_NO_ERROR)
        m_idInst = id;
}

CDdeClientInstance::~CDdeClientInstance() {
    if (m_idInst != 0)
        DdeUninitialize(m_idInst);
}

CDdeString::CDdeString(DWORD idInst, const char* psz)
    : m_idInst(idInst), m_hsz(psz ? DdeCreateStringHandleA(idInst, psz, CP_WINANSI) : nullptr) {}

CDdeString::~CDdeString() {
    if (m_hsz != nullptr)
        DdeFreeStringHandle(m_idInst, m_hsz);
}

CDdeConversation::CDdeConversation(DWORD idInst, HSZ hszService, HSZ hszTopic)
    : m_hConv(DdeConnect(idInst, hszService, hszTopic, nullptr)) {}

CDdeConversation& CDdeConversation::operator=(CDdeConversation&& other) noexcept {
    if (this != &other) {
        Disconnect();
        m_hConv = other.m_hConv;
        other.m_hConv = nullptr;
    }
    return *this;
}

void CDdeConversation::Disconnect() {
    if (m_hConv != nullptr)
        DdeDisconnect(m_hConv);
    m_hConv = nullptr;
}

bool CDdeConversation::IsConnected() const {
    CONVINFO info = {};
    info.cb = sizeof info;
    return m_hConv != nullptr && DdeQueryConvInfo(m_hConv, QID_SYNC, &info) != 0 && (info.wStatus & ST_CONNECTED) != 0;
}

std::string CDdeConversation::ServiceName(DWORD idInst) const {
    CONVINFO info = {};
    info.cb = sizeof info;
    if (m_hConv == nullptr || DdeQueryConvInfo(m_hConv, QID_SYNC, &info) == 0)
        return std::string();
    return DdeStringName(idInst, info.hszSvcPartner);
}

std::string CDdeConversation::TopicName(DWORD idInst) const {
    CONVINFO info = {};
    info.cb = sizeof info;
    if (m_hConv == nullptr || DdeQueryConvInfo(m_hConv, QID_SYNC, &info) == 0)
        return std::string();
    return DdeStringName(idInst, info.hszTopic);
}

std::string DdeDataBytes(HDDEDATA hData) {
    if (hData == nullptr)
        return std::string();
    const DWORD n = DdeGetData(hData, nullptr, 0, 0);
    std::string bytes(n, '\0');
    if (n > 0)
        DdeGetData(hData, reinterpret_cast<LPBYTE>(&bytes[0]), n, 0);
    return bytes;
}

std::string DdeDataText(HDDEDATA hData) {
    std::string bytes = DdeDataBytes(hData);
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string::npos)
        bytes.resize(nul);
    return bytes;
}

std::string DdeStringName(DWORD idInst, HSZ hsz) {
    if (hsz == nullptr)
        return std::string();
    const DWORD n = DdeQueryStringA(idInst, hsz, nullptr, 0, CP_WINANSI);
    std::vector<char> name(n + 1, '\0');
    DdeQueryStringA(idInst, hsz, name.data(), n + 1, CP_WINANSI);
    return std::string(name.data());
}

void PumpMessages(DWORD ms, const volatile LONG* pbStop) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (pbStop == nullptr || !*pbStop) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return;
        const DWORD left = static_cast<DWORD>(end - now);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 200 ? left : 200, QS_ALLINPUT);
    }
}
