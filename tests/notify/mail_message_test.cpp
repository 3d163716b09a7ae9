// What a notification becomes on the wire: the e-mail's headers and text,
// the DATA form, the web hook's JSON and a program's arguments.
#include "common/base64.h"
#include "notify/mail_message.h"
#include "notify/notify_payloads.h"
#include "notify/smtp_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

// "Temperatura 3 powyżej 25,0 °C — zażółć gęślą jaźń", UTF-8.
const std::string kPolish =
    "Temperatura 3 powy\xC5\xBC" "ej 25,0 \xC2\xB0" "C \xE2\x80\x94 za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 "
    "g\xC4\x99\xC5\x9Bl\xC4\x85 ja\xC5\xBA\xC5\x84";

// Encoded words back to their text, each checked to be whole UTF-8.
std::string DecodeWords(const std::string& header) {
    std::string text;
    std::size_t at = 0;
    while (at < header.size()) {
        std::size_t end = header.find("\r\n ", at);
        const std::string word = header.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? header.size() : end + 3;
        EXPECT_LE(word.size(), 75u);
        EXPECT_EQ(word.compare(0, 10, "=?UTF-8?B?"), 0) << word;
        std::string bytes;
        EXPECT_TRUE(Base64Decode(word.substr(10, word.size() - 12), bytes)) << word;
        EXPECT_NE(static_cast<unsigned char>(bytes[0]) & 0xC0, 0x80u) << "a character split at " << word;
        text += bytes;
    }
    return text;
}

std::string DecodeQuotedPrintable(const std::string& qp) {
    std::string text;
    for (std::size_t i = 0; i < qp.size(); ++i) {
        if (qp.compare(i, 3, "=\r\n") == 0)
            i += 2;
        else if (qp[i] == '=')
            text += static_cast<char>(std::stoi(qp.substr(i + 1, 2), nullptr, 16)), i += 2;
        else if (qp.compare(i, 2, "\r\n") == 0)
            text += '\n', ++i;
        else
            text += qp[i];
    }
    return text;
}

void ExpectLinesWithin76(const std::string& text) {
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, 76u) << text.substr(start, end - start);
}

// powershell.exe -File's binding by its documented rules: "-Name:value" binds value whole to Name, "-Name"
// and "-Name:" the next argument, any other the first parameter left. An unknown name (an error) binds none.
std::map<std::string, std::string> BindLikePowerShell(const std::vector<std::string>& args,
                                                      const std::vector<std::string>& params) {
    std::map<std::string, std::string> bound;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const std::size_t colon = a.find(':');
        const std::string name = a.size() < 2 ? a : a.substr(1, colon - 1);
        if (a.size() < 2 || a[0] != '-')
            rest.push_back(a);
        else if (std::count(params.begin(), params.end(), name) == 0)
            return {};
        else
            bound[name] = colon + 1 < a.size() ? a.substr(colon + 1) : i + 1 < args.size() ? args[++i] : "";
    }
    for (std::size_t p = 0, r = 0; p < params.size() && r < rest.size(); ++p)
        if (!bound.count(params[p]))
            bound[params[p]] = rest[r++];
    return bound;
}

Notification Alarm() {
    Notification n;
    n.nId = 42;
    n.event = NotifyEvent::kAlarmRaised;
    n.strPc = "LAB-PC";
    n.strProfile = "Ch\xC5\x82odnia";
    n.nInstrument = 7;
    n.nChannel = 3;
    n.strValue = "25.4 \xC2\xB0" "C";
    n.strLimit = "25.0 \xC2\xB0" "C";
    n.strTime = "2026-12-08 14:03:12 +01:00";
    n.strSubject = kPolish;
    n.strText = "Kana\xC5\x82 3: \"25.4\"\\\n\tkoniec\n";
    return n;
}

