// A server's name looked up on a thread of its own. getaddrinfo cannot be
// cancelled, and with the DNS server out of reach (a PC started before its
// network is up) it waits many seconds; a stop, a new setting or closing the
// program must not wait with it. The lookup owns what it touches, so one
// given up on ends by itself later.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct HostAddress {
    int nFamily = 0;
    std::string sockaddr;  // the address's bytes, as connect takes them
};

// Fills the TCP addresses of host:port; 0, or getaddrinfo's error.
using HostResolver = std::function<int(const std::string& host, const std::string& port, std::vector<HostAddress>*)>;
int ResolveWithGetAddrInfo(const std::string& host, const std::string& port, std::vector<HostAddress>* pOut);

// The addresses of host; false with the reason in *pError ("stopped" once
// hCancel is set, also while the lookup still runs).
bool LookUpHost(const std::string& host, unsigned nPort, HANDLE hCancel, unsigned nTimeoutMs,
                std::vector<HostAddress>* pAddresses, std::string* pError,
                const HostResolver& resolve = ResolveWithGetAddrInfo);
