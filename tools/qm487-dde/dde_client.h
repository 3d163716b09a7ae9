// A small DDEML client for qm487-dde and the tests: owners for the instance,
// string handles, conversations and data handles, so that every one of them
// is given back.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <string>

class CDdeClientInstance {
public:
    // pfnCallback: the client's callback (advise data, disconnects); none:
    // a callback that accepts advise data and ignores the rest.
    explicit CDdeClientInstance(PFNCALLBACK pfnCallback = nullptr);
    ~CDdeClientInstance();
    bool IsValid() const { return m_idInst != 0; }
    DWORD Id() const { return m_idInst; }

private:
    DWORD m_idInst;
    CDdeClientInstance(const CDdeClientInstance&) = delete;
    CDdeClientInstance& operator=(const CDdeClientInstance&) = delete;
};

// A string handle; an empty pointer makes the null handle (a wildcard).
class CDdeString {
public:
    CDdeString(DWORD idInst, const char* psz);
    ~CDdeString();
    HSZ Get() const { return m_hsz; }

private:
    DWORD m_idInst;
    HSZ m_hsz;
    CDdeString(const CDdeString&) = delete;
    CDdeString& operator=(const CDdeString&) = delete;
};

class CDdeConversation {
public:
    CDdeConversation() : m_hConv(nullptr) {}
    CDdeConversation(DWORD idInst, HSZ hszService, HSZ hszTopic);
    ~CDdeConversation() { Disconnect(); }
    CDdeConversation(CDdeConversation&& other) noexcept : m_hConv(other.m_hConv) { other.m_hConv = nullptr; }
    CDdeConversation& operator=(CDdeConversation&& other) noexcept;
    HCONV Get() const { return m_hConv; }
    void Disconnect();
    // False once the server has ended the conversation. Polled: not every
    // DDEML tells its client (Wine never calls XTYP_DISCONNECT there).
    bool IsConnected() const;
    // The server's service and topic names as the conversation has them.
    std::string ServiceName(DWORD idInst) const;
    std::string TopicName(DWORD idInst) const;

private:
    HCONV m_hConv;
};

// The text of a CF_TEXT data handle, up to its first NUL; all bytes when raw.
std::string DdeDataBytes(HDDEDATA hData);
std::string DdeDataText(HDDEDATA hData);
// The name behind a string handle.
std::string DdeStringName(DWORD idInst, HSZ hsz);

// Runs the thread's messages (advise data arrives as messages) for up to
// ms, or until *pbStop turns non-zero (looked at every 200 ms at least).
void PumpMessages(DWORD ms, const volatile LONG* pbStop = nullptr);

// A synchronous transaction's data, freed with the object.
class CDdeData {
public:
    explicit CDdeData(HDDEDATA hData) : m_hData(hData) {}
    ~CDdeData() {
        if (m_hData != nullptr)
            DdeFreeDataHandle(m_hData);
    }
    HDDEDATA Get() const { return m_hData; }

private:
    HDDEDATA m_hData;
    CDdeData(const CDdeData&) = delete;
    CDdeData& operator=(const CDdeData&) = delete;
};
