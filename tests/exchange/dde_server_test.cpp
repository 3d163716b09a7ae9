// The DDE server's answers in the process itself: the callback as DDEML
// calls it, with string handles a client instance makes. The conversations
// of another process are tests/app/dde_service_test.cpp.
#include "exchange/dde_publisher.h"
#include "exchange/dde_server.h"
#include "instrument/line_encoder.h"

#include "dde_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const long kSerial = 4660;
const char kError[] = "B\xB3\xB9" "d pomiaru";

HDDEDATA Call(UINT type, UINT format, HSZ hsz1, HSZ hsz2) {
    return DdeCallback(type, format, nullptr, hsz1, hsz2, nullptr, 0, 0);
}

class DdeServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(client.IsValid());
        server.SetChannels(&channels, nullptr);
    }
    void TearDown() override { server.Stop(); }

    // The data a request for topic/item in `format` gets, or "<none>".
    std::string Request(const std::string& topic, const std::string& item, UINT format = CF_TEXT) {
        CDdeString hszTopic(client.Id(), topic.c_str());
        CDdeString hszItem(client.Id(), item.c_str());
        HDDEDATA data = Call(XTYP_REQUEST, format, hszTopic.Get(), hszItem.Get());
        if (data == nullptr)
            return "<none>";
        const std::string bytes = DdeDataBytes(data);
        DdeFreeDataHandle(data);
        return bytes;
    }
    static std::string Topic(int channel) { return dde::TopicName(channel, kSerial); }

    CDdeClientInstance client;
    CChannelSet channels;
    CDdeServer server;
};

}  // namespace

TEST_F(DdeServerTest, StartsOnceStopsCleanlyAndStartsAgain) {
    EXPECT_TRUE(server.Stop()) << "stopping a stopped server is no failure";
    ASSERT_TRUE(server.Start(kSerial));
    EXPECT_TRUE(server.IsRunning());
    EXPECT_FALSE(server.Start(kSerial + 1)) << "already running";
    EXPECT_TRUE(server.Stop());
    EXPECT_FALSE(server.IsRunning());
    server.NotifyAll();  // stopped: nothing to post, nothing to fail
    ASSERT_TRUE(server.Start(kSerial + 1));
    EXPECT_EQ(Request(dde::TopicName(3, kSerial + 1), "Status"), kError + std::string(1, '\0'));
    EXPECT_EQ(Request(Topic(3), "Status"), "<none>") << "the topics follow the new number";
}

TEST_F(DdeServerTest, ItemsGiveTheChannelsTextsWithTheirNul) {
    ASSERT_TRUE(server.Start(kSerial));
    channels.StoreValue(3, 21.47, FALSE);
    channels.StoreValue(8, 23.456, FALSE);
    channels.StoreValue(5, -3.0, TRUE);
    const std::string nul(1, '\0');
    EXPECT_EQ(Request(Topic(3), "Wynik"), "21.4" + nul);
    EXPECT_EQ(Request(Topic(3), "Pomiar"), "21.4 \xB0" "C" + nul);
    EXPECT_EQ(Request(Topic(3), "Status"), "Pomiar OK" + nul);
    EXPECT_EQ(Request(Topic(5), "Wynik"), "-3.0" + nul);
    EXPECT_EQ(Request(Topic(5), "Status"), kError + nul);
    channels.SetFineResolution(TRUE);
    EXPECT_EQ(Request(Topic(8), "pomiar"), "23.46 \xB0" "C" + nul) << "names in any letter case";
    // Channel 0 never had a value.
    EXPECT_EQ(Request(Topic(0), "Wynik"), nul);
    EXPECT_EQ(Request(Topic(0), "Pomiar"), nul);
    EXPECT_EQ(Request(Topic(0), "Status"), kError + nul);
}

