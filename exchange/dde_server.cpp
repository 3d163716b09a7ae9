#include "exchange/dde_server.h"

#include <dde.h>

#include <cstdio>
#include <cstring>

namespace {

// The one server of the process, for the callback; written by constructors.
CDdeServer* g_pDdeServer = nullptr;

const DWORD kInitFlags =
    APPCLASS_STANDARD | CBF_FAIL_EXECUTES | CBF_FAIL_POKES | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS;

// The type bits alone tell transactions apart; class and XTYPF_* flag bits
// may come with them.
bool IsType(UINT uType, UINT uTransaction) { return (uType & XTYP_MASK) == (uTransaction & XTYP_MASK); }

void FreeHandle(DWORD idInst, HSZ& hsz) {
    if (hsz != nullptr)
        DdeFreeStringHandle(idInst, hsz);
    hsz = nullptr;
}

}  // namespace

CDdeServer::CDdeServer()
    : m_pChannels(nullptr),
      m_strService(dde::kServiceName),
      m_hszService(nullptr),
      m_hszTopics(),
      m_hszItems(),
      m_idInst(0),
      m_hWndOwner(nullptr) {
    for (int c = 0; c < dde::kChannels; ++c)
        m_strTopics[c] = dde::kTopicBaseNames[c];
    for (int i = 0; i < dde::kItems; ++i)
        m_strItems[i] = dde::kItemNames[i];
    g_pDdeServer = this;
}

CDdeServer::~CDdeServer() {
    // The window stops the server when it is destroyed; a server left
    // running would leave DDEML calling into a dead object.
    Stop();
    if (g_pDdeServer == this)
        g_pDdeServer = nullptr;
}

void CDdeServer::SetChannels(const CChannelSet* pChannels, HWND hWndOwner) {
    m_pChannels = pChannels;
    m_hWndOwner = hWndOwner;
}

BOOL CDdeServer::Start(long nSerialNumber) {
    if (m_idInst != 0)
        return FALSE;
    DWORD idInst = 0;
    if (DdeInitializeA(&idInst, DdeCallback, kInitFlags, 0) != DMLERR_NO_ERROR)
        return FALSE;
    m_idInst = idInst;

    m_hszService = DdeCreateStringHandleA(m_idInst, m_strService.c_str(), CP_WINANSI);
    BOOL bNamed = m_hszService != nullptr;
    for (int c = 0; c < dde::kChannels; ++c) {
        char szTopic[256];
        std::snprintf(szTopic, sizeof szTopic, "%s#%li", m_strTopics[c].c_str(), nSerialNumber);
        m_hszTopics[c] = DdeCreateStringHandleA(m_idInst, szTopic, CP_WINANSI);
        bNamed = bNamed && m_hszTopics[c] != nullptr;
    }
    for (int i = 0; i < dde::kItems; ++i) {
        m_hszItems[i] = DdeCreateStringHandleA(m_idInst, m_strItems[i].c_str(), CP_WINANSI);
        bNamed = bNamed && m_hszItems[i] != nullptr;
    }
    // A missing name would leave a topic nobody can reach (or, compared as a
    // null handle, one that matches a wildcard): no service at all then.
    // Whatever was made is released by the next Stop.
    if (!bNamed)
        return FALSE;
    return DdeNameService(m_idInst, m_hszService, nullptr, DNS_REGISTER) != nullptr;
}

BOOL CDdeServer::Stop() {
    if (m_idInst == 0)
        return TRUE;
    if (m_hszService != nullptr)
        DdeNameService(m_idInst, m_hszService, nullptr, DNS_UNREGISTER);
    for (HSZ& hsz : m_hszItems)
        FreeHandle(m_idInst, hsz);
    for (HSZ& hsz : m_hszTopics)
        FreeHandle(m_idInst, hsz);
    FreeHandle(m_idInst, m_hszService);
    const BOOL bDone = DdeUninitialize(m_idInst);
    m_idInst = 0;
    m_conversations.clear();
    return bDone;
}

