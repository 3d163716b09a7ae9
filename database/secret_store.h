// The database password or token in the settings file: encrypted with DPAPI
// for the current Windows user and written as base64, so the file never
// holds it in plain text and another user's copy of the file cannot read it.
#pragma once

#include <string>

// Empty for an empty secret; empty too when the encryption fails, in which
// case *pbFailed is set (the secret is then not kept).
std::string ProtectSecret(const std::string& plain, bool* pbFailed = nullptr);

// False when the text is not ours to read: damaged, or encrypted by another
// user or on another machine. An empty text is the empty secret.
bool UnprotectSecret(const std::string& text, std::string& plain);

// What to tell the user when ProtectSecret failed (Windows-1250).
extern const char kSecretNotKeptText[];
// What a dialog shows when the stored secret could not be decrypted.
extern const char kSecretUnreadableText[];
