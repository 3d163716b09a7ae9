// The SMTP dialogue against a server played from a script, and the three
// ways of sending over scripted ports. Nothing waits: a scripted server
// that "hangs" answers a read with 0 (the time is up) at once.
#include "common/base64.h"
#include "notify/notify_payloads.h"
#include "notify/notify_ways.h"
#include "notify/smtp_session.h"
#include "secrets/secret_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <future>

namespace {

const std::string kHang = "<hang>";  // ends a reply: then nothing more comes

// A mail server that answers the connection and each Send with the next
// reply of its script, and keeps all it was sent (with "[tls]" where TLS
// started) in strSent, or in the test's string given. Past its script, or
// after a reply ending in kHang, nothing comes: the connection ends, or
// with kHang the time is up.
class CScriptedServer : public INotifyStream {
public:
    explicit CScriptedServer(std::vector<std::string> replies, std::string* pSent = nullptr)
        : strSent(pSent ? *pSent : m_strSent), m_replies(std::move(replies)) {}

    std::string& strSent;

    bool Open(const std::string& host, int nPort, bool bTls, const std::string&, unsigned, std::string*) override {
        strSent += "[open " + host + ":" + std::to_string(nPort) + (bTls ? " tls]" : "]");
        Next();
        return true;
    }
    bool StartTls(unsigned, std::string*) override {
        strSent += "[tls]";
        return true;
    }
    bool Send(const std::string& bytes) override {
        strSent += bytes;
        Next();
        return true;
    }
    int Receive(char* pBuffer, int nSize, unsigned) override {
        if (m_pending.empty())
            return m_bHung ? 0 : -1;
        const int n = std::min(nSize, static_cast<int>(m_pending.size()));
        std::memcpy(pBuffer, m_pending.data(), static_cast<std::size_t>(n));
        m_pending.erase(0, static_cast<std::size_t>(n));
        return n;
    }
    void Close() override { strSent += "[close]"; }
    void Cancel() override { strSent += "[cancel]"; }

private:
    void Next() {
        if (m_bHung || m_nNext == m_replies.size())
            return;
        std::string reply = m_replies[m_nNext++];
        if (reply.size() >= kHang.size() && reply.compare(reply.size() - kHang.size(), kHang.size(), kHang) == 0) {
            reply.resize(reply.size() - kHang.size());
            m_bHung = true;
        }
        m_pending += reply;
    }

