#include "notify/smtp_session.h"

#include "common/base64.h"
#include "config/cp1250.h"
#include "notify/mail_message.h"

#include <algorithm>
#include <cctype>
#include <chrono>

namespace {

// Polish texts are written as the rest of the program writes them
// (Windows-1250) and leave as UTF-8, as DeliveryResult carries them.
std::string Pl(const std::string& cp1250) { return Cp1250ToUtf8(cp1250); }

const std::size_t kAnswerMost = 300;

struct Reply {
    int nCode = 0;
    std::vector<std::string> texts;  // each line's text after the code
};

// A reply as the dialog and the log (UTF-8) show it: the code and the
// lines' texts on one line, control characters and bytes of no UTF-8
// character (a server's own code page) replaced, at most kAnswerMost bytes.
std::string ReplyText(const Reply& reply) {
    std::string text = std::to_string(reply.nCode);
    for (const std::string& line : reply.texts)
        text += " " + line;
    bool bCut = false;
    text = Utf8OneLine(text, kAnswerMost, '?', &bCut);
    return bCut ? text + "..." : text;
}

// What the server offered in its answer to EHLO.
struct Extensions {
    bool bStartTls = false;
    bool bPlain = false;
    bool bLogin = false;
};

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// A line's words, split at blanks and tabs: RFC 5321 lets a keyword be
// written in any case, and servers add blanks it does not (a trailing one
// after STARTTLS), so nothing offered is missed for its spelling.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while ((at = line.find_first_not_of(" \t", at)) != std::string::npos) {
        const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

Extensions ParseExtensions(const Reply& reply) {
    Extensions e;
    for (std::size_t i = 1; i < reply.texts.size(); ++i) {
        std::vector<std::string> words = Words(Upper(reply.texts[i]));
        // "AUTH LOGIN PLAIN", and the older "AUTH=LOGIN PLAIN".
        if (!words.empty() && words[0].compare(0, 5, "AUTH=") == 0) {
            words.insert(words.begin() + 1, words[0].substr(5));
            words[0] = "AUTH";
        }
        if (words.empty())
            continue;
        e.bStartTls = e.bStartTls || words[0] == "STARTTLS";
        for (std::size_t k = 1; k < words.size() && words[0] == "AUTH"; ++k) {
            e.bPlain = e.bPlain || words[k] == "PLAIN";
            e.bLogin = e.bLogin || words[k] == "LOGIN";
        }
    }
    return e;
}

// A 5xx that a setting can mend rather than one that refuses the message
// itself: sign-in wanted or refused (530, 534, 535, 538), or an address
// refused (RFC 3463 status 5.1.x) that a server told only after the data.
bool IsSettingRefusal(const Reply& reply) {
    const int n = reply.nCode;
    if (n == 530 || n == 534 || n == 535 || n == 538)
        return true;
    const std::string first = reply.texts.empty() ? std::string() : reply.texts.front();
    return first.compare(0, 4, "5.1.") == 0;
}

// Lines and replies read within their bounds and time; what went wrong is
// kept as a Polish reason.
class CDialogue {
public:
    CDialogue(INotifyStream& stream, unsigned nReplyMs, unsigned nDialogueMs)
        : m_stream(stream), m_nReplyMs(nReplyMs),
          m_end(std::chrono::steady_clock::now() + std::chrono::milliseconds(nDialogueMs)) {}

    bool Read(Reply& reply) {
        reply = Reply();
        for (int i = 0;; ++i) {
            if (i == kSmtpReplyLinesMost)
                return Fail(Pl("Serwer poczty przys\xB3" "a\xB3 zbyt d\xB3ug\xB9 odpowied\x9F."));
            std::string line;
            if (!ReadLine(line))
                return false;
            const bool bCoded = line.size() >= 3 && line[0] >= '2' && line[0] <= '5' && line[1] >= '0' &&
                                line[1] <= '9' && line[2] >= '0' && line[2] <= '9' &&
                                (line.size() == 3 || line[3] == ' ' || line[3] == '-');
            const int nCode = bCoded ? std::stoi(line.substr(0, 3)) : 0;
            if (!bCoded || (i > 0 && nCode != reply.nCode)) {
                Reply shown;
                shown.texts.push_back(line);
                return Fail(Pl("Serwer poczty odpowiedzia\xB3 niezrozumiale:") + ReplyText(shown).substr(1));
            }
            reply.nCode = nCode;
            reply.texts.push_back(line.size() > 4 ? line.substr(4) : std::string());
            if (line.size() == 3 || line[3] == ' ')
                return true;
        }
    }