TEST(MailMessage, AddressListsKeepOnlyPlainMailboxes) {
    const struct {
        const char* text;
        int nCount;  // -1: refused
    } cases[] = {
        {"a@b.pl, c.d@e.com", 2},  {" , a@b.pl ,,", 1},       {"", -1},
        {" , ", -1},               {"ab.pl", -1},             {"a@b.pl\r\nBcc: x@y.pl", -1},
        {"<a@b.pl>", -1},          {"a b@c.pl", -1},          {"a@b@c.pl", -1},
        {"@b.pl", -1},             {"a@", -1},                {"\xB3" "a@b.pl", -1},
        {"ola@firma.pl;jan@firma.pl", 2}, {"a@b.pl; c@d.pl, e@f.pl;", 3}, {"jan@firma@pl", -1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> list;
        std::string reason;
        EXPECT_EQ(ParseAddressList(c.text, list, &reason) ? static_cast<int>(list.size()) : -1, c.nCount) << c.text;
        EXPECT_EQ(reason.empty(), c.nCount >= 0) << c.text;
    }
}

TEST(MailMessage, PolishSubjectIsEncodedWordsThatDecodeBack) {
    const std::string longer = kPolish + " " + kPolish + " " + kPolish;
    for (const std::string& subject : {kPolish, longer}) {
        const std::string header = EncodeHeaderText(subject);
        EXPECT_EQ(DecodeWords(header), subject);
        ExpectLinesWithin76("Subject: " + header + "\r\n");
    }
    EXPECT_EQ(EncodeHeaderText("Test QM487"), "Test QM487");
    // A line break cannot start a header of its own, nor can a text that
    // looks encoded pass as plain.
    EXPECT_EQ(EncodeHeaderText("a\r\nBcc: x@y.pl"), "a  Bcc: x@y.pl");
    EXPECT_EQ(DecodeWords(EncodeHeaderText("=?UTF-8?B?eA==?=")), "=?UTF-8?B?eA==?=");
}

TEST(MailMessage, QuotedPrintableKeepsTheTextWithin76) {
    EXPECT_EQ(QuotedPrintable("Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 a=b \n\nkoniec \n"),
              "Za=C5=BC=C3=B3=C5=82=C4=87 a=3Db=20\r\n\r\nkoniec=20\r\n");
    std::string text;
    for (int i = 0; i < 120; ++i)
        text += i % 7 ? "\xC4\x85" : " x";
    text += "\n" + std::string(300, 'y') + "\n";
    const std::string qp = QuotedPrintable(text);
    ExpectLinesWithin76(qp);
    EXPECT_EQ(DecodeQuotedPrintable(qp), text);
}

TEST(MailMessage, WholeMessage) {
    std::string date;
    ASSERT_TRUE(MailDateFromEventTime("2026-12-08 14:03:12 +01:00", date));
    EXPECT_EQ(date, "Tue, 08 Dec 2026 14:03:12 +0100");
    ASSERT_TRUE(MailDateFromEventTime("1970-01-01 00:00:00 -05:30", date));
    EXPECT_EQ(date, "Thu, 01 Jan 1970 00:00:00 -0530");
    for (const char* bad : {"", "2026-12-08 14:03:12", "2026-13-08 14:03:12 +01:00", "2026-12-08 14:03:12 +01:00x"})
        EXPECT_FALSE(MailDateFromEventTime(bad, date)) << bad;

    const Notification n = Alarm();
    const std::string id = MailMessageId(n, "qm@lab.example");
    EXPECT_EQ(id.find("<qm487.42.202612081403120100."), 0u) << id;
    EXPECT_EQ(id.substr(id.size() - 13), "@lab.example>");
    // Two profiles or PCs mailing from one address after one power cut:
    // a mail program drops a second message with the same id.
    Notification otherPc = n, otherProfile = n;
    otherPc.strPc = "LAB-PC2";
    otherProfile.strProfile.clear();
    EXPECT_NE(MailMessageId(otherPc, "qm@lab.example"), id);
    EXPECT_NE(MailMessageId(otherProfile, "qm@lab.example"), id);
    std::vector<std::string> to;
    for (int i = 0; i < 6; ++i)
        to.push_back("recipient" + std::to_string(i) + "@example.com");
    const std::string mail = ComposeMail(n, "qm@lab.example", to, date, "<id@x>");
    const std::string headers = mail.substr(0, mail.find("\r\n\r\n") + 2);
    EXPECT_EQ(headers.find("From: qm@lab.example\r\nTo: recipient0@example.com, recipient1@example.com,"), 0u);
    EXPECT_NE(headers.find(",\r\n recipient3@example.com, recipient4@example.com, recipient5@example.com\r\n"
                           "Subject: =?UTF-8?B?"),
              std::string::npos)
        << headers;
    EXPECT_NE(headers.find("\r\nDate: Thu, 01 Jan 1970 00:00:00 -0530\r\nMessage-ID: <id@x>\r\nMIME-Version: 1.0\r\n"
                           "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: quoted-printable\r\n"),
              std::string::npos)
        << headers;
    EXPECT_EQ(DecodeQuotedPrintable(mail.substr(headers.size() + 2)), n.strText);
    ExpectLinesWithin76(mail);
    for (std::size_t i = 0; i < mail.size(); ++i) {
        if (mail[i] == '\n') {
            EXPECT_EQ(mail[i - 1], '\r') << "a bare line feed at " << i;
        }
    }
}

TEST(MailMessage, DotStuffing) {
    const struct {
        const char* message;
        const char* data;
    } cases[] = {
        {"a\r\n.b\r\n", "a\r\n..b\r\n.\r\n"},
        {".", "..\r\n.\r\n"},
        {"a\nb", "a\r\nb\r\n.\r\n"},
        {"x\r.\n.\r\n", "x\r\n..\r\n..\r\n.\r\n"},
        {"", ".\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DotStuffed(c.message), c.data) << c.message;
}

TEST(MailMessage, SmtpUrlsAndEhloNames) {
    const struct {
        const char* url;
        const char* host;  // nullptr: refused
        int nPort;
        bool bTls;
    } cases[] = {
        {"smtp://mail.example.com", "mail.example.com", 587, false},
        {"smtps://mail.example.com", "mail.example.com", 465, true},
        {"SMTP://mail.example.com:25/", "mail.example.com", 25, false},
        {"smtps://[2001:db8::1]:2465", "2001:db8::1", 2465, true},
        {"smtp://[::1]", "::1", 587, false},
        {"smtp://exch_01:25", "exch_01", 25, false},
        {"smtp://poczta.\xB3\xF3" "d\x9F.pl", nullptr, 0, false},
        {"http://mail.example.com", nullptr, 0, false},
        {"smtp://", nullptr, 0, false},
        {"smtp://mail.example.com:0", nullptr, 0, false},
        {"smtp://mail.example.com:65536", nullptr, 0, false},
        {"smtp://user@mail.example.com", nullptr, 0, false},
        {"smtp://mail.example.com/path", nullptr, 0, false},
        {"smtp://[::1", nullptr, 0, false},
        {"smtp://mail.example.com\r\n", nullptr, 0, false},
    };
    for (const auto& c : cases) {
        SmtpUrl url;
        const char* pszFault = SmtpUrlFault(c.url, &url);
        ASSERT_EQ(pszFault == nullptr, c.host != nullptr) << c.url;
        if (c.host) {
            EXPECT_EQ(url.strHost, c.host);
            EXPECT_EQ(url.nPort, c.nPort);
            EXPECT_EQ(url.bTls, c.bTls);
        }
    }
    EXPECT_EQ(EhloName("LAB-PC"), "LAB-PC");
    EXPECT_EQ(EhloName("Pracownia \xC5\x82" "\r\nRCPT"), "Pracownia-----RCPT");
    EXPECT_EQ(EhloName(""), "qm487");
    EXPECT_EQ(EhloName(std::string(100, 'a')).size(), 63u);
}

TEST(NotifyPayloads, JsonEscapedAndProgramArgumentsInOrder) {
    Notification n = Alarm();
    n.strSubject = "Alarm \"3\"";
    EXPECT_EQ(WebhookJson(n),
              "{\"text\":\"Alarm \\\"3\\\"\\u000a\\u000aKana\xC5\x82 3: \\\"25.4\\\"\\\\\\u000a\\u0009koniec\\u000a\","
              "\"subject\":\"Alarm \\\"3\\\"\",\"event\":\"alarm\",\"pc\":\"LAB-PC\",\"profile\":\"Ch\xC5\x82odnia\","
              "\"instrument\":7,\"channel\":3,\"value\":\"25.4 \xC2\xB0" "C\",\"limit\":\"25.0 \xC2\xB0" "C\","
              "\"time\":\"2026-12-08 14:03:12 +01:00\",\"duration_seconds\":null}");
    Notification start;
    start.event = NotifyEvent::kUncleanStart;
    start.strSubject = "Start";
    start.nDurationSeconds = 0;
    EXPECT_EQ(WebhookJson(start), "{\"text\":\"Start\",\"subject\":\"Start\",\"event\":\"unclean_start\",\"pc\":\"\","
                                  "\"profile\":\"\",\"instrument\":null,\"channel\":null,\"value\":null,"
                                  "\"limit\":null,\"time\":null,\"duration_seconds\":0}");
    const std::vector<std::string> args = ProgramArguments(n);
    const std::vector<std::string> expected = {"alarm", "LAB-PC", "Ch\xC5\x82odnia", "7", "3", "25.4 \xC2\xB0" "C",
                                               "25.0 \xC2\xB0" "C", "2026-12-08 14:03:12 +01:00",
                                               NotifyMessageText(n), ""};
    EXPECT_EQ(args, expected);

    // A script binds each field whole by name, also below zero or with a profile named like a parameter; a
    // missing field stays unbound. Bare, "-Text" and "-15.2 °" would read as names.
    n.strValue = "-15.2 \xC2\xB0";
    n.strProfile = "-Text";
    const std::vector<std::string> params(std::begin(kScriptParameters), std::end(kScriptParameters));
    std::map<std::string, std::string> fields;
    for (std::size_t i = 0; i < params.size(); ++i)
        if (i != 9)
            fields[params[i]] = ProgramArguments(n)[i];
    EXPECT_EQ(BindLikePowerShell(ScriptArguments(n), params), fields);
    EXPECT_NE(BindLikePowerShell(ProgramArguments(n), params), fields);
}

}  // namespace