    std::string m_strSent;
    std::vector<std::string> m_replies;
    std::size_t m_nNext = 0;
    std::string m_pending;
    bool m_bHung = false;
};

const std::string kGreeting = "220 mail.example.com ESMTP\r\n";
const std::string kOk = "250 OK\r\n";
const std::string kPlainEhlo = "250-mail.example.com\r\n250 SIZE 1000000\r\n";
const std::string kTlsEhlo = "250-mail.example.com\r\n250-STARTTLS\r\n250 8BITMIME\r\n";
const std::string kAuthEhlo = "250-mail.example.com\r\n250-AUTH LOGIN PLAIN\r\n250 8BITMIME\r\n";

SmtpJob Job(const std::string& password = "") {
    SmtpJob job;
    job.url.strHost = "mail.example.com";
    job.url.nPort = 587;
    job.strEhloName = "LAB-PC";
    job.strUser = "user";
    job.strPassword = password;
    job.strFrom = "qm@lab.example";
    job.to = {"a@example.com", "b@example.com"};
    job.strMessage = "Subject: x\r\n\r\n.hidden\r\nend\r\n";
    return job;
}

// After the greeting and EHLO: MAIL, two RCPT, DATA, the message, QUIT.
std::vector<std::string> Delivery(std::vector<std::string> start) {
    for (const std::string& reply : {kOk, kOk, kOk, std::string("354 go on\r\n"), std::string("250 queued as 12\r\n"),
                                     std::string("221 bye\r\n")})
        start.push_back(reply);
    return start;
}

const std::string kPlainTranscript =
    "EHLO LAB-PC\r\nMAIL FROM:<qm@lab.example>\r\nRCPT TO:<a@example.com>\r\nRCPT TO:<b@example.com>\r\nDATA\r\n"
    "Subject: x\r\n\r\n..hidden\r\nend\r\n.\r\nQUIT\r\n[close]";

TEST(SmtpSession, Dialogues) {
    const std::string authTls = "[tls]EHLO LAB-PC\r\n";
    const struct {
        const char* name;
        std::vector<std::string> replies;
        std::string strPassword;
        DeliveryResult::Kind kind;
        std::string strSent;    // a part of what the client sent
        std::string strAnswer;  // a part of the result's answer
        unsigned nDialogueMs = 300000;
    } cases[] = {
        {"plain", Delivery({kGreeting, kPlainEhlo}), "", DeliveryResult::kDelivered,
         "[open mail.example.com:587]" + kPlainTranscript, "250 queued as 12"},
        {"STARTTLS without a password", Delivery({kGreeting, kTlsEhlo, "220 go ahead\r\n", kPlainEhlo}), "",
         DeliveryResult::kDelivered, "EHLO LAB-PC\r\nSTARTTLS\r\n[tls]EHLO LAB-PC\r\nMAIL FROM", "queued"},
        {"STARTTLS and AUTH PLAIN, UTF-8",
         Delivery({kGreeting, kTlsEhlo, "220 go ahead\r\n", kAuthEhlo, "235 2.7.0 Accepted\r\n"}),
         "has\xC5\x82o", DeliveryResult::kDelivered, authTls + "AUTH PLAIN AHVzZXIAaGFzxYJv\r\nMAIL FROM", "queued"},
        {"STARTTLS with a blank after it",
         Delivery({kGreeting, "250-x\r\n250-STARTTLS \r\n250 8BITMIME\r\n", "220 go ahead\r\n", kPlainEhlo}), "",
         DeliveryResult::kDelivered, "STARTTLS\r\n[tls]EHLO LAB-PC\r\nMAIL FROM", "queued"},
        {"keywords in any case, parameters after a tab",
         Delivery({kGreeting, "250-x\r\n250-StartTls\r\n250 8BITMIME\r\n", "220 go ahead\r\n",
                   "250-x\r\n250 auth\tlogin  plain \r\n", "235 ok\r\n"}),
         "has\xC5\x82o", DeliveryResult::kDelivered, authTls + "AUTH PLAIN AHVzZXIAaGFzxYJv\r\nMAIL FROM", "queued"},
        {"AUTH LOGIN",
         Delivery({kGreeting, kTlsEhlo, "220 go ahead\r\n", "250-x\r\n250 AUTH=LOGIN\r\n", "334 VXNlcm5hbWU6\r\n",
                   "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n"}),
         "has\xC5\x82o", DeliveryResult::kDelivered, authTls + "AUTH LOGIN\r\ndXNlcg==\r\naGFzxYJv\r\nMAIL FROM",
         "queued"},
        {"an old server: HELO", Delivery({kGreeting, "502 what\r\n", kOk}), "", DeliveryResult::kDelivered,
         "EHLO LAB-PC\r\nHELO LAB-PC\r\nMAIL FROM", "queued"},
        {"no STARTTLS: no password sent", {kGreeting, kAuthEhlo, "221 bye\r\n"}, "secret", DeliveryResult::kRetryLater,
         "EHLO LAB-PC\r\nQUIT\r\n[close]", "STARTTLS"},
        {"wrong password: kept to retry", {kGreeting, kTlsEhlo, "220 go\r\n", kAuthEhlo, "535 5.7.8 bad\r\n", "221\r\n"},
         "secret", DeliveryResult::kRetryLater, "AUTH PLAIN", "535 5.7.8 bad"},
        {"no AUTH offered", {kGreeting, kTlsEhlo, "220 go\r\n", kPlainEhlo, "221\r\n"}, "secret",
         DeliveryResult::kRetryLater, authTls + "QUIT", "AUTH"},
        {"one recipient refused",
         {kGreeting, kPlainEhlo, kOk, "550 5.1.1 <a@example.com> unknown\r\n", kOk, "354 go\r\n", "250 queued\r\n"},
         "", DeliveryResult::kDelivered, "DATA", "a@example.com: 550 5.1.1"},
        {"every recipient refused: addresses to mend", {kGreeting, kPlainEhlo, kOk, "550 no\r\n", "553 no\r\n", "221\r\n"},
         "", DeliveryResult::kRetryLater, "RCPT TO:<b@example.com>\r\nQUIT", "553 no"},
        {"a recipient for later: nothing sent", {kGreeting, kPlainEhlo, kOk, kOk, "451 try later\r\n", "221\r\n"}, "",
         DeliveryResult::kRetryLater, "RCPT TO:<b@example.com>\r\nQUIT", "451 try later"},
        {"sender refused: to mend", {kGreeting, kPlainEhlo, "553 sender\r\n", "221\r\n"}, "", DeliveryResult::kRetryLater,
         "MAIL FROM:<qm@lab.example>\r\nQUIT", "553 sender"},
        {"sign-in wanted at MAIL", {kGreeting, kPlainEhlo, "530 5.7.0 Authentication required\r\n", "221\r\n"}, "",
         DeliveryResult::kRetryLater, "MAIL FROM:<qm@lab.example>\r\nQUIT", "530 5.7.0"},
        {"DATA refused", {kGreeting, kPlainEhlo, kOk, kOk, kOk, "554 no valid recipients\r\n", "221\r\n"}, "",
         DeliveryResult::kRetryLater, "DATA\r\nQUIT", "554 no valid"},
        {"sign-in wanted after the data", {kGreeting, kPlainEhlo, kOk, kOk, kOk, "354 go\r\n", "530 auth\r\n", "221\r\n"},
         "", DeliveryResult::kRetryLater, "end\r\n.\r\nQUIT", "530 auth"},
        {"an address refused after the data",
         {kGreeting, kPlainEhlo, kOk, kOk, kOk, "354 go\r\n", "550 5.1.1 unknown\r\n", "221\r\n"}, "",
         DeliveryResult::kRetryLater, "end\r\n.\r\nQUIT", "5.1.1 unknown"},
        {"message refused", {kGreeting, kPlainEhlo, kOk, kOk, kOk, "354 go\r\n", "554 spam\r\n", "221\r\n"}, "",
         DeliveryResult::kNeverDeliverable, "end\r\n.\r\nQUIT", "554 spam"},
        {"DATA for later", {kGreeting, kPlainEhlo, kOk, kOk, kOk, "452 full\r\n", "221\r\n"}, "",
         DeliveryResult::kRetryLater, "DATA\r\nQUIT", "452 full"},
        {"refused greeting", {"554 go away\r\n", "221\r\n"}, "", DeliveryResult::kRetryLater, "QUIT", "554 go away"},
        {"a reply in another code page: valid UTF-8", {"554 b\xB3\xB9" "d \xC5\x82\xC5\r\n", "221\r\n"}, "",
         DeliveryResult::kRetryLater, "QUIT", "554 b??d \xC5\x82?"},
        {"garbage", {"hello there\r\n"}, "", DeliveryResult::kRetryLater, "[open mail.example.com:587][close]",
         "hello there"},
        {"codes that differ in one reply", {kGreeting, "250-a\r\n251 b\r\n"}, "", DeliveryResult::kRetryLater,
         "EHLO LAB-PC\r\n[close]", "251 b"},
        {"an over-long line", {kGreeting, "250-" + std::string(1000, 'x') + "\r\n250 ok\r\n"}, "",
         DeliveryResult::kRetryLater, "EHLO LAB-PC\r\n[close]", ""},
        {"an endless line", {kGreeting, "250-" + std::string(5000, 'x')}, "", DeliveryResult::kRetryLater,
         "EHLO LAB-PC\r\n[close]", ""},
        {"too many lines", {kGreeting, [] {
                                std::string many;
                                for (int i = 0; i < kSmtpReplyLinesMost; ++i)
                                    many += "250-line\r\n";
                                return many + "250 end\r\n";
                            }()},
         "", DeliveryResult::kRetryLater, "EHLO LAB-PC\r\n[close]", ""},
        {"closed mid-reply", {kGreeting, "250-mail.example.com\r\n250-STA"}, "", DeliveryResult::kRetryLater,
         "EHLO LAB-PC\r\n[close]", ""},
        {"hangs mid-reply", {kGreeting, "250-mail.example.com\r\n" + kHang}, "", DeliveryResult::kRetryLater,
         "EHLO LAB-PC\r\n[close]", "60 s"},
        {"hangs after the message", {kGreeting, kPlainEhlo, kOk, kOk, kOk, "354 go\r\n", kHang}, "",
         DeliveryResult::kRetryLater, "end\r\n.\r\n[close]", "60 s"},
        {"a server that takes longer than the whole dialogue may", Delivery({kGreeting, kPlainEhlo}), "",
         DeliveryResult::kRetryLater, "[open mail.example.com:587][close]", "zbyt wolno", 0},
        {"plain text slipped in before TLS", {kGreeting, kTlsEhlo, "220 go\r\n250-AUTH PLAIN\r\n"}, "secret",
         DeliveryResult::kRetryLater, "STARTTLS\r\n[close]", ""},
    };
    for (const auto& c : cases) {
        CScriptedServer server(c.replies);
        SmtpJob job = Job(c.strPassword);
        job.nDialogueMs = c.nDialogueMs;
        const DeliveryResult result = SendSmtp(server, job);
        EXPECT_EQ(result.kind, c.kind) << c.name << ": " << result.strAnswer;
        EXPECT_NE(server.strSent.find(c.strSent), std::string::npos) << c.name << ":\n" << server.strSent;
        EXPECT_NE(result.strAnswer.find(c.strAnswer), std::string::npos) << c.name << ": " << result.strAnswer;
        EXPECT_FALSE(result.strAnswer.empty()) << c.name;
        if (!c.strPassword.empty() && server.strSent.find("[tls]") == std::string::npos) {
            EXPECT_EQ(server.strSent.find("AUTH"), std::string::npos) << c.name << ": a password without TLS";
        }
    }
}

TEST(SmtpSession, SmtpsStartsWithTlsAndNeedsNoStartTls) {
    CScriptedServer server(Delivery({kGreeting, kAuthEhlo, "235 ok\r\n"}));
    SmtpJob job = Job("secret");
    job.url.bTls = true;
    job.url.nPort = 465;
    EXPECT_EQ(SendSmtp(server, job).kind, DeliveryResult::kDelivered);
    EXPECT_EQ(server.strSent.find("[open mail.example.com:465 tls]EHLO LAB-PC\r\nAUTH PLAIN "), 0u) << server.strSent;
}

NotifySettings MailSettings() {
    NotifySettings s;
    s.strSmtpUrl = "smtp://mail.example.com";
    s.strFrom = "qm@lab.example";
    s.strTo = "a@example.com, b@example.com";
    return s;
}

// The way owns each stream it makes; what they were sent stays in sent.
NotifyStreamFactory Server(std::vector<std::string> replies, std::string& sent) {
    return [replies, &sent] { return std::make_unique<CScriptedServer>(replies, &sent); };
}

TEST(MailWay, ComposesAndSendsOrWaitsForBetterSettings) {
    std::string sent;
    CMailWay way(MailSettings(), "", Server(Delivery({kGreeting, kPlainEhlo}), sent));
    Notification n;
    n.nId = 5;
    n.strPc = "Pracownia 2";
    n.strTime = "2026-12-08 14:03:12 +01:00";
    n.strSubject = "Test";
    n.strText = "Wiadomo\xC5\x9B\xC4\x87 pr\xC3\xB3" "bna\n";
    EXPECT_EQ(way.Deliver(n).kind, DeliveryResult::kDelivered);
    for (const char* part : {"EHLO Pracownia-2\r\n", "\r\nDate: Tue, 08 Dec 2026 14:03:12 +0100\r\n",
                             "Message-ID: <qm487.5.202612081403120100.", "Wiadomo=C5=9B=C4=87 pr=C3=B3bna"})
        EXPECT_NE(sent.find(part), std::string::npos) << part << "\n" << sent;

    // The password goes out as typed, in either form it is held in (the
    // Windows-1250 one is what earlier versions stored); a recipient refused
    // while the other took the message is logged.
    EXPECT_EQ(SecretTextFromUtf8("has\xC5\x82o"), "has\xB3o");
    for (const std::string& typed :
         {std::string("has\xC5\x82o"), std::string("\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C"),
          std::string("\xC4\xB1\xC5\x9F\xC4\x9F")}) {
        std::string talk;
        std::vector<std::string> notes;
        CMailWay secured(MailSettings(), SecretTextFromUtf8(typed),
                         Server({kGreeting, kTlsEhlo, "220 go\r\n", kAuthEhlo, "235 ok\r\n", kOk,
                                 "550 5.1.1 <a@example.com> unknown\r\n", kOk, "354 go\r\n", "250 queued\r\n"},
                                talk));
        secured.SetNote([&](const std::string& line) { notes.push_back(line); });
        EXPECT_EQ(secured.Deliver(n).kind, DeliveryResult::kDelivered);
        EXPECT_NE(talk.find("AUTH PLAIN " + Base64Encode(std::string(2, '\0') + typed) + "\r\n"), std::string::npos)
            << talk;
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_NE(notes[0].find("Test \xE2\x80\x94 a@example.com: 550 5.1.1"), std::string::npos) << notes[0];
    }

    const struct {
        const char* url;
        const char* from;
        const char* to;
        const char* ca;
    } faults[] = {
        {"smtp:/mail.example.com", "qm@lab.example", "a@example.com", ""},
        {"smtp://mail.example.com", "qm@lab.example", "a@example.com\r\nBcc: x@y.pl", ""},
        {"smtp://mail.example.com", "qm lab", "a@example.com", ""},
        // Read from whatever folder is current: any file there could be trusted.
        {"smtp://mail.example.com", "qm@lab.example", "a@example.com", "ca.pem"},
    };
    for (const auto& f : faults) {
        NotifySettings s = MailSettings();
        s.strSmtpUrl = f.url;
        s.strFrom = f.from;
        s.strTo = f.to;
        s.strSmtpCaFile = f.ca;
        std::string unused;
        CMailWay bad(s, "", Server({kGreeting}, unused));
        EXPECT_FALSE(bad.SettingsFault().empty()) << f.url << " " << f.from << " " << f.to;
        const DeliveryResult result = bad.Deliver(n);
        EXPECT_EQ(result.kind, DeliveryResult::kRetryLater);
        EXPECT_EQ(result.strAnswer, bad.SettingsFault());
        EXPECT_EQ(unused, "");
    }

    std::string after;
    CMailWay cancelled(MailSettings(), "", Server({kGreeting}, after));
    cancelled.Cancel();
    EXPECT_EQ(cancelled.Deliver(n).kind, DeliveryResult::kRetryLater);
    EXPECT_EQ(after, "");
}

class CScriptedPoster : public IHttpPoster {
public:
    HttpAnswer answer;
    std::string strContentType, strBody;
    HttpAnswer Post(const std::string&, const std::string& type, const std::string& body, unsigned) override {
        strContentType = type;
        strBody = body;
        return answer;
    }
    void Cancel() override {}
};

TEST(WebhookWay, StatusDecidesTheMessagesFate) {
    const struct {
        int nStatus;
        DeliveryResult::Kind kind;
    } cases[] = {
        {200, DeliveryResult::kDelivered},        {204, DeliveryResult::kDelivered},
        {0, DeliveryResult::kRetryLater},         {301, DeliveryResult::kRetryLater},
        {400, DeliveryResult::kNeverDeliverable}, {404, DeliveryResult::kNeverDeliverable},
        {408, DeliveryResult::kRetryLater},       {429, DeliveryResult::kRetryLater},
        {500, DeliveryResult::kRetryLater},       {503, DeliveryResult::kRetryLater},
    };
    Notification n;
    n.strSubject = "S";
    n.strText = "T\n";
    for (const char* format : {"json", "text"}) {
        for (const auto& c : cases) {
            NotifySettings s;
            s.strWebhookUrl = "https://hooks.example.com/x";
            s.strWebhookFormat = format;
            auto poster = std::make_unique<CScriptedPoster>();
            CScriptedPoster& seen = *poster;
            seen.answer.nStatus = c.nStatus;
            seen.answer.strBody = "b\r\n\xB3\xC5\x82ody";  // a Windows-1250 byte, then UTF-8
            seen.answer.strError = c.nStatus ? "" : "no answer";
            CWebhookWay way(s, std::move(poster));
            const DeliveryResult result = way.Deliver(n);
            EXPECT_EQ(result.kind, c.kind) << c.nStatus;
            EXPECT_EQ(result.strAnswer,
                      c.nStatus ? "HTTP " + std::to_string(c.nStatus) + ": b  ?\xC5\x82ody" : "no answer");
            EXPECT_EQ(seen.strContentType, format[0] == 'j' ? "application/json" : "text/plain; charset=utf-8");
            EXPECT_EQ(seen.strBody, format[0] == 'j' ? WebhookJson(n) : "S\n\nT\n");
        }
    }
    for (const char* url : {"ftp://x", "https://", "https://a b", "hooks.example.com"}) {
        NotifySettings s;
        s.strWebhookUrl = url;
        EXPECT_EQ(CWebhookWay(s, std::make_unique<CScriptedPoster>()).Deliver(n).kind, DeliveryResult::kRetryLater)
            << url;
    }
}

class CScriptedStarter : public IProgramStarter {
public:
    bool bStarts = true;
    std::string strPath;
    std::vector<std::string> args;
    std::vector<std::function<void()>> ends;  // the programs' started
    bool Start(const std::string& path, const std::vector<std::string>& a, unsigned, std::string* pError,
               std::function<void()> onEnded) override {
        strPath = path;
        args = a;
        ends.push_back(std::move(onEnded));
        *pError = "file not found";
        return bStarts;
    }
};

TEST(ProgramWay, StartedByItsFullPathOnly) {
    Notification n;
    n.event = NotifyEvent::kSilent;
    const struct {
        const char* path;
        bool bStarts;
        DeliveryResult::Kind kind;
    } cases[] = {
        {"C:\\Programy\\powiadom.exe", true, DeliveryResult::kDelivered},
        {"\\\\serwer\\udzia\xB3\\a.exe", true, DeliveryResult::kDelivered},
        {"C:\\Programy\\brak.exe", false, DeliveryResult::kRetryLater},
        {"C:\\Skrypty\\alarm.ps1", true, DeliveryResult::kDelivered},
        {"powiadom.exe", true, DeliveryResult::kRetryLater},
        {"C:powiadom.exe", true, DeliveryResult::kRetryLater},
        {"", true, DeliveryResult::kRetryLater},
    };
    for (const auto& c : cases) {
        NotifySettings s;
        s.strProgram = c.path;
        auto starter = std::make_unique<CScriptedStarter>();
        CScriptedStarter& seen = *starter;
        seen.bStarts = c.bStarts;
        CProgramWay way(s, std::move(starter));
        const DeliveryResult result = way.Deliver(n);
        EXPECT_EQ(result.kind, c.kind) << c.path;
        if (!seen.strPath.empty()) {
            EXPECT_EQ(seen.args.front(), seen.strPath.back() == '1' ? "-Kind:silent" : "silent");  // a script's by name
            EXPECT_EQ(seen.strPath.find('\xB3'), std::string::npos);  // UTF-8 from the settings' Windows-1250
        }
        if (!c.bStarts) {
            EXPECT_NE(result.strAnswer.find("file not found"), std::string::npos);
        }
    }
}

// A backlog starts its programs one after another; Cancel ends that wait.
TEST(ProgramWay, OneProgramRunsAtATime) {
    auto starter = std::make_unique<CScriptedStarter>();
    auto& ends = starter->ends;
    NotifySettings s;
    s.strProgram = "C:\\Programy\\powiadom.exe";
    CProgramWay way(s, std::move(starter));
    ASSERT_EQ(way.Deliver(Notification()).kind, DeliveryResult::kDelivered);
    auto second = std::async(std::launch::async, [&] { return way.Deliver(Notification()); });
    EXPECT_EQ(second.wait_for(std::chrono::milliseconds(500)), std::future_status::timeout);  // not started
    ends.at(0)();
    ASSERT_EQ(second.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(second.get().kind, DeliveryResult::kDelivered);
    auto third = std::async(std::launch::async, [&] { return way.Deliver(Notification()); });
    way.Cancel();
    ASSERT_EQ(third.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(third.get().kind, DeliveryResult::kRetryLater);
}

// A start from a share that does not answer may take Windows a minute: a
// close (Cancel) does not wait for it.
TEST(ProgramWay, CancelReturnsAStartThatHangs) {
    struct CHangingStarter : IProgramStarter {
        std::shared_future<void> go;
        bool Start(const std::string&, const std::vector<std::string>&, unsigned, std::string*,
                   std::function<void()>) override {
            go.wait();
            return true;
        }
    };
    std::promise<void> release;
    auto starter = std::make_unique<CHangingStarter>();
    starter->go = release.get_future().share();
    NotifySettings s;
    s.strProgram = "\\\\serwer\\udzial\\a.exe";
    CProgramWay way(s, std::move(starter));
    auto delivered = std::async(std::launch::async, [&] { return way.Deliver(Notification()); });
    way.Cancel();  // before Deliver began or while it waits: either way it returns
    const bool bReturned = delivered.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    release.set_value();
    ASSERT_TRUE(bReturned);
    EXPECT_EQ(delivered.get().kind, DeliveryResult::kRetryLater);
}

}  // namespace
