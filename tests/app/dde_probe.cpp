// qm487-dde-probe: the DDE client of the service tests, run as a process of
// its own. One line of output per answer, data as hexadecimal bytes.
//
//   request TOPIC ITEM FORMAT [TOPIC ITEM FORMAT ...]
//       "TOPIC ITEM FORMAT: HEX" (the data, NUL included), "... none" (no
//       data), "... noconv" (the topic refused the conversation)
//   connect SERVICE TOPIC       ("-" for none: a wildcard)
//       "connected SERVICE TOPIC" as the server names them, or "refused"
//   advise SECONDS TOPIC ITEM [TOPIC ITEM ...]
//       "linked TOPIC ITEM" or "refused TOPIC ITEM", then "ready"; then
//       "data TOPIC ITEM HEX" per update and "disconnected TOPIC ITEM" when
//       the server ends a link's conversation; "end" once all have ended,
//       or "timeout" after SECONDS
//   hostile COUNT SEED SERIAL
//       COUNT random transactions against the service; "done ..." at the end
#include "dde_client.h"

#include "exchange/dde_items.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

void Print(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

const char* NameOrNull(const std::string& arg) { return arg == "-" ? nullptr : arg.c_str(); }

void Pump(DWORD ms) { PumpMessages(ms); }

int Request(const std::vector<std::string>& args) {
    CDdeClientInstance client;
    CDdeString service(client.Id(), dde::kServiceName);
    for (std::size_t i = 0; i + 2 < args.size(); i += 3) {
        const std::string label = args[i] + " " + args[i + 1] + " " + args[i + 2] + ": ";
        CDdeString topic(client.Id(), args[i].c_str());
        CDdeString item(client.Id(), args[i + 1].c_str());
        CDdeConversation conv(client.Id(), service.Get(), topic.Get());
        if (conv.Get() == nullptr) {
            Print(label + "noconv");
            continue;
        }
        const UINT format = static_cast<UINT>(std::strtoul(args[i + 2].c_str(), nullptr, 0));
        CDdeData data(DdeClientTransaction(nullptr, 0, conv.Get(), item.Get(), format, XTYP_REQUEST, 5000, nullptr));
        Print(label + (data.Get() ? Hex(DdeDataBytes(data.Get())) : "none"));
    }
    return 0;
}

int Connect(const std::string& serviceName, const std::string& topicName) {
    CDdeClientInstance client;
    CDdeString service(client.Id(), NameOrNull(serviceName));
    CDdeString topic(client.Id(), NameOrNull(topicName));
    CDdeConversation conv(client.Id(), service.Get(), topic.Get());
    if (conv.Get() == nullptr)
        Print("refused");
    else
        Print("connected " + conv.ServiceName(client.Id()) + " " + conv.TopicName(client.Id()));
    return 0;
}

// --- advise ---------------------------------------------------------------

// Each link has a DDEML instance of its own: Wine's client ends a waiting
// transaction early when data of another link of the same conversation
// arrives, and refuses a second conversation on one topic per instance.
struct Link {
    std::string topic, item;
    std::unique_ptr<CDdeClientInstance> instance;
    std::unique_ptr<CDdeString> hszService, hszTopic, hszItem;
    CDdeConversation conv;
    bool connected = false;
};
std::vector<std::unique_ptr<Link>> g_links;

HDDEDATA CALLBACK AdviseCallback(UINT uType, UINT, HCONV hConv, HSZ, HSZ, HDDEDATA hData, ULONG_PTR, ULONG_PTR) {
    if (uType != XTYP_ADVDATA)
        return nullptr;
    for (const auto& link : g_links)
        if (link->conv.Get() == hConv)
            Print("data " + link->topic + " " + link->item + " " + Hex(DdeDataBytes(hData)));
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
}

int Advise(const std::vector<std::string>& args) {
    const DWORD seconds = static_cast<DWORD>(std::atoi(args[0].c_str()));
    for (std::size_t i = 1; i + 1 < args.size(); i += 2) {
        g_links.push_back(std::make_unique<Link>());
        Link& link = *g_links.back();
        link.topic = args[i];
        link.item = args[i + 1];
        link.instance = std::make_unique<CDdeClientInstance>(AdviseCallback);
        const DWORD id = link.instance->Id();
        link.hszService = std::make_unique<CDdeString>(id, dde::kServiceName);
        link.hszTopic = std::make_unique<CDdeString>(id, link.topic.c_str());
        link.hszItem = std::make_unique<CDdeString>(id, link.item.c_str());
        link.conv = CDdeConversation(id, link.hszService->Get(), link.hszTopic->Get());
        link.connected = link.conv.Get() != nullptr &&
                         DdeClientTransaction(nullptr, 0, link.conv.Get(), link.hszItem->Get(), CF_TEXT,
                                              XTYP_ADVSTART, 5000, nullptr) != nullptr;
        Print((link.connected ? "linked " : "refused ") + link.topic + " " + link.item);
    }
    Print("ready");
    const ULONGLONG end = GetTickCount64() + seconds * 1000ULL;
    int connected = 0;
    do {
        Pump(50);
        connected = 0;
        for (const auto& link : g_links) {
            if (link->connected && !link->conv.IsConnected()) {
                link->connected = false;
                Print("disconnected " + link->topic + " " + link->item);
            }
            connected += link->connected;
        }
    } while (connected > 0 && GetTickCount64() < end);
    Print(connected > 0 ? "timeout" : "end");
    for (auto& link : g_links)
        link->conv.Disconnect();
    g_links.clear();
    return 0;
}

}  // namespace

int RunHostile(long count, unsigned seed, long serial);

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 4 && args[0] == "request")
        return Request(std::vector<std::string>(args.begin() + 1, args.end()));
    if (args.size() == 3 && args[0] == "connect")
        return Connect(args[1], args[2]);
    if (args.size() >= 4 && args[0] == "advise")
        return Advise(std::vector<std::string>(args.begin() + 1, args.end()));
    if (args.size() == 4 && args[0] == "hostile")
        return RunHostile(std::atol(args[1].c_str()), static_cast<unsigned>(std::strtoul(args[2].c_str(), nullptr, 0)),
                          std::atol(args[3].c_str()));
    std::fprintf(stderr, "usage: qm487-dde-probe request|connect|advise|hostile ...\n");
    return 2;
}
