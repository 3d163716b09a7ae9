// The DDE server: service "QM487", one topic per channel named with the
// instrument's serial number ("Temperatura3#4660"), items "Wynik", "Pomiar",
// "Status" and "Alarm" in CF_TEXT. It answers from the main window's channel set at
// the moment of each request, so clients read what the window shows.
//
// Everything runs on the GUI thread: the main window starts, stops and
// notifies it, and DDEML calls DdeCallback on the thread that initialised it.
#pragma once

#include "exchange/dde_items.h"
#include "framework/app_messages.h"
#include "instrument/channels.h"

#include <windows.h>
#include <ddeml.h>

#include <string>
#include <vector>


class CDdeServer {
public:
    enum { kItemBufferSize = 1024 };

    CDdeServer();
    virtual ~CDdeServer();

    // The channels, read at every request (not owned; they must outlive
    // the server), and the window that gets WM_DDE_ADVISE_STARTED (none:
    // nothing is posted).
    void SetChannels(const CChannelSet* pChannels, HWND hWndOwner);

    // Registers the service with the topics of instrument nSerialNumber;
    // 0 when it cannot, or when the server already runs.
    BOOL Start(long nSerialNumber);
    // Ends every conversation and releases DDEML; TRUE when it was not running.
    BOOL Stop();
    // Every item of every topic may have changed: 36 advise posts.
    void NotifyAll();
    // The advise post of one topic and item, asked for by WM_DDE_ADVISE_STARTED.
    void PostAdvise(int nChannel, int nItem);

    BOOL IsRunning() const { return m_idInst != 0; }
    DWORD GetInstance() const { return m_idInst; }

    // Channel 0 to 8 of a topic handle, or 9; item 0 to 3, or 4.
    int FindTopic(HSZ hsz) const;
    int FindItem(HSZ hsz) const;
    BOOL IsServed(UINT uFormat, HSZ hszTopic, HSZ hszItem) const;
    // The item's Windows-1250 text into a buffer of kItemBufferSize bytes.
    void FormatItem(HSZ hszTopic, HSZ hszItem, char* pszBuffer) const;

    // What the DDEML callback answers for this server.
    HDDEDATA OnTransaction(UINT uType, UINT uFormat, HCONV hConv, HSZ hsz1, HSZ hsz2);

private:
    HDDEDATA OnConnect(HSZ hszTopic, HSZ hszService) const;
    HDDEDATA OnWildConnect(UINT uFormat, HSZ hszTopic, HSZ hszService) const;
    HDDEDATA OnRequest(BOOL bAdvise, UINT uFormat, HCONV hConv, HSZ hszTopic, HSZ hszItem) const;
    HDDEDATA OnAdviseStart(UINT uFormat, HSZ hszTopic, HSZ hszItem) const;
    void EndDeadConversations();

    const CChannelSet* m_pChannels;  // not owned; none until the window hands it over
    std::string m_strService;
    std::string m_strTopics[dde::kChannels];  // base names, by channel
    std::string m_strItems[dde::kItems];
    HSZ m_hszService;
    HSZ m_hszTopics[dde::kChannels];  // null while stopped
    HSZ m_hszItems[dde::kItems];
    DWORD m_idInst;  // 0 while stopped
    HWND m_hWndOwner;
    std::vector<HCONV> m_conversations;  // the clients' conversations, while running

    CDdeServer(const CDdeServer&) = delete;
    CDdeServer& operator=(const CDdeServer&) = delete;
};

// The DDEML callback; it reaches the one server of the process.
HDDEDATA CALLBACK DdeCallback(UINT uType, UINT uFormat, HCONV hConv, HSZ hsz1, HSZ hsz2, HDDEDATA hData,
                              ULONG_PTR dwData1, ULONG_PTR dwData2);