    bool Command(const std::string& line, Reply& reply) {
        if (!m_stream.Send(line + "\r\n"))
            return Fail(Pl("Serwer poczty zako\xF1" "czy\xB3 po\xB3\xB9" "czenie."));
        return Read(reply);
    }

    // Bytes that came after the last reply: before TLS starts, a server (or
    // someone on the way) may not slip in what would then pass as encrypted.
    bool HasUnread() const { return !m_buffer.empty(); }

    bool Fail(const std::string& reason) {
        m_strFault = reason;
        return false;
    }
    const std::string& Fault() const { return m_strFault; }

private:
    bool ReadLine(std::string& line) {
        for (;;) {
            const std::size_t lf = m_buffer.find('\n');
            if (lf != std::string::npos && lf < kSmtpLineMost) {
                line = m_buffer.substr(0, lf);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                m_buffer.erase(0, lf + 1);
                return true;
            }
            if (m_buffer.size() >= kSmtpLineMost)
                return Fail(Pl("Serwer poczty przys\xB3" "a\xB3 zbyt d\xB3ugi wiersz."));
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return Fail(Pl("Serwer poczty odpowiada zbyt wolno."));
            char chunk[1024];
            const int n = m_stream.Receive(chunk, sizeof chunk,
                                           static_cast<unsigned>(std::min<long long>(m_nReplyMs, left.count())));
            if (n == 0)
                return Fail(Pl("Serwer poczty nie odpowiedzia\xB3 w ci\xB9gu ") + std::to_string((m_nReplyMs + 999) / 1000) +
                            " s.");
            if (n < 0)
                return Fail(Pl("Serwer poczty zako\xF1" "czy\xB3 po\xB3\xB9" "czenie."));
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

    INotifyStream& m_stream;
    unsigned m_nReplyMs;
    std::chrono::steady_clock::time_point m_end;
    std::string m_buffer;
    std::string m_strFault;
};

// One attempt's steps; each false return has set the result.
class CSmtpTalk {
public:
    CSmtpTalk(INotifyStream& stream, const SmtpJob& job, DeliveryResult& result, std::string* pRefused)
        : m_stream(stream),
          m_job(job),
          m_result(result),
          m_pRefused(pRefused),
          m_dialogue(stream, job.nReplyMs, job.nDialogueMs) {}

    bool Run() {
        Reply reply;
        if (!m_dialogue.Read(reply))
            return Broken();
        if (reply.nCode != 220)
            return Refused("powitanie", reply);
        bool bTls = m_job.url.bTls;
        Extensions ext;
        if (!Hello(ext))
            return false;
        if (!bTls && ext.bStartTls) {
            if (!m_dialogue.Command("STARTTLS", reply))
                return Broken();
            if (reply.nCode != 220)
                return Refused("STARTTLS", reply);
            if (m_dialogue.HasUnread())
                return Stop(Pl("Serwer poczty przys\xB3" "a\xB3 dane przed rozpocz\xEA" "ciem szyfrowania."));
            std::string error;
            if (!m_stream.StartTls(m_job.nConnectMs, &error))
                return Stop(Pl("Nie uda\xB3o si\xEA rozpocz\xB9\xE6 szyfrowania (STARTTLS): ") + error);
            bTls = true;
            if (!Hello(ext))
                return false;
        }
        if (!m_job.strPassword.empty()) {
            if (!bTls) {
                Quit();
                return Stop(Pl("Serwer poczty nie oferuje szyfrowania (STARTTLS), a has\xB3o nie jest wysy\xB3" "ane "
                               "bez niego."));
            }
            if (!Authenticate(ext))
                return false;
        }
        // A refused sender, like a refused recipient, is a setting to mend
        // (or a sign-in the server wants): the message waits for it.
        if (!Step("MAIL FROM:<" + m_job.strFrom + ">", 250, "MAIL FROM", reply))
            return false;
        std::string refused;
        std::size_t nAccepted = 0;
        for (const std::string& to : m_job.to) {
            if (!m_dialogue.Command("RCPT TO:<" + to + ">", reply))
                return Broken();
            if (reply.nCode == 250 || reply.nCode == 251) {
                ++nAccepted;
            } else if (reply.nCode >= 500) {
                refused += (refused.empty() ? "" : "; ") + to + ": " + ReplyText(reply);
            } else {
                // Taking the others now would send them a second copy when
                // this one is tried again: all of it waits.
                return Refused("RCPT TO " + to, reply);
            }
        }
        if (nAccepted == 0) {
            Quit();
            return Stop(Pl("Serwer poczty odrzuci\xB3 wszystkich odbiorc\xF3w: ") + refused);
        }
        if (!Step("DATA", 354, "DATA", reply))
            return false;
        if (!m_stream.Send(DotStuffed(m_job.strMessage)))
            return Stop(Pl("Serwer poczty zako\xF1" "czy\xB3 po\xB3\xB9" "czenie."));
        if (!m_dialogue.Read(reply))
            return Broken();
        if (reply.nCode != 250)
            return Refused(Pl("tre\x9C\xE6"), reply, true);
        Quit();
        m_result.kind = DeliveryResult::kDelivered;
        m_result.strAnswer = Pl("Serwer poczty przyj\xB9\xB3 wiadomo\x9C\xE6: ") + ReplyText(reply) +
                             (refused.empty() ? "" : Pl(". Odrzuceni odbiorcy: ") + refused);
        if (m_pRefused != nullptr)
            *m_pRefused = refused;
        return true;
    }

private:
    // EHLO, and HELO for a server that knows no extensions.
    bool Hello(Extensions& ext) {
        Reply reply;
        const std::string name = EhloName(m_job.strEhloName);
        if (!m_dialogue.Command("EHLO " + name, reply))
            return Broken();
        if (reply.nCode / 100 == 5) {
            ext = Extensions();
            return Step("HELO " + name, 250, "HELO", reply);
        }
        if (reply.nCode != 250)
            return Refused("EHLO", reply);
        ext = ParseExtensions(reply);
        return true;
    }

    bool Authenticate(const Extensions& ext) {
        const std::string& user = m_job.strUser;
        const std::string& password = m_job.strPassword;
        Reply reply;
        bool bSent;
        if (ext.bPlain && user.find('\0') == std::string::npos && password.find('\0') == std::string::npos) {
            bSent = m_dialogue.Command("AUTH PLAIN " + Base64Encode(std::string(1, '\0') + user + '\0' + password), reply);
        } else if (ext.bLogin) {
            bSent = m_dialogue.Command("AUTH LOGIN", reply) &&
                    (reply.nCode != 334 || m_dialogue.Command(Base64Encode(user), reply)) &&
                    (reply.nCode != 334 || m_dialogue.Command(Base64Encode(password), reply));
        } else {
            Quit();
            return Stop(Pl("Serwer poczty nie oferuje logowania (AUTH PLAIN ani LOGIN)."));
        }
        if (!bSent)
            return Broken();
        if (reply.nCode != 235) {
            Quit();
            return Stop(Pl("Serwer poczty nie przyj\xB9\xB3 logowania: ") + ReplyText(reply));
        }
        return true;
    }

    // A command that must get the code expected.
    bool Step(const std::string& command, int nExpected, const std::string& name, Reply& reply) {
        if (!m_dialogue.Command(command, reply))
            return Broken();
        if (reply.nCode != nExpected)
            return Refused(name, reply);
        return true;
    }

    // bMessage: the answer to the message's data, the only step whose 5xx
    // can refuse the message itself; any other waits to be tried again.
    bool Refused(const std::string& step, const Reply& reply, bool bMessage = false) {
        Quit();
        Stop(Pl("Serwer poczty odm\xF3wi\xB3 (") + step + "): " + ReplyText(reply));
        if (bMessage && reply.nCode >= 500 && !IsSettingRefusal(reply))
            m_result.kind = DeliveryResult::kNeverDeliverable;
        return false;
    }

    bool Broken() { return Stop(m_dialogue.Fault()); }

    bool Stop(const std::string& reason) {
        m_result.kind = DeliveryResult::kRetryLater;
        m_result.strAnswer = reason;
        return false;
    }

    // A polite end; its answer changes nothing.
    void Quit() {
        Reply reply;
        m_dialogue.Command("QUIT", reply);
    }

    INotifyStream& m_stream;
    const SmtpJob& m_job;
    DeliveryResult& m_result;
    std::string* m_pRefused;
    CDialogue m_dialogue;
};

bool ParsePort(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    port = std::stoi(text);
    return port > 0 && port <= 65535;
}

}  // namespace

const char* SmtpUrlFault(const std::string& text, SmtpUrl* pUrl) {
    static const char kForm[] = "Podaj adres serwera poczty w postaci smtp://serwer:587 lub smtps://serwer:465.";
    static const char kHostLetters[] = "Nazwa serwera poczty mo\xBF" "e zawiera\xE6 tylko litery bez polskich znak\xF3w, "
                                       "cyfry, kropki oraz znaki - i _.";
    SmtpUrl u;
    std::string rest;
    const std::string scheme = Upper(text.substr(0, 8));
    if (scheme.compare(0, 7, "SMTP://") == 0) {
        rest = text.substr(7);
        u.nPort = 587;
    } else if (scheme == "SMTPS://") {
        rest = text.substr(8);
        u.bTls = true;
        u.nPort = 465;
    }
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    if (rest.empty())
        return kForm;
    // What follows the host: nothing, or ":port".
    std::size_t after;
    if (rest[0] == '[') {
        after = rest.find(']');
        if (after == std::string::npos || after < 2)
            return kForm;
        u.strHost = rest.substr(1, after - 1);
        if (u.strHost.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos)
            return kForm;
        ++after;
    } else {
        after = std::min(rest.find(':'), rest.size());
        u.strHost = rest.substr(0, after);
        if (u.strHost.empty())
            return kForm;
        // '_' is no part of a DNS host name, but Windows names (and its
        // resolver) have it: exch_01 is found.
        for (char c : u.strHost) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return kHostLetters;
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.')
                return kForm;
        }
    }
    if (after < rest.size() && (rest[after] != ':' || !ParsePort(rest.substr(after + 1), u.nPort)))
        return kForm;
    if (pUrl != nullptr)
        *pUrl = u;
    return nullptr;
}

std::string EhloName(const std::string& pcName) {
    std::string name;
    for (char c : pcName) {
        if (name.size() == 63)
            break;
        const bool bKept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.';
        name += bKept ? c : '-';
    }
    const std::size_t first = name.find_first_not_of("-.");
    return first == std::string::npos ? "qm487" : name.substr(first, name.find_last_not_of("-.") - first + 1);
}

DeliveryResult SendSmtp(INotifyStream& stream, const SmtpJob& job, std::string* pRefused) {
    DeliveryResult result;
    if (pRefused != nullptr)
        pRefused->clear();
    bool bAddresses = IsValidMailAddress(job.strFrom) && !job.to.empty();
    for (const std::string& to : job.to)
        bAddresses = bAddresses && IsValidMailAddress(to);
    if (!bAddresses) {
        result.strAnswer = Pl("Niepoprawny adres nadawcy lub odbiorcy.");
        return result;
    }
    std::string error;
    if (!stream.Open(job.url.strHost, job.url.nPort, job.url.bTls, job.strCaFile, job.nConnectMs, &error)) {
        result.strAnswer = Pl("Brak po\xB3\xB9" "czenia z serwerem poczty ") + job.url.strHost + ": " + error;
        return result;
    }
    CSmtpTalk(stream, job, result, pRefused).Run();
    stream.Close();
    return result;
}
