// qm487-dde: reads what a running QM487 publishes over DDE, for people
// wiring the readings into a spreadsheet or a process-control program.
#include "dde_cli.h"
#include "dde_client.h"

#include "exchange/dde_items.h"
#include "framework/text.h"

#include <windows.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const DWORD kTimeoutMs = 5000;

// Texts go out as their Windows-1250 bytes to files and pipes, and as
// Unicode to a console, where the bytes would show as another code page.
void Write(HANDLE hOut, FILE* file, const std::string& text) {
    DWORD mode = 0;
    if (GetConsoleMode(hOut, &mode)) {
        const std::wstring wide = afx::Widen1250(text);
        DWORD written = 0;
        WriteConsoleW(hOut, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
}

void Out(const std::string& text) { Write(GetStdHandle(STD_OUTPUT_HANDLE), stdout, text); }
void Err(const std::string& text) { Write(GetStdHandle(STD_ERROR_HANDLE), stderr, "qm487-dde: " + text + "\n"); }

// The running instrument's serial number, from the topic a wildcard
// connection to the service is given; -1 when the service is not there.
long FindSerialNumber(DWORD idInst, HSZ hszService) {
    CDdeConversation conv(idInst, hszService, nullptr);
    if (conv.Get() == nullptr)
        return -1;
    int channel = 0;
    long serial = 0;
    return dde::ParseTopicName(conv.TopicName(idInst), &channel, &serial) ? serial : -1;
}

int Get(const std::string& topic, const std::string& item) {
    CDdeClientInstance instance;
    if (!instance.IsValid()) {
        Err("DDE could not be initialised");
        return 1;
    }
    const DWORD id = instance.Id();
    CDdeString service(id, dde::kServiceName);
    CDdeString hszTopic(id, topic.c_str());
    CDdeString hszItem(id, item.c_str());
    CDdeConversation conv(id, service.Get(), hszTopic.Get());
    if (conv.Get() == nullptr) {
        const long serial = FindSerialNumber(id, service.Get());
        if (serial < 0)
            Err(std::string("the DDE service ") + dde::kServiceName +
                " is not running (QM487 publishes it while it receives valid lines)");
        else
            Err("no topic \"" + topic + "\"; the running instrument's topics are " + dde::TopicName(0, serial) +
                " and " + dde::TopicName(1, serial) + " to " + dde::TopicName(8, serial));
        return 1;
    }
    CDdeData data(DdeClientTransaction(nullptr, 0, conv.Get(), hszItem.Get(), CF_TEXT, XTYP_REQUEST, kTimeoutMs,
                                       nullptr));
    if (data.Get() == nullptr) {
        Err("no item \"" + item + "\" in topic " + topic + " (items: Wynik, Pomiar, Status)");
        return 1;
    }
    Out(DdeDataText(data.Get()) + "\n");
    return 0;
}

// --- watch ---------------------------------------------------------------

volatile LONG g_bStop = 0;

BOOL WINAPI OnConsoleCtrl(DWORD) {
    InterlockedExchange(&g_bStop, 1);
    return TRUE;
}

struct Watch {
    DWORD idInst = 0;
    std::string item;
    ddecli::ChangeFilter changes;
};
Watch* g_pWatch = nullptr;

HDDEDATA CALLBACK WatchCallback(UINT uType, UINT, HCONV, HSZ hszTopic, HSZ, HDDEDATA hData, ULONG_PTR, ULONG_PTR) {
    if (g_pWatch == nullptr || uType != XTYP_ADVDATA)
        return nullptr;
    const std::string topic = DdeStringName(g_pWatch->idInst, hszTopic);
    const std::string text = DdeDataText(hData);
    if (g_pWatch->changes.IsChange(topic, text)) {
        SYSTEMTIME st;
        GetLocalTime(&st);
        const ddecli::LocalTime t = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                                     st.wMilliseconds};
        Out(ddecli::WatchLine(t, topic, g_pWatch->item, text) + "\n");
    }
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
}

// Short slices, so that Ctrl-C is seen soon.
void Pump(DWORD ms) { PumpMessages(ms, &g_bStop); }

// The numbers the running copies publish: each marks its main window with
// its own; a wildcard connection adds the one DDE answers with.
std::set<long> PublishedNumbers(DWORD idInst, HSZ hszService) {
    std::set<long> numbers;
    EnumWindows(
        [](HWND hWnd, LPARAM lp) -> BOOL {
            const auto n = reinterpret_cast<UINT_PTR>(GetPropW(hWnd, dde::kPublishedNumberMark));
            if (n != 0)
                reinterpret_cast<std::set<long>*>(lp)->insert(static_cast<long>(n));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&numbers));
    const long serial = FindSerialNumber(idInst, hszService);
    if (serial > 0)
        numbers.insert(serial);
    return numbers;
}

// Advise links to the nine channels of one instrument.
std::vector<CDdeConversation> Follow(const Watch& watch, HSZ hszService, HSZ hszItem, long serial) {
    std::vector<CDdeConversation> convs;
    for (int c = 0; c < dde::kChannels; ++c) {
        const std::string name = dde::TopicName(c, serial);
        CDdeString topic(watch.idInst, name.c_str());
        CDdeConversation conv(watch.idInst, hszService, topic.Get());
        if (conv.Get() == nullptr)
            continue;
        if (DdeClientTransaction(nullptr, 0, conv.Get(), hszItem, CF_TEXT, XTYP_ADVSTART, kTimeoutMs, nullptr) ==
            nullptr)
            Err("the server refused a link to " + name + " " + watch.item);
        convs.push_back(std::move(conv));
    }
    return convs;
}

bool AnyConnected(const std::vector<CDdeConversation>& convs) {
    for (const CDdeConversation& conv : convs)
        if (conv.IsConnected())
            return true;
    return false;
}

// Follows every copy of the program: instruments come and go as their
// copies start, lose the link (the server then ends every conversation)
// and get it back.
int RunWatch(const std::string& item) {
    SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
    Watch watch;
    watch.item = item;
    g_pWatch = &watch;
    CDdeClientInstance instance(WatchCallback);
    if (!instance.IsValid()) {
        Err("DDE could not be initialised");
        return 1;
    }
    watch.idInst = instance.Id();
    CDdeString service(watch.idInst, dde::kServiceName);
    CDdeString hszItem(watch.idInst, item.c_str());
    std::map<long, std::vector<CDdeConversation>> followed;
    bool bWaitingSaid = false;
    while (!g_bStop) {
        for (long serial : PublishedNumbers(watch.idInst, service.Get())) {
            if (followed.count(serial) != 0)
                continue;
            // Said before the links start: their first values may arrive
            // while the later links are still being asked for.
            Err("watching instrument " + std::to_string(serial) + ", item " + item + " (Ctrl-C ends)");
            watch.changes.Clear();
            followed[serial] = Follow(watch, service.Get(), hszItem.Get(), serial);
        }
        for (auto it = followed.begin(); it != followed.end();) {
            if (AnyConnected(it->second)) {
                ++it;
                continue;
            }
            Err("instrument " + std::to_string(it->first) + " has stopped; waiting for it to come back");
            for (CDdeConversation& conv : it->second)
                conv.Disconnect();
            it = followed.erase(it);
        }
        if (followed.empty() && !bWaitingSaid)
            Err(std::string("waiting for the DDE service ") + dde::kServiceName + "...");
        bWaitingSaid = followed.empty();
        Pump(500);
    }
    g_pWatch = nullptr;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const ddecli::Command cmd = ddecli::ParseCommand(args);
    switch (cmd.kind) {
    case ddecli::Command::kHelp:
        Out(ddecli::kUsage);
        return 0;
    case ddecli::Command::kGet:
        return Get(cmd.topic, cmd.item);
    case ddecli::Command::kWatch:
        return RunWatch(cmd.item);
    case ddecli::Command::kError:
        break;
    }
    Err(cmd.error + " (qm487-dde --help shows the usage)");
    return 2;
}
