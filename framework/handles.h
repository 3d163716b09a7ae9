// Owners of the system's handles: each releases its handle when it goes,
// cannot be copied, and hands it on by moving. One traits struct per kind
// says what an empty handle is and how one is released.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>
#define SECURITY_WIN32
#include <security.h>

#include <cstdio>
#include <utility>

template <class Traits>
class COwned {
public:
    using Type = typename Traits::Type;

    COwned() : m_h(Traits::Empty()) {}
    explicit COwned(Type h) : m_h(h) {}
    ~COwned() { Close(); }
    COwned(const COwned&) = delete;
    COwned& operator=(const COwned&) = delete;
    COwned(COwned&& other) noexcept : m_h(other.Detach()) {}
    COwned& operator=(COwned&& other) noexcept {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }

    Type Get() const { return m_h; }
    bool IsValid() const { return Traits::IsValid(m_h); }
    void Attach(Type h) {
        Close();
        m_h = h;
    }
    Type Detach() { return std::exchange(m_h, Traits::Empty()); }
    void Close() {
        if (IsValid())
            Traits::Release(m_h);
        m_h = Traits::Empty();
    }
    // For a call that fills the handle in: what was held is released first.
    Type* Receive() {
        Close();
        return &m_h;
    }
    // For calls that take the handle by address (the SSPI ones).
    Type* Address() { return &m_h; }

private:
    Type m_h;
};

namespace handle_traits {

// Wrappers, not the imported functions themselves: the address of a
// function imported from a DLL is no constant a template can take.
inline void CloseKey(HKEY h) { ::RegCloseKey(h); }
inline void UnloadModule(HMODULE h) { ::FreeLibrary(h); }
inline void FreeLocal(void* p) { ::LocalFree(p); }
inline void CloseFile(std::FILE* p) { std::fclose(p); }
inline void FreeCertificate(PCCERT_CONTEXT p) { ::CertFreeCertificateContext(p); }
inline void FreeChain(PCCERT_CHAIN_CONTEXT p) { ::CertFreeCertificateChain(p); }
inline void FreeCredentials(CredHandle* p) { ::FreeCredentialsHandle(p); }
inline void DeleteContext(CtxtHandle* p) { ::DeleteSecurityContext(p); }

template <class T, T kEmpty, auto kRelease>
struct Plain {
    using Type = T;
    static T Empty() { return kEmpty; }
    static bool IsValid(T h) { return h != kEmpty; }
    static void Release(T h) { kRelease(h); }
};

// A kernel handle is empty as INVALID_HANDLE_VALUE or as null, whichever
// the call that made it returns on failure.
struct Kernel {
    using Type = HANDLE;
    static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Release(HANDLE h) { ::CloseHandle(h); }
};

struct Socket {
    using Type = SOCKET;
    static SOCKET Empty() { return INVALID_SOCKET; }
    static bool IsValid(SOCKET s) { return s != INVALID_SOCKET; }
    static void Release(SOCKET s) { ::closesocket(s); }
};

struct CertStore {
    using Type = HCERTSTORE;
    static HCERTSTORE Empty() { return nullptr; }
    static bool IsValid(HCERTSTORE h) { return h != nullptr; }
    static void Release(HCERTSTORE h) { ::CertCloseStore(h, 0); }
};

template <class H, void (*kRelease)(H*)>
struct Sspi {
    using Type = H;
    static H Empty() {
        H h;
        SecInvalidateHandle(&h);
        return h;
    }
    static bool IsValid(const H& h) { return SecIsValidHandle(&h); }
    static void Release(H h) { kRelease(&h); }
};

}  // namespace handle_traits

using CHandle = COwned<handle_traits::Kernel>;
using CRegKey = COwned<handle_traits::Plain<HKEY, nullptr, handle_traits::CloseKey>>;
using CModule = COwned<handle_traits::Plain<HMODULE, nullptr, handle_traits::UnloadModule>>;
using CSocket = COwned<handle_traits::Socket>;
using CCredentials = COwned<handle_traits::Sspi<CredHandle, handle_traits::FreeCredentials>>;
using CSecurityContext = COwned<handle_traits::Sspi<CtxtHandle, handle_traits::DeleteContext>>;
using CCertificate = COwned<handle_traits::Plain<PCCERT_CONTEXT, nullptr, handle_traits::FreeCertificate>>;
using CCertStore = COwned<handle_traits::CertStore>;
using CCertChain = COwned<handle_traits::Plain<PCCERT_CHAIN_CONTEXT, nullptr, handle_traits::FreeChain>>;
// Memory the system allocated with LocalAlloc for the caller.
template <class T>
using CLocalMemory = COwned<handle_traits::Plain<T*, nullptr, handle_traits::FreeLocal>>;
using CStdFile = COwned<handle_traits::Plain<std::FILE*, nullptr, handle_traits::CloseFile>>;
