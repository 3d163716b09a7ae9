// The SMTP dialogue that hands one message to a mail server, over a stream
// the system gives (notify_ports.h): greeting, EHLO, STARTTLS when offered,
// AUTH PLAIN or LOGIN, MAIL, RCPT, DATA, QUIT. Every reply is read within a
// set time and within bounds (line length, line count), so a server that
// hangs or talks nonsense ends the attempt instead of the thread.
#pragma once

#include "notify/notification.h"
#include "notify/notify_ports.h"

#include <string>
#include <vector>

struct SmtpUrl {
    bool bTls = false;  // smtps://: TLS from the start
    std::string strHost;
    int nPort = 0;
};

// smtp://host[:587] or smtps://host[:465]: a host of ASCII letters, digits,
// '.', '-' and '_', or an IPv6 address in brackets; one trailing slash
// allowed. nullptr when it can be used (*pUrl, when given, gets it);
// otherwise why not, in Polish (Windows-1250). The dialog and the sending
// judge by this one rule, so nothing kept can wait for ever.
const char* SmtpUrlFault(const std::string& text, SmtpUrl* pUrl = nullptr);

// The name EHLO gives: the PC's name with only letters, digits, '-' and '.'
// kept (others become '-'), at most 63 characters; "qm487" when none is left.
std::string EhloName(const std::string& pcName);

struct SmtpJob {
    SmtpUrl url;
    std::string strCaFile;    // UTF-8 path; empty: the system's trust only
    std::string strEhloName;  // EhloName's
    std::string strUser;      // UTF-8
    std::string strPassword;  // UTF-8; empty: no AUTH. Never sent without TLS.
    std::string strFrom;
    std::vector<std::string> to;
    std::string strMessage;  // ComposeMail's
    unsigned nConnectMs = 30000;
    unsigned nReplyMs = 60000;  // each wait for a reply's bytes
    // The whole dialogue after the connection: a server that sends a byte
    // now and then keeps the other ways waiting no longer than this.
    unsigned nDialogueMs = 300000;
};

// Bounds of one reply: longer lines, more lines, or a line without a
// three-digit code end the attempt.
const std::size_t kSmtpLineMost = 1000;
const int kSmtpReplyLinesMost = 100;

// One attempt, on the calling thread: opens, talks and closes the stream.
// kDelivered once the server took the message for at least one recipient
// (strAnswer: its answer, and the recipients it refused, as *pRefused has
// them when given); kNeverDeliverable only for a 5xx to the message's data,
// a refusal of the message itself; kRetryLater for everything else (no
// connection, time up, 4xx, a 5xx to AUTH, MAIL, every RCPT or DATA, and a
// sign-in or address refused after the data: a wrong password, sender or
// recipient is a setting to mend, and the message waits for it).
DeliveryResult SendSmtp(INotifyStream& stream, const SmtpJob& job, std::string* pRefused = nullptr);
