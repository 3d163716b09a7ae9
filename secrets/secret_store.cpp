#include "secrets/secret_store.h"

#include "common/base64.h"

#include <windows.h>
#include <wincrypt.h>

const char kSecretNotKeptText[] =
    "Nie mo\xBFna zaszyfrowa\xE6 has\xB3" "a, wi\xEA" "c nie zostanie zapisane w pliku ustawie\xF1.";

const char kSecretUnreadableText[] =
    "Zapisanego has\xB3" "a nie mo\xBFna odczyta\xE6 (zapisa\xB3 je inny u\xBFytkownik Windows lub inny "
    "komputer), wi\xEA" "c nie jest u\xBFywane. Wpisz je ponownie.";

namespace {

// Owns what CryptProtectData and CryptUnprotectData hand back.
class CCryptBlob {
public:
    CCryptBlob() = default;
    ~CCryptBlob() {
        if (m_blob.pbData != nullptr) {
            SecureZeroMemory(m_blob.pbData, m_blob.cbData);
            LocalFree(m_blob.pbData);
        }
    }
    CCryptBlob(const CCryptBlob&) = delete;
    CCryptBlob& operator=(const CCryptBlob&) = delete;
    DATA_BLOB* Out() { return &m_blob; }
    std::string Bytes() const { return std::string(reinterpret_cast<const char*>(m_blob.pbData), m_blob.cbData); }

private:
    DATA_BLOB m_blob = {0, nullptr};
};

DATA_BLOB In(const std::string& bytes) {
    DATA_BLOB blob;
    blob.cbData = static_cast<DWORD>(bytes.size());
    blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    return blob;
}

}  // namespace

std::string ProtectSecret(const std::string& plain, bool* pbFailed) {
    if (pbFailed != nullptr)
        *pbFailed = false;
    if (plain.empty())
        return std::string();
    DATA_BLOB in = In(plain);
    CCryptBlob out;
    if (!CryptProtectData(&in, L"QM487", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, out.Out())) {
        if (pbFailed != nullptr)
            *pbFailed = true;
        return std::string();
    }
    return Base64Encode(out.Bytes());
}

bool UnprotectSecret(const std::string& text, std::string& plain) {
    plain.clear();
    if (text.empty())
        return true;
    std::string bytes;
    if (!Base64Decode(text, bytes) || bytes.empty())
        return false;
    DATA_BLOB in = In(bytes);
    CCryptBlob out;
    if (!CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, out.Out()))
        return false;
    plain = out.Bytes();
    return true;
}
