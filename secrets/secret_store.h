// A password or token in the settings file (database, MQTT, e-mail):
// encrypted with DPAPI for the current Windows user and written as base64,
// so the file never holds it in plain text and another user's copy of the
// file cannot read it.
#pragma once

#include <string>

// Empty for an empty secret; empty too when the encryption fails, in which
// case *pbFailed is set (the secret is then not kept).
std::string ProtectSecret(const std::string& plain, bool* pbFailed = nullptr);

// False when the text is not ours to read: damaged, or encrypted by another
// user or on another machine. An empty text is the empty secret.
bool UnprotectSecret(const std::string& text, std::string& plain);

// A settings' password or token as a feed holds it: decrypted, in memory
// only, and whether the file's could be read. The same rule for the
// database, MQTT and e-mail feeds. It keeps bytes as they were given: the
// e-mail's are secret_text.h's form, which Windows-1250 secrets share.
class CStoredSecret {
public:
    // From the settings file's text (ProtectSecret's).
    void Load(const std::string& strProtected) { m_bUnreadable = !UnprotectSecret(strProtected, m_strPlain); }
    const std::string& Plain() const { return m_strPlain; }
    // The file's secret is another user's (or another machine's).
    bool IsUnreadable() const { return m_bUnreadable; }
    // An unreadable secret stays in the file (it may be another user's)
    // until a new one is typed.
    bool IsNew(const std::string& strTyped) const {
        return strTyped != m_strPlain || (m_bUnreadable && !strTyped.empty());
    }
    // Takes the typed secret; *pstrProtected gets the text for the file.
    // False when it could not be encrypted: the file then keeps none.
    bool Replace(const std::string& strTyped, std::string* pstrProtected) {
        bool bFailed = false;
        *pstrProtected = ProtectSecret(strTyped, &bFailed);
        m_strPlain = strTyped;
        m_bUnreadable = false;
        return !bFailed;
    }

private:
    std::string m_strPlain;
    bool m_bUnreadable = false;
};

// What to tell the user when ProtectSecret failed (Windows-1250).
extern const char kSecretNotKeptText[];
// What a dialog shows when the stored secret could not be decrypted.
extern const char kSecretUnreadableText[];