TEST_F(DdeServerTest, AlarmItemFollowsTheChannelsAlarms) {
    ASSERT_TRUE(server.Start(kSerial));
    const std::string nul(1, '\0');
    EXPECT_EQ(Request(Topic(3), "Alarm"), "0" + nul) << "no limits: no alarm";
    AlarmLimits limits;
    limits.bHasLow = true;
    limits.dLow = 0.0;
    limits.bHasHigh = true;
    limits.dHigh = 30.0;
    channels.StoreValue(3, 31.0, FALSE);
    channels.JudgeAlarm(3, limits, 0.5);
    channels.StoreValue(4, -1.0, FALSE);
    channels.JudgeAlarm(4, limits, 0.5);
    EXPECT_EQ(Request(Topic(3), "ALARM"), "1" + nul);
    EXPECT_EQ(Request(Topic(4), "Alarm"), "-1" + nul);
    EXPECT_EQ(Request(Topic(8), "Alarm"), "0" + nul);
    EXPECT_EQ(Request(Topic(3), "Alarm", CF_UNICODETEXT), "<none>");
    // A lost link keeps the alarm, and the other items keep their bytes.
    channels.LoseAll();
    EXPECT_EQ(Request(Topic(3), "Alarm"), "1" + nul);
    EXPECT_EQ(Request(Topic(3), "Status"), kError + nul);
}

TEST_F(DdeServerTest, OtherFormatsTopicsAndItemsGetNothing) {
    ASSERT_TRUE(server.Start(kSerial));
    channels.StoreValue(3, 21.0, FALSE);
    EXPECT_EQ(Request(Topic(3), "Pomiar", CF_UNICODETEXT), "<none>");
    EXPECT_EQ(Request(Topic(3), "Pomiar", CF_OEMTEXT), "<none>");
    EXPECT_EQ(Request(Topic(3), "Pomiar", 0), "<none>");
    EXPECT_EQ(Request(dde::TopicName(3, kSerial + 1), "Pomiar"), "<none>");
    EXPECT_EQ(Request("Temperatura9#4660", "Pomiar"), "<none>");
    EXPECT_EQ(Request(Topic(3), "Pomiar "), "<none>");
    EXPECT_EQ(Request(Topic(3), "Temperatura"), "<none>");
    EXPECT_EQ(Call(XTYP_REQUEST, CF_TEXT, nullptr, nullptr), nullptr);
    EXPECT_EQ(Call(XTYP_POKE, CF_TEXT, nullptr, nullptr), nullptr);
    EXPECT_EQ(Call(XTYP_EXECUTE, CF_TEXT, nullptr, nullptr), nullptr);
}

TEST_F(DdeServerTest, ConnectsOnlyToItsServiceAndTopics) {
    ASSERT_TRUE(server.Start(kSerial));
    CDdeString service(client.Id(), "QM487");
    CDdeString lower(client.Id(), "qm487");
    CDdeString other(client.Id(), "Excel");
    CDdeString topic(client.Id(), Topic(7).c_str());
    CDdeString stale(client.Id(), dde::TopicName(7, 1).c_str());
    EXPECT_NE(Call(XTYP_CONNECT, 0, topic.Get(), service.Get()), nullptr);
    EXPECT_NE(Call(XTYP_CONNECT, 0, topic.Get(), lower.Get()), nullptr);
    EXPECT_EQ(Call(XTYP_CONNECT, 0, topic.Get(), other.Get()), nullptr);
    EXPECT_EQ(Call(XTYP_CONNECT, 0, stale.Get(), service.Get()), nullptr);
    EXPECT_EQ(Call(XTYP_CONNECT, 0, nullptr, service.Get()), nullptr);
}

TEST_F(DdeServerTest, AWildcardIsAnsweredWithAllNineTopicsAndANullPair) {
    ASSERT_TRUE(server.Start(kSerial));
    CDdeString service(client.Id(), "QM487");
    CDdeString other(client.Id(), "Excel");
    CDdeString topic(client.Id(), Topic(5).c_str());
    CDdeString stale(client.Id(), dde::TopicName(5, 1).c_str());
    const HSZ asks[][2] = {{nullptr, nullptr}, {nullptr, service.Get()}, {topic.Get(), nullptr},
                           {topic.Get(), service.Get()}};
    for (const auto& ask : asks) {
        HDDEDATA data = Call(XTYP_WILDCONNECT, 0, ask[0], ask[1]);
        ASSERT_NE(data, nullptr);
        const std::string bytes = DdeDataBytes(data);
        DdeFreeDataHandle(data);
        ASSERT_EQ(bytes.size(), 10 * sizeof(HSZPAIR));
        const auto* pairs = reinterpret_cast<const HSZPAIR*>(bytes.data());
        for (int c = 0; c < dde::kChannels; ++c) {
            EXPECT_EQ(DdeStringName(client.Id(), pairs[c].hszSvc), "QM487");
            EXPECT_EQ(DdeStringName(client.Id(), pairs[c].hszTopic), Topic(c));
        }
        EXPECT_EQ(pairs[9].hszSvc, nullptr);
        EXPECT_EQ(pairs[9].hszTopic, nullptr);
    }
    EXPECT_EQ(Call(XTYP_WILDCONNECT, 0, stale.Get(), nullptr), nullptr);
    EXPECT_EQ(Call(XTYP_WILDCONNECT, 0, nullptr, other.Get()), nullptr);
    EXPECT_EQ(Call(XTYP_WILDCONNECT, 0, topic.Get(), other.Get()), nullptr);
}