void CDdeServer::NotifyAll() {
    if (m_idInst == 0)
        return;
    EndDeadConversations();
    for (int c = 0; c < dde::kChannels; ++c)
        for (int i = 0; i < dde::kItems; ++i)
            PostAdvise(c, i);
}

void CDdeServer::PostAdvise(int nChannel, int nItem) {
    if (m_idInst == 0 || nChannel < 0 || nChannel >= dde::kChannels || nItem < 0 || nItem >= dde::kItems)
        return;
    if (m_hszTopics[nChannel] != nullptr && m_hszItems[nItem] != nullptr)
        DdePostAdvise(m_idInst, m_hszTopics[nChannel], m_hszItems[nItem]);
}

// A conversation whose client window has gone is ended here. Wine's DDEML
// client never ends the extra conversations a wildcard connection is
// answered with (it takes the first and ignores the rest), so without this
// each wildcard connection would leave eight conversation windows behind
// for as long as the server runs.
void CDdeServer::EndDeadConversations() {
    for (std::size_t i = 0; i < m_conversations.size();) {
        const HCONV hConv = m_conversations[i];
        CONVINFO info = {};
        info.cb = sizeof info;
        if (DdeQueryConvInfo(hConv, QID_SYNC, &info) == 0) {
            m_conversations.erase(m_conversations.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (!IsWindow(info.hwndPartner) && !DdeDisconnect(hConv)) {
            // Where DDEML cannot end a server's conversation itself, the
            // terminate its client would have sent ends it.
            PostMessageW(info.hwnd, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(info.hwndPartner), 0);
        }
        ++i;
    }
}

int CDdeServer::FindTopic(HSZ hsz) const {
    for (int c = 0; c < dde::kChannels; ++c)
        if (hsz != nullptr && m_hszTopics[c] != nullptr && DdeCmpStringHandles(hsz, m_hszTopics[c]) == 0)
            return c;
    return dde::kChannels;
}

int CDdeServer::FindItem(HSZ hsz) const {
    for (int i = 0; i < dde::kItems; ++i)
        if (hsz != nullptr && m_hszItems[i] != nullptr && DdeCmpStringHandles(hsz, m_hszItems[i]) == 0)
            return i;
    return dde::kItems;
}

BOOL CDdeServer::IsServed(UINT uFormat, HSZ hszTopic, HSZ hszItem) const {
    return uFormat == CF_TEXT && FindTopic(hszTopic) < dde::kChannels && FindItem(hszItem) < dde::kItems;
}

void CDdeServer::FormatItem(HSZ hszTopic, HSZ hszItem, char* pszBuffer) const {
    const int c = FindTopic(hszTopic);
    const int i = FindItem(hszItem);
    std::string text;
    // Before the window hands its channels over there is nothing to read.
    if (c < dde::kChannels && m_pChannels != nullptr) {
        text = dde::ItemText(i, (*m_pChannels)[c], m_pChannels->Config()[c].bInUse);
    }
    const std::size_t n = text.size() < kItemBufferSize - 1 ? text.size() : kItemBufferSize - 1;
    std::memcpy(pszBuffer, text.data(), n);
    pszBuffer[n] = '\0';
}

HDDEDATA CDdeServer::OnTransaction(UINT uType, UINT uFormat, HCONV hConv, HSZ hsz1, HSZ hsz2) {
    if (m_idInst == 0)
        return nullptr;
    if (IsType(uType, XTYP_CONNECT))
        return OnConnect(hsz1, hsz2);
    if (IsType(uType, XTYP_CONNECT_CONFIRM)) {
        m_conversations.push_back(hConv);
        return nullptr;
    }
    if (IsType(uType, XTYP_DISCONNECT)) {
        for (std::size_t i = 0; i < m_conversations.size(); ++i)
            if (m_conversations[i] == hConv) {
                m_conversations.erase(m_conversations.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        return nullptr;
    }
    if (IsType(uType, XTYP_WILDCONNECT))
        return OnWildConnect(uFormat, hsz1, hsz2);
    if (IsType(uType, XTYP_REQUEST) || IsType(uType, XTYP_ADVREQ))
        return OnRequest(IsType(uType, XTYP_ADVREQ), uFormat, hConv, hsz1, hsz2);
    if (IsType(uType, XTYP_ADVSTART))
        return OnAdviseStart(uFormat, hsz1, hsz2);
    return nullptr;  // advise stop and the rest: nothing to do
}

HDDEDATA CDdeServer::OnConnect(HSZ hszTopic, HSZ hszService) const {
    const BOOL bOurs = hszService != nullptr && DdeCmpStringHandles(hszService, m_hszService) == 0 &&
                       FindTopic(hszTopic) < dde::kChannels;
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(bOurs));
}

HDDEDATA CDdeServer::OnWildConnect(UINT uFormat, HSZ hszTopic, HSZ hszService) const {
    if (hszTopic != nullptr && FindTopic(hszTopic) == dde::kChannels)
        return nullptr;
    if (hszService != nullptr && DdeCmpStringHandles(hszService, m_hszService) != 0)
        return nullptr;
    // Every topic is listed, even when one was asked for; a null pair ends the list.
    HSZPAIR pairs[dde::kChannels + 1] = {};
    for (int c = 0; c < dde::kChannels; ++c) {
        pairs[c].hszSvc = m_hszService;
        pairs[c].hszTopic = m_hszTopics[c];
    }
    return DdeCreateDataHandle(m_idInst, reinterpret_cast<LPBYTE>(pairs), sizeof pairs, 0, nullptr, uFormat, 0);
}

HDDEDATA CDdeServer::OnRequest(BOOL bAdvise, UINT uFormat, HCONV hConv, HSZ hszTopic, HSZ hszItem) const {
    // The topic is the conversation's. Some DDEML implementations (Wine)
    // match advise links by item alone and pass the posted topic to every
    // link: such a request for another topic's link gets nothing, so each
    // link receives its own value, once per post.
    CONVINFO info = {};
    info.cb = sizeof info;
    if (hConv != nullptr && DdeQueryConvInfo(hConv, QID_SYNC, &info) != 0) {
        if (bAdvise && DdeCmpStringHandles(info.hszTopic, hszTopic) != 0)
            return nullptr;
        hszTopic = info.hszTopic;
    }
    if (!IsServed(uFormat, hszTopic, hszItem))
        return nullptr;
    char szText[kItemBufferSize];
    FormatItem(hszTopic, hszItem, szText);
    return DdeCreateDataHandle(m_idInst, reinterpret_cast<LPBYTE>(szText),
                               static_cast<DWORD>(std::strlen(szText) + 1), 0, hszItem, CF_TEXT, 0);
}

HDDEDATA CDdeServer::OnAdviseStart(UINT uFormat, HSZ hszTopic, HSZ hszItem) const {
    if (!IsServed(uFormat, hszTopic, hszItem))
        return nullptr;
    // Where DDEML adds the link only after this callback (Wine), this post
    // does not reach it; the owner posts again once the callback returned.
    DdePostAdvise(m_idInst, hszTopic, hszItem);
    if (m_hWndOwner != nullptr)
        PostMessageW(m_hWndOwner, WM_DDE_ADVISE_STARTED, static_cast<WPARAM>(FindTopic(hszTopic)),
                     static_cast<LPARAM>(FindItem(hszItem)));
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(TRUE));
}

HDDEDATA CALLBACK DdeCallback(UINT uType, UINT uFormat, HCONV hConv, HSZ hsz1, HSZ hsz2, HDDEDATA,
                              ULONG_PTR, ULONG_PTR) {
    if (g_pDdeServer == nullptr)
        return nullptr;
    return g_pDdeServer->OnTransaction(uType, uFormat, hConv, hsz1, hsz2);
}
