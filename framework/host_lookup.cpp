#include "framework/host_lookup.h"

#include "framework/handles.h"
#include "framework/worker_thread.h"

#include <ws2tcpip.h>

#include <memory>

namespace {

// What the lookup's thread fills; shared, as the thread may outlive the call.
struct Lookup {
    CHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    int nResult = EAI_FAIL;
    std::vector<HostAddress> addresses;
};

}  // namespace

int ResolveWithGetAddrInfo(const std::string& host, const std::string& port, std::vector<HostAddress>* pOut) {
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    const int result = getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
    if (result != 0)
        return result;
    for (const addrinfo* a = list; a != nullptr; a = a->ai_next)
        pOut->push_back({a->ai_family, std::string(reinterpret_cast<const char*>(a->ai_addr), a->ai_addrlen)});
    freeaddrinfo(list);
    return 0;
}

bool LookUpHost(const std::string& host, unsigned nPort, HANDLE hCancel, unsigned nTimeoutMs,
                std::vector<HostAddress>* pAddresses, std::string* pError, const HostResolver& resolve) {
    auto lookup = std::make_shared<Lookup>();
    CWorkerThread thread;
    const std::string port = std::to_string(nPort);
    if (!lookup->done.IsValid() || !thread.Start([lookup, host, port, resolve] {
            // Its own hold on Winsock: the socket that asked may be gone.
            WSADATA data;
            const bool bWinsock = WSAStartup(MAKEWORD(2, 2), &data) == 0;
            try {
                lookup->nResult = resolve(host, port, &lookup->addresses);
            } catch (...) {  // out of memory: no exception leaves a thread
                lookup->nResult = EAI_MEMORY;
            }
            if (bWinsock)
                WSACleanup();
            SetEvent(lookup->done.Get());
            return 0u;
        })) {
        *pError = "no thread for the name lookup";
        return false;
    }
    const HANDLE handles[2] = {hCancel, lookup->done.Get()};
    const DWORD r = WaitForMultipleObjects(2, handles, FALSE, nTimeoutMs);
    if (r != WAIT_OBJECT_0 + 1) {
        thread.Release();
        *pError = r == WAIT_OBJECT_0 ? "stopped" : "name lookup of " + host + " timed out";
        return false;
    }
    thread.Join();
    if (lookup->nResult != 0 || lookup->addresses.empty()) {
        *pError = "unknown host " + host;
        return false;
    }
    *pAddresses = std::move(lookup->addresses);
    return true;
}