TEST_F(DdeServerTest, AnAcceptedAdviseAsksTheOwnerToPostAgain) {
    HWND owner = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    server.SetChannels(&channels, owner);
    ASSERT_TRUE(server.Start(kSerial));
    CDdeString topic(client.Id(), Topic(4).c_str());
    CDdeString item(client.Id(), "Status");
    CDdeString wrong(client.Id(), "State");
    EXPECT_EQ(Call(XTYP_ADVSTART, CF_UNICODETEXT, topic.Get(), item.Get()), nullptr);
    EXPECT_EQ(Call(XTYP_ADVSTART, CF_TEXT, topic.Get(), wrong.Get()), nullptr);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, owner, WM_DDE_ADVISE_STARTED, WM_DDE_ADVISE_STARTED, PM_REMOVE));
    EXPECT_NE(Call(XTYP_ADVSTART, CF_TEXT, topic.Get(), item.Get()), nullptr);
    ASSERT_TRUE(PeekMessageW(&msg, owner, WM_DDE_ADVISE_STARTED, WM_DDE_ADVISE_STARTED, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_EQ(msg.lParam, dde::kItemStatus);
    EXPECT_EQ(Call(XTYP_ADVSTOP, CF_TEXT, topic.Get(), item.Get()), nullptr);
    server.PostAdvise(4, dde::kItemStatus);  // no link: reaches nobody
    server.PostAdvise(9, 0);                 // out of range: ignored
    server.PostAdvise(0, 3);
    DestroyWindow(owner);
}

TEST(DdeServer, AServerWithoutItsChannelsAnswersEmptyTexts) {
    CDdeClientInstance client;
    CDdeServer server;
    ASSERT_TRUE(server.Start(kSerial));
    CDdeString topic(client.Id(), dde::TopicName(1, kSerial).c_str());
    CDdeString item(client.Id(), "Wynik");
    HDDEDATA data = Call(XTYP_REQUEST, CF_TEXT, topic.Get(), item.Get());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(DdeDataBytes(data), std::string(1, '\0'));
    DdeFreeDataHandle(data);
}

TEST(DdeServer, ADestroyedServerLeavesNoServiceBehind) {
    CDdeClientInstance client;
    ASSERT_TRUE(client.IsValid());
    CDdeString service(client.Id(), "QM487");
    {
        CDdeServer server;
        ASSERT_TRUE(server.Start(kSerial));
        CDdeConversation conv(client.Id(), service.Get(), nullptr);
        EXPECT_NE(conv.Get(), nullptr) << "the service answers while the server lives";
    }
    CDdeConversation after(client.Id(), service.Get(), nullptr);
    EXPECT_EQ(after.Get(), nullptr);
    EXPECT_EQ(Call(XTYP_CONNECT, 0, nullptr, service.Get()), nullptr) << "no server: the callback answers nothing";
}

namespace {

CDdeServer* g_pOwnedServer = nullptr;
std::vector<std::string> g_updates;  // "topic text" of every advise data, in order
DWORD g_idClient = 0;

// Hands the post back as the main window does.
LRESULT CALLBACK OwnerProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DDE_ADVISE_STARTED && g_pOwnedServer != nullptr) {
        g_pOwnedServer->PostAdvise(static_cast<int>(wParam), static_cast<int>(lParam));
        return 0;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

HDDEDATA CALLBACK RecordingClient(UINT uType, UINT, HCONV, HSZ hszTopic, HSZ, HDDEDATA hData, ULONG_PTR, ULONG_PTR) {
    if (uType != XTYP_ADVDATA)
        return nullptr;
    g_updates.push_back(DdeStringName(g_idClient, hszTopic) + " " + DdeDataText(hData));
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
}

void PumpFor(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (GetTickCount64() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Sleep(5);
    }
}

}  // namespace

// The client is in this thread here; what another process sees is in
// tests/app/dde_service_test.cpp.
TEST(DdeServer, ANewLinkGetsItsValueAtOnceAndEachLinkItsOwnPerRound) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DdeServerTestOwner";
    RegisterClassW(&wc);
    HWND owner = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(owner, nullptr);

    CChannelSet channels;
    for (int c = 1; c < dde::kChannels; ++c)
        channels.StoreValue(c, 10.0 * c + 0.5, FALSE);
    {
        CDdeServer server;
        g_pOwnedServer = &server;
        server.SetChannels(&channels, owner);
        ASSERT_TRUE(server.Start(kSerial));
        g_updates.clear();

        CDdeClientInstance client(RecordingClient);
        g_idClient = client.Id();
        CDdeString service(client.Id(), "QM487");
        CDdeString item(client.Id(), "Pomiar");
        CDdeString topic2(client.Id(), dde::TopicName(2, kSerial).c_str());
        CDdeString topic7(client.Id(), dde::TopicName(7, kSerial).c_str());
        CDdeConversation conv2(client.Id(), service.Get(), topic2.Get());
        CDdeConversation conv7(client.Id(), service.Get(), topic7.Get());
        ASSERT_NE(conv2.Get(), nullptr);
        ASSERT_NE(conv7.Get(), nullptr);
        ASSERT_NE(DdeClientTransaction(nullptr, 0, conv2.Get(), item.Get(), CF_TEXT, XTYP_ADVSTART, 5000, nullptr),
                  nullptr);
        PumpFor(300);
        ASSERT_NE(DdeClientTransaction(nullptr, 0, conv7.Get(), item.Get(), CF_TEXT, XTYP_ADVSTART, 5000, nullptr),
                  nullptr);
        PumpFor(300);
        const std::vector<std::string> initial = {"Temperatura2#4660 20.5 \xB0" "C", "Temperatura7#4660 70.5 \xB0" "C"};
        EXPECT_EQ(g_updates, initial) << "each new link its current value, once";

        channels.StoreValue(2, 22.5, FALSE);
        server.NotifyAll();
        PumpFor(300);
        std::vector<std::string> after = initial;
        after.push_back("Temperatura2#4660 22.5 \xB0" "C");
        after.push_back("Temperatura7#4660 70.5 \xB0" "C");
        EXPECT_EQ(g_updates, after) << "one round: each link once, with its own topic's value";
        g_pOwnedServer = nullptr;
    }
    DestroyWindow(owner);
}

