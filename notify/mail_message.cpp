#include "notify/mail_message.h"

#include "common/base64.h"
#include "common/civil_time.h"
#include "config/cp1250.h"

#include <cstdio>

namespace {

// Raw bytes per encoded word: 13 base64 groups, a word of 64 characters,
// so "Subject: " and one word stay within 76.
const std::size_t kWordBytes = 39;
const std::size_t kLineMost = 76;

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsUtf8Continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

MailAddressFault CheckMailAddress(const std::string& address) {
    const std::size_t at = address.find('@');
    MailAddressFault fault = MailAddressFault::kNone;
    if (at == 0 || at == std::string::npos || at + 1 == address.size() ||
        address.find('@', at + 1) != std::string::npos || address.size() > 254)
        fault = MailAddressFault::kForm;
    for (char c : address) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b >= 0x80)
            return MailAddressFault::kNotAscii;
        if (b <= ' ' || b == 0x7F || std::string("<>\"(),;:\\[]").find(c) != std::string::npos)
            fault = MailAddressFault::kForm;
    }
    return fault;
}

std::vector<std::string> SplitAddressList(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find_first_of(",;", start);
        const std::string item =
            Trimmed(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (!item.empty())
            items.push_back(item);
        if (end == std::string::npos)
            return items;
        start = end + 1;
    }
}

bool ParseAddressList(const std::string& text, std::vector<std::string>& addresses, std::string* pReason) {
    const std::vector<std::string> found = SplitAddressList(text);
    for (const std::string& item : found) {
        if (!IsValidMailAddress(item)) {
            *pReason = Cp1250ToUtf8("Niepoprawny adres e-mail: \"" + item + "\".");
            return false;
        }
    }
    if (found.empty()) {
        *pReason = Cp1250ToUtf8("Nie podano adresu odbiorcy.");
        return false;
    }
    addresses = found;
    return true;
}

std::string EncodeHeaderText(const std::string& utf8) {
    std::string text = utf8;
    bool bPlain = text.size() <= kLineMost - 10 && text.find("=?") == std::string::npos;
    for (char& c : text) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b < ' ' || b == 0x7F)
            c = ' ';
        bPlain = bPlain && b < 0x7F;
    }
    if (bPlain)
        return text;
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = at + kWordBytes < text.size() ? at + kWordBytes : text.size();
        while (end < text.size() && end > at + 1 && IsUtf8Continuation(static_cast<unsigned char>(text[end])))
            --end;
        if (!out.empty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + Base64Encode(text.substr(at, end - at)) + "?=";
        at = end;
    }
    return out;
}

std::string QuotedPrintable(const std::string& utf8) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    std::string line;
    auto put = [&](const std::string& piece) {
        // A soft break ("=") before a piece that would pass the limit; the
        // piece itself ("=C5" included) is never split.
        if (line.size() + piece.size() > kLineMost - 1) {
            out += line + "=\r\n";
            line.clear();
        }
        line += piece;
    };
    std::size_t start = 0;
    while (start <= utf8.size()) {
        std::size_t end = utf8.find('\n', start);
        if (end == std::string::npos)
            end = utf8.size();
        if (start == utf8.size() && start != 0)
            break;  // the text ended with its last line's "\n"
        std::string source = utf8.substr(start, end - start);
        if (!source.empty() && source.back() == '\r')
            source.pop_back();
        for (std::size_t i = 0; i < source.size(); ++i) {
            const unsigned char b = static_cast<unsigned char>(source[i]);
            const bool bLast = i + 1 == source.size();
            if ((b >= '!' && b <= '~' && b != '=') || ((b == ' ' || b == '\t') && !bLast))
                put(std::string(1, static_cast<char>(b)));
            else
                put(std::string{'=', kHex[b >> 4], kHex[b & 15]});
        }
        out += line + "\r\n";
        line.clear();
        start = end + 1;
    }
    return out;
}

bool MailDateFromEventTime(const std::string& eventTime, std::string& date) {
    int y, mo, d, h, mi, s, oh, om;
    char sign;
    char tail;
    if (std::sscanf(eventTime.c_str(), "%4d-%2d-%2d %2d:%2d:%2d %c%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &sign, &oh, &om,
                    &tail) != 9 ||
        (sign != '+' && sign != '-') || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 ||
        oh > 14 || om > 59 || y < 1970 || h < 0 || mi < 0 || s < 0 || oh < 0 || om < 0)
        return false;
    static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::int64_t days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    char text[48];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", kDays[days % 7], d, kMonths[mo - 1],
                  y, h, mi, s, sign, oh, om);
    date = text;
    return true;
}

std::string MailMessageId(const Notification& message, const std::string& from) {
    std::string stamp;
    for (char c : message.strTime)
        if (c >= '0' && c <= '9')
            stamp += c;
    // Which copy sent it: two profiles or PCs mailing from one address count
    // their messages each from 1, and may tell one moment (a power cut).
    std::uint32_t copy = 2166136261u;
    for (char c : message.strPc + '\n' + message.strProfile) {
        copy ^= static_cast<unsigned char>(c);
        copy *= 16777619u;
    }
    char copyText[16];
    std::snprintf(copyText, sizeof copyText, ".%08x", static_cast<unsigned>(copy));
    const std::size_t at = from.find('@');
    const std::string domain = at == std::string::npos ? "qm487.invalid" : from.substr(at + 1);
    return "<qm487." + std::to_string(message.nId) + "." + stamp + copyText + "@" + domain + ">";
}

std::string ComposeMail(const Notification& message, const std::string& from, const std::vector<std::string>& to,
                        const std::string& date, const std::string& messageId) {
    std::string toLine = "To: ";
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < to.size(); ++i) {
        if (i > 0) {
            toLine += ",";
            if (toLine.size() - lineStart + 1 + to[i].size() > kLineMost) {
                toLine += "\r\n";
                lineStart = toLine.size();
            }
            toLine += " ";
        }
        toLine += to[i];
    }
    return "From: " + from + "\r\n" + toLine + "\r\nSubject: " + EncodeHeaderText(message.strSubject) +
           "\r\nDate: " + date + "\r\nMessage-ID: " + messageId +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\nAuto-Submitted: auto-generated\r\n\r\n" +
           QuotedPrintable(message.strText);
}

std::string DotStuffed(const std::string& message) {
    std::string out;
    out.reserve(message.size() + message.size() / 32 + 8);
    bool bLineStart = true;
    for (std::size_t i = 0; i < message.size(); ++i) {
        const char c = message[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n')
                ++i;
            out += "\r\n";
            bLineStart = true;
            continue;
        }
        if (bLineStart && c == '.')
            out += '.';
        out += c;
        bLineStart = false;
    }
    if (!bLineStart)
        out += "\r\n";
    return out + ".\r\n";
}
