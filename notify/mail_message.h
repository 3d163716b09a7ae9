// A notification as an e-mail: the addresses it goes to, the message in
// RFC 5322 form (UTF-8 text, quoted-printable, the subject as encoded
// words), and the message as the DATA command carries it.
#pragma once

#include "notify/notification.h"

#include <string>
#include <vector>

enum class MailAddressFault {
    kNone,
    kForm,      // not one "user@example.com"
    kNotAscii,  // a letter outside ASCII, which plain SMTP cannot carry
};

// One mailbox, "user@example.com": ASCII, one '@' with something on both
// sides, at most 254 bytes, and nothing that could end a header or a
// command (no control characters, blanks, <>, quotes, brackets, commas or
// semicolons). The dialog and the sending judge by this one rule.
MailAddressFault CheckMailAddress(const std::string& address);
inline bool IsValidMailAddress(const std::string& address) {
    return CheckMailAddress(address) == MailAddressFault::kNone;
}

// NOTIFY_TO's items: separated by commas or semicolons (as Outlook writes
// them), each trimmed, empty ones dropped.
std::vector<std::string> SplitAddressList(const std::string& text);

// SplitAddressList's items, each checked. False, with a Polish reason
// (UTF-8), when one address is not valid or none is left.
bool ParseAddressList(const std::string& text, std::vector<std::string>& addresses, std::string* pReason);

// The header field's text as RFC 2047 encoded words when it is not plain
// printable ASCII: "=?UTF-8?B?...?=" words of at most 75 characters, never
// splitting a UTF-8 character, joined by CRLF and a space so that no line of
// "Subject: " with it passes 76 characters. Control characters become
// spaces first: nothing can start a new header.
std::string EncodeHeaderText(const std::string& utf8);

// UTF-8 text (lines ended by "\n") as quoted-printable lines, CRLF-ended,
// none longer than 76 characters.
std::string QuotedPrintable(const std::string& utf8);

// The Date header's value from the notification's time,
// "2026-12-08 14:03:12 +01:00" -> "Tue, 08 Dec 2026 14:03:12 +0100".
// False when the time is not in that form.
bool MailDateFromEventTime(const std::string& eventTime, std::string& date);

// A Message-ID that stays the same each time the same notification is
// tried again, so a recipient's mail program can tell a second copy:
// "<qm487.<id>.<time>.<the PC and profile, hashed>@<the sender's domain>>".
std::string MailMessageId(const Notification& message, const std::string& from);

// The whole message, CRLF-ended lines: From, To, Subject, Date, Message-ID,
// MIME-Version, Content-Type text/plain; charset=UTF-8,
// Content-Transfer-Encoding quoted-printable, Auto-Submitted, an empty line
// and the text.
std::string ComposeMail(const Notification& message, const std::string& from, const std::vector<std::string>& to,
                        const std::string& date, const std::string& messageId);

// The message as DATA sends it: every line end made CRLF (a lone CR or LF
// could otherwise end the data early at some servers), a '.' doubled at the
// start of a line, and the ending "CRLF.CRLF".
std::string DotStuffed(const std::string& message);