// One copy publishes an instrument's number: another with the same number
// stands back, says so once, and publishes once the first has stopped for good.
TEST(DdePublisher, ANumberPublishedByOneCopyIsRefusedToAnotherUntilItStops) {
    struct Host : CDdePublisher::Host, CTimerHost {
        HWND NotifyWindow() const override { return nullptr; }
        void Tell(const std::string& text, UINT) override { told.push_back(text); }
        UINT_PTR SetTimer(UINT_PTR id, UINT) override { return id; }
        void KillTimer(UINT_PTR) override {}
        std::vector<std::string> told;
    } firstHost, secondHost;
    CInstrument instrument(firstHost);  // the link up with instrument kSerial
    for (unsigned char b : EncodeLineOrThrow(InstrumentReading{1, 0, false, false, false, false, kSerial}))
        instrument.OnPortChar(b);
    CDdePublisher first(firstHost, instrument), second(secondHost, instrument);
    first.Restart();
    second.Restart();
    second.Restart();
    EXPECT_TRUE(first.IsRunning());
    EXPECT_FALSE(second.IsRunning());
    ASSERT_EQ(secondHost.told.size(), 1u);
    EXPECT_NE(secondHost.told[0].find("nr 4660 udost"), std::string::npos) << secondHost.told[0];
    first.Stop();
    first.Restart();
    EXPECT_FALSE(first.IsRunning()) << "stopped for good";
    second.Restart();
    EXPECT_TRUE(second.IsRunning());
    EXPECT_TRUE(firstHost.told.empty());
    second.Stop();
}
