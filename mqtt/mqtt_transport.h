// The byte stream to the broker, as the publishing code needs it: TCP, or
// TLS over it. Windows has one on Winsock and Schannel; the tests have a
// scripted one.
#pragma once

#include "mqtt/mqtt_messages.h"

#include <string>

class IMqttTransport {
public:
    virtual ~IMqttTransport() = default;
    // Connects (and makes TLS for mqtts://) within nTimeoutMs; false with
    // *pError saying why.
    virtual bool Open(const MqttUrl& url, unsigned nTimeoutMs, std::string* pError) = 0;
    // All the bytes, or false: the connection is no good.
    virtual bool Send(const std::string& bytes) = 0;
    // Waits up to nMs for bytes: their count, 0 when none came (time up, or
    // woken), -1 when the connection has ended.
    virtual int Receive(char* pBuffer, int nSize, unsigned nMs) = 0;
    virtual void Close() = 0;
    // From another thread: a Receive under way returns at once.
    virtual void Wake() = 0;
    // From another thread: every wait, under way or to come, ends at once
    // (Open and Receive fail; a Send that would have to wait fails, one
    // that fits in the socket's buffer still goes, so a goodbye can be
    // said). This is how a stop never waits on the network.
    virtual void Cancel() = 0;
};
