// How a password or token typed in a dialog is held in memory and in the
// DPAPI blob of the settings file. Windows-1250 bytes when that code page
// holds every character exactly: the form earlier versions stored and read,
// so such a secret keeps its bytes both ways. Otherwise (Cyrillic, Greek,
// Turkish...) a mark and the UTF-8 bytes: the secret goes out as typed,
// never mapped to a look-alike or "?".
#pragma once

#include <string>

// What a secret held as UTF-8 starts with: control characters, which no
// password typed into an edit control begins with.
extern const char kUtf8SecretMark[];

// The held form of a secret typed (UTF-8, as read from the control's UTF-16).
std::string SecretTextFromUtf8(const std::string& utf8);
// The secret as it goes on the wire: UTF-8, from either held form.
std::string SecretTextToUtf8(const std::string& held);
