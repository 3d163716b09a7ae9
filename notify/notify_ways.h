// The three ways a notification leaves the PC, over the system's ports
// (notify_ports.h): e-mail, a web hook, a program. Each is made from the
// settings as the file holds them (Windows-1250) and is used by the sending
// thread; Cancel, from any thread, makes a Deliver under way return at
// once (the e-mail way's every later one too: it is for closing).
#pragma once

#include "notify/notification.h"
#include "notify/notify_ports.h"
#include "notify/notify_settings.h"
#include "notify/smtp_session.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

// The settings' fault found when a way was made (Polish, UTF-8): such a way
// answers every message with it, as kRetryLater, since the user may mend
// the settings and the message must not be lost meanwhile.
class CConfiguredWay : public INotifyWay {
public:
    const std::string& SettingsFault() const { return m_strFault; }

protected:
    DeliveryResult Waiting(const std::string& reason) const;
    std::string m_strFault;
};

using NotifyStreamFactory = std::function<std::unique_ptr<INotifyStream>()>;
// A line for the notification log (UTF-8), from the sending thread.
using NotifyNote = std::function<void(const std::string& strLine)>;

class CMailWay : public CConfiguredWay {
public:
    // strPassword: the plain secret as CStoredSecret keeps it (secret_text.h).
    CMailWay(const NotifySettings& settings, const std::string& strPassword, NotifyStreamFactory streams,
             unsigned nConnectMs = 30000, unsigned nReplyMs = 60000);
    const char* Name() const override { return "e-mail"; }
    DeliveryResult Deliver(const Notification& message) override;
    void Cancel() override;
    // Before the first Deliver: told of the recipients a server refused
    // while others took the message.
    void SetNote(NotifyNote onNote) { m_onNote = std::move(onNote); }

private:
    SmtpJob m_job;
    NotifyStreamFactory m_streams;
    NotifyNote m_onNote;
    std::mutex m_mutex;
    INotifyStream* m_pStream = nullptr;  // the one Deliver talks over, under m_mutex
    bool m_bCancelled = false;
};

// 2xx: delivered. No answer, 408, 429, 3xx and 5xx: retry later. Any other
// 4xx: never deliverable (the hook refuses this message as it is).
class CWebhookWay : public CConfiguredWay {
public:
    CWebhookWay(const NotifySettings& settings, std::unique_ptr<IHttpPoster> poster, unsigned nTimeoutMs = 30000);
    const char* Name() const override { return "web hook"; }
    DeliveryResult Deliver(const Notification& message) override;
    void Cancel() override { m_poster->Cancel(); }

private:
    std::string m_strUrl;
    bool m_bJson = true;
    std::unique_ptr<IHttpPoster> m_poster;
    unsigned m_nTimeoutMs;
};

// Started: delivered. Not started (a missing file among the reasons):
// retry later, with the reason, as the user may mend it. The start runs on
// a thread of its own: one from a share that does not answer may take
// Windows a minute, and Cancel (a close) does not wait for it. One program
// runs at a time: the next message's Deliver waits until the one before
// has ended (or was ended at its run limit), so that a backlog does not
// start a process per message at once.
class CProgramWay : public CConfiguredWay {
public:
    CProgramWay(const NotifySettings& settings, std::unique_ptr<IProgramStarter> starter,
                unsigned nRunLimitMs = 60000);
    const char* Name() const override { return "program"; }
    DeliveryResult Deliver(const Notification& message) override;
    // This Deliver and every later one return at once: it is for closing.
    void Cancel() override;

private:
    struct Shared;  // the state the start threads and the programs' ends share

    std::string m_strPath;
    std::shared_ptr<IProgramStarter> m_starter;
    unsigned m_nRunLimitMs;
    std::shared_ptr<Shared> m_shared;
};
