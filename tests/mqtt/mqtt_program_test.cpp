// The program under Wine publishing to a real Mosquitto: readings on their
// topics with the instrument's decimals, the status and its will, Home
// Assistant discovery, a broker that goes away and comes back, a password,
// TLS with a CA of the test's own, and brokers that misbehave. COM14 is the
// instrument's end of the bench pair, the program listens on COM13.
#include "framework/handles.h"
#include "framework/text.h"
#include "framework/host_lookup.h"
#include "tests/mqtt/mqtt_harness.h"
#include "tests/recording/recording_harness.h"

#include <tuple>

using namespace qm487test;

namespace {

const std::wstring kHeard = L"QM-487 nr 4660. Pomiar temperatury 1 prawid\x0142owy. ";
const wchar_t kMqttFails[] = L"B\x0142\x0105" L"d po\x0142\x0105" L"czenia z serwerem MQTT. ";
const wchar_t kAccepted[] = L"Serwer przyj\x0105\x0142 po\x0142\x0105"
                            L"czenie (connection accepted).";

InstrumentReading Reading(int channel, double value, bool fine = false, bool valueError = false) {
    InstrumentReading r;
    r.channel = channel;
    r.value = value;
    r.fine = fine;
    r.valueError = valueError;
    r.serialNumber = 4660;
    return r;
}

std::string MqttIni(const std::string& url, const std::string& extra = std::string()) {
    return "[GENERAL]\r\nPORT_NR=13\r\nSHOW_ADV=0\r\n[MQTT]\r\nMQTT_ENABLED=1\r\nMQTT_URL=" + url + "\r\n" + extra;
}

class Instrument : public InstrumentPort {
public:
    Instrument() : InstrumentPort(L"\\\\.\\COM14") {}
    bool Send(const InstrumentReading& r) { return InstrumentPort::Send(Line(r)); }
    // Until the status line starts with status: the reader empties the port
    // as it starts, and a broker's failure may already follow the verdict.
    bool SendUntilHeard(RunningProgram& program, const InstrumentReading& r, const std::wstring& status = kHeard) {
        for (int attempt = 0; attempt < 20; ++attempt)
            if (Send(r) && WaitFor([&] { return program.Status().compare(0, status.size(), status) == 0; }, 1000))
                return true;
        return false;
    }
};

bool IsMqttDialog(HWND h) { return GetDlgItem(h, IDC_MQTT_STATE) != nullptr; }

HWND OpenMqttDialog(RunningProgram& program) { return OpenCommandDialog(program, ID_MQTT, IsMqttDialog); }

// Presses "Sprawdź połączenie" and waits for an answer holding part.
std::wstring CheckAnswer(HWND dlg, const wchar_t* part) {
    PostMessageW(dlg, WM_COMMAND, IDC_MQTT_CHECK, 0);
    std::wstring answer;
    HWND result = GetDlgItem(dlg, IDC_MQTT_CHECK_RESULT);
    WaitFor([&] { return (answer = WindowText(result)).find(part) != std::wstring::npos; }, 30000);
    return answer;
}

const char kT1[] = "qm487/4660/T1";
const char kStatus[] = "qm487/4660/status";

}  // namespace

TEST(MqttProgram, ReadingsStatusAndDiscoveryArriveAndDiscoveryGoesWhenSwitchedOff) {
    MosquittoBroker broker("plain", "plain");
    ASSERT_TRUE(broker.Start());
    TestSubscriber sub;
    ASSERT_TRUE(sub.Connect(broker.Url(), "test-sub"));
    ASSERT_TRUE(sub.Subscribe("qm487/#"));
    ASSERT_TRUE(sub.Subscribe("homeassistant/#"));
    RunningProgram program(MqttIni(broker.Url()));
    Instrument instrument;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(instrument.SendUntilHeard(program, Reading(1, 21.4)));
    ASSERT_TRUE(sub.WaitFor([&] { return !sub.On(kT1).empty(); }));
    EXPECT_EQ(sub.On(kT1)[0].strPayload.substr(0, 37), "{\"value\":21.4,\"status\":\"ok\",\"alarm\":0");
    EXPECT_EQ(sub.On(kStatus).at(0).strPayload, "online");
    // Hundredths, a negative value and an error reading, each as sent.
    ASSERT_TRUE(instrument.Send(Reading(2, 21.45, true)));
    ASSERT_TRUE(instrument.Send(Reading(3, -4.25, true)));
    ASSERT_TRUE(instrument.Send(Reading(7, 55.5, true, true)));
    ASSERT_TRUE(sub.WaitFor([&] { return !sub.On("qm487/4660/T7").empty(); }));
    EXPECT_EQ(sub.On("qm487/4660/T2").at(0).strPayload.substr(0, 15), "{\"value\":21.45,");
    EXPECT_EQ(sub.On("qm487/4660/T3").at(0).strPayload.substr(0, 15), "{\"value\":-4.25,");
    EXPECT_EQ(sub.On("qm487/4660/T7").at(0).strPayload.substr(0, 18), "{\"status\":\"error\",");
    EXPECT_FALSE(sub.On(kT1)[0].bRetain);
    const std::string config = "homeassistant/sensor/qm487_4660_t3/config";
    ASSERT_TRUE(sub.WaitFor([&] { return !sub.On(config).empty(); }));
    EXPECT_NE(sub.On(config)[0].strPayload.find("\"device_class\":\"temperature\""), std::string::npos);

    // Home Assistant restarted: the configurations come again.
    const std::size_t before = sub.On(config).size();
    ASSERT_TRUE(sub.Publish("homeassistant/status", "online"));
    ASSERT_TRUE(sub.WaitFor([&] { return sub.On(config).size() > before; }));

    // Switched off in the dialog: empty retained configurations remove them.
    HWND dlg = OpenMqttDialog(program);
    ASSERT_NE(dlg, nullptr);
    SendMessageW(GetDlgItem(dlg, IDC_MQTT_DISCOVERY), BM_SETCHECK, BST_UNCHECKED, 0);
    ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDOK));
    ASSERT_TRUE(instrument.Send(Reading(1, 21.5)));
    ASSERT_TRUE(sub.WaitFor([&] { return !sub.On(config).empty() && sub.On(config).back().strPayload.empty(); }));
    EXPECT_NE(ReadFileBytes(program.IniPath()).find("MQTT_DISCOVERY=0\r\n"), std::string::npos);
    EXPECT_FALSE(program.Dialog()->MqttFeed().IsFailing());
}

TEST(MqttProgram, ABrokerBackAfterAStopGetsEachChannelsLatestReadingOnce) {
    MosquittoBroker broker("restart", "plain");
    ASSERT_TRUE(broker.Start());
    {
        // A session the broker keeps, and saves when stopped, so nothing
        // published while this subscriber reconnects is missed.
        TestSubscriber sub;
        ASSERT_TRUE(sub.Connect(broker.Url(), "test-keeper", false));
        ASSERT_TRUE(sub.Subscribe("qm487/4660/+"));
    }
    RunningProgram program(MqttIni(broker.Url(), "MQTT_DISCOVERY=0\r\n"));
    Instrument instrument;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(instrument.SendUntilHeard(program, Reading(1, 20.0)));
    ASSERT_TRUE(WaitFor([&] { return program.Dialog()->MqttFeed().Publisher().State().bConnected; }, 30000));
    ASSERT_TRUE(broker.Stop());
    ASSERT_TRUE(program.WaitForStatus(kHeard + kMqttFails, 30000));
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(instrument.Send(Reading(1, 20.0 + i)));
        ASSERT_TRUE(instrument.Send(Reading(2, 30.0 + i)));
    }
    const std::wstring heard2 = L"QM-487 nr 4660. Pomiar temperatury 2 prawid\x0142owy. ";
    ASSERT_TRUE(program.WaitForStatus(heard2 + kMqttFails, 30000));
    // The status tells the first line of channel 2; the broker comes back
    // only once the program holds the last of both, or a reconnection among
    // them would rightly publish the readings still coming.
    const CChannelSet& channels = program.Dialog()->Instrument().Channels();
    ASSERT_TRUE(WaitFor([&] { return channels[1].dValue == 29.0 && channels[2].dValue == 39.0; }, 30000));
    ASSERT_TRUE(broker.Start());
    TestSubscriber sub;
    ASSERT_TRUE(sub.Connect(broker.Url(), "test-keeper", false));
    // The back-off's next try is at most a minute away.
    ASSERT_TRUE(sub.WaitFor([&] { return !sub.On("qm487/4660/T2").empty(); }, 90000));
    sub.WaitFor([] { return false; }, 1000);  // anything more that was coming
    std::vector<std::string> t1, t2;
    for (const ReceivedMessage& m : sub.On(kT1))
        t1.push_back(m.strPayload.substr(0, 14));
    for (const ReceivedMessage& m : sub.On("qm487/4660/T2"))
        t2.push_back(m.strPayload.substr(0, 14));
    // The reading of before the stop (sent again until the program heard
    // it, so maybe more than once), then only the latest.
    while (t1.size() > 2 && t1[1] == t1[0])
        t1.erase(t1.begin());
    EXPECT_EQ(t1, (std::vector<std::string>{"{\"value\":20.0,", "{\"value\":29.0,"}));
    EXPECT_EQ(t2, (std::vector<std::string>{"{\"value\":39.0,"}));
    EXPECT_TRUE(program.WaitForStatus(heard2, 30000));
}

TEST(MqttProgram, AWrongOrUnreadablePasswordIsShownAsSuchAndTheRightOneWorks) {
    MosquittoBroker broker("password", "password");
    ASSERT_TRUE(broker.Start());
    // Another Windows user's password: held, never sent as an empty one.
    RunningProgram program(MqttIni(broker.Url(), "MQTT_USER=lab\r\nMQTT_SECRET=AAAAAAAAAAAAAAAA\r\n"));
    Instrument instrument;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(instrument.SendUntilHeard(program, Reading(1, 21.4), kHeard + kMqttFails));
    HWND dlg = OpenMqttDialog(program);
    ASSERT_NE(dlg, nullptr);
    const std::wstring held = WindowText(GetDlgItem(dlg, IDC_MQTT_STATE));
    EXPECT_NE(held.find(L"nie mo\x017Cna odczyta\x0107"), std::wstring::npos) << afx::Narrow1250(held);
    const std::string log = broker.ReadText("mosquitto.log");
    // Only the probe of the broker's start connected.
    EXPECT_EQ(log.find("New connection", log.find("New connection") + 1), std::string::npos) << log;
    // A wrong one is refused by the broker, and the dialog says so.
    SetDlgItemTextW(dlg, IDC_MQTT_SECRET, L"wrong");
    ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDOK));
    dlg = OpenMqttDialog(program);
    ASSERT_NE(dlg, nullptr);
    const HWND stateText = GetDlgItem(dlg, IDC_MQTT_STATE);
    EXPECT_TRUE(WaitFor([&] { return WindowText(stateText).find(L"not authorized") != std::wstring::npos; }, 30000))
        << afx::Narrow1250(WindowText(stateText));
    // The check says the broker's answer: a user and password with Polish
    // letters go out as UTF-8, as MQTT's strings are.
    SetDlgItemTextW(dlg, IDC_MQTT_USER, L"Pawe\x0142");
    SetDlgItemTextW(dlg, IDC_MQTT_SECRET, L"za\x017C\x00F3\x0142\x0107");
    EXPECT_EQ(CheckAnswer(dlg, L"("), kAccepted);
    EXPECT_NE(broker.ReadText("mosquitto.log").find("u'Pawe\xC5\x82'"), std::string::npos);
    SetDlgItemTextW(dlg, IDC_MQTT_CHECK_RESULT, L"");
    // A password Windows-1250 cannot hold goes as typed; a user name it
    // cannot hold (the settings file keeps it so) is refused.
    SetDlgItemTextW(dlg, IDC_MQTT_USER, L"ivan");
    SetDlgItemTextW(dlg, IDC_MQTT_SECRET, L"\x043F\x0430\x0440\x043E\x043B\x044C");
    EXPECT_EQ(CheckAnswer(dlg, L"("), kAccepted);
    SetDlgItemTextW(dlg, IDC_MQTT_CHECK_RESULT, L"");
    SetDlgItemTextW(dlg, IDC_MQTT_USER, L"\x0438\x0432\x0430\x043D");
    EXPECT_NE(CheckAnswer(dlg, L"Windows-1250").find(L"Windows-1250"), std::wstring::npos);
    SetDlgItemTextW(dlg, IDC_MQTT_CHECK_RESULT, L"");
    SetDlgItemTextW(dlg, IDC_MQTT_USER, L"lab");
    // Then the right password is kept.
    SetDlgItemTextW(dlg, IDC_MQTT_SECRET, L"Has-7;x");
    EXPECT_EQ(CheckAnswer(dlg, L"("), kAccepted);
    ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDOK));
    TestSubscriber sub;
    ASSERT_TRUE(sub.Connect(broker.Url(), "test-sub"));
    ASSERT_TRUE(sub.Subscribe(kStatus));
    ASSERT_TRUE(sub.WaitFor([&] { return !sub.On(kStatus).empty() && sub.On(kStatus).back().strPayload == "online"; }));
    EXPECT_TRUE(program.WaitForStatus(kHeard, 30000));
    EXPECT_EQ(ReadFileBytes(program.IniPath()).find("Has-7"), std::string::npos);

    // The password in clear to another machine: the check and OK ask first,
    // "No" sends nothing, and a yes on the check is not asked again on OK.
    dlg = OpenMqttDialog(program);
    ASSERT_NE(dlg, nullptr);
    SetDlgItemTextW(dlg, IDC_MQTT_URL, L"mqtt://broker.lan");
    SetDlgItemTextW(dlg, IDC_MQTT_SECRET, L"Has-7;x");
    for (const auto& [command, words, answer] : {std::make_tuple(IDC_MQTT_CHECK, L"Sprawdzi\x0107 mimo to?", IDNO),
                                                 std::make_tuple(IDOK, L"(adres mqtt:// innego komputera)", IDNO),
                                                 std::make_tuple(IDC_MQTT_CHECK, L"adres mqtts://.", IDYES)}) {
        EXPECT_EQ(WindowText(GetDlgItem(dlg, IDC_MQTT_CHECK_RESULT)), L"");  // no check was started
        PostMessageW(dlg, WM_COMMAND, command, 0);
        HWND box = nullptr;
        ASSERT_TRUE(
            WaitFor([&] { return (box = program.FindDialog([](HWND h) { return !IsMqttDialog(h); })); }, 10000));
        EXPECT_NE(RunningProgram::MessageBoxText(box).find(words), std::wstring::npos) << afx::Narrow1250(words);
        ASSERT_TRUE(RecordingDriver(program).Answer(box, answer));
        ASSERT_TRUE(IsWindow(dlg));
    }
    ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDOK));
    EXPECT_NE(ReadFileBytes(program.IniPath()).find("MQTT_URL=mqtt://broker.lan\r\n"), std::string::npos);
}

// The program is always given the test's CA (ca.pem); the broker's
// certificate differs by row.
TEST(MqttProgram, TlsTrustsTheTestsOwnCaAsExactlyItselfAndChecksTheName) {
    const struct {
        const char* mode;
        const wchar_t* refusal;  // nullptr: accepted
    } rows[] = {
        {"tls", nullptr},
        // From a CA with ca.pem's name, serial number and key identifier
        // and a key of its own, sent along with it.
        {"tls-lookalike", L"not trusted"},
        // The same certificate alone: its signature is not ca.pem's.
        {"tls-lookalike-alone", L"not trusted"},
        {"tls-elsewhere", L"for another name"},
        // From an intermediate the broker does not send, whose address the
        // certificate names: never fetched, as a stop would wait on it.
        {"tls-aia", L"not trusted"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        MosquittoBroker broker(row.mode, row.mode);
        ASSERT_TRUE(broker.Start());
        RunningProgram program(MqttIni(broker.Url(), "MQTT_CA_FILE=" + broker.CaFile() + "\r\n"));
        Instrument instrument;
        ASSERT_TRUE(program.Start());
        if (row.refusal != nullptr) {
            ASSERT_TRUE(instrument.SendUntilHeard(program, Reading(1, 21.4), kHeard + kMqttFails));
            HWND dlg = OpenMqttDialog(program);
            ASSERT_NE(dlg, nullptr);
            const std::wstring state = WindowText(GetDlgItem(dlg, IDC_MQTT_STATE));
            EXPECT_NE(state.find(row.refusal), std::wstring::npos) << afx::Narrow1250(state);
            ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDCANCEL));
            // No CONNECT reached the broker (each is taken: it would name
            // the client), so neither would a password.
            EXPECT_EQ(broker.ReadText("mosquitto.log").find("qm487-"), std::string::npos);
            EXPECT_EQ(broker.ReadText("http.log").find("GET "), std::string::npos);
            continue;
        }
        // The program connects once it has heard the instrument.
        TestSubscriber sub(broker.CaFile());
        ASSERT_TRUE(sub.Connect(broker.Url(), "test-sub"));
        ASSERT_TRUE(sub.Subscribe("qm487/#"));
        ASSERT_TRUE(instrument.SendUntilHeard(program, Reading(1, 21.4)));
        ASSERT_TRUE(sub.WaitFor([&] { return !sub.On(kT1).empty(); }));
        EXPECT_EQ(sub.On(kT1)[0].strPayload.substr(0, 14), "{\"value\":21.4,");

        // Without the CA, the system's roots do not trust the broker.
        HWND dlg = OpenMqttDialog(program);
        ASSERT_NE(dlg, nullptr);
        SetDlgItemTextW(dlg, IDC_MQTT_CA_FILE, L"");
        const std::wstring answer = CheckAnswer(dlg, L"certificate");
        EXPECT_NE(answer.find(L"not trusted"), std::wstring::npos) << afx::Narrow1250(answer);
        ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDCANCEL));
    }
}

TEST(MqttProgram, HostileBrokersNeitherCrashNorHoldUpTheProgram) {
    const std::string connack("\x20\x02\x00\x00", 4);
    const struct {
        const char* name;
        std::string reply;
        bool bHangUp;
    } rows[] = {
        {"garbage", "HTTP/1.1 400 Bad Request\r\n\r\n", false},
        {"refusal", std::string("\x20\x02\x00\x05", 4), false},
        {"PUBACK for an unknown id", connack + std::string("\x40\x02\x77\x77", 4), false},
        {"closed mid-packet", connack + std::string("\x30\x20\x00\x05qm4", 8), true},
        {"silent", "", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        HostileBroker broker(row.reply, row.bHangUp);
        RunningProgram program(MqttIni(broker.Url()));
        Instrument instrument;
        ASSERT_TRUE(program.Start());
        ASSERT_TRUE(instrument.SendUntilHeard(program, Reading(1, 21.4)));
        if (row.reply == connack + std::string("\x40\x02\x77\x77", 4)) {
            // Still connected and publishing.
            ASSERT_TRUE(WaitFor([&] { return broker.Received().find(kT1) != std::string::npos; }, 30000));
            EXPECT_FALSE(program.Dialog()->MqttFeed().IsFailing());
        } else if (!row.reply.empty()) {
            // Refused, dropped and tried again after the back-off.
            ASSERT_TRUE(WaitFor([&] { return broker.Connections() >= 2; }, 30000));
            EXPECT_TRUE(program.WaitForStatus(kHeard + kMqttFails, 30000));
        } else {
            ASSERT_TRUE(WaitFor([&] { return broker.Connections() >= 1; }, 30000));
        }
        // The window still answers, and closing does not wait for the broker:
        // well within the 10 s a CONNACK is waited for.
        ASSERT_TRUE(instrument.SendUntilHeard(program, Reading(1, 21.4), program.Status()));
        const ULONGLONG started = GetTickCount64();
        ASSERT_TRUE(program.Close());
        const ULONGLONG closeMs = GetTickCount64() - started;
        std::printf("%s: closed in %llu ms\n", row.name, closeMs);
        EXPECT_LT(closeMs, 5000u);
    }
}

// A name lookup that does not end (the DNS server out of reach) holds up
// neither a stop nor the time limit of a connection; it ends by itself.
TEST(MqttProgram, ANameLookupThatDoesNotEndHoldsUpNeitherAStopNorTheTimeLimit) {
    auto release = std::make_shared<CHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto ended = std::make_shared<CHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HostResolver hanging = [release, ended](const std::string&, const std::string&, std::vector<HostAddress>*) {
        WaitForSingleObject(release->Get(), 60000);
        SetEvent(ended->Get());
        return static_cast<int>(WSATRY_AGAIN);
    };
    CHandle cancel(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    std::vector<HostAddress> addresses;
    std::string error;
    EXPECT_FALSE(LookUpHost("broker.example", 1883, cancel.Get(), 60000, &addresses, &error, hanging));
    EXPECT_EQ(error, "stopped");
    ResetEvent(cancel.Get());
    EXPECT_FALSE(LookUpHost("broker.example", 1883, cancel.Get(), 100, &addresses, &error, hanging));
    EXPECT_EQ(error, "name lookup of broker.example timed out");
    EXPECT_EQ(WaitForSingleObject(ended->Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "waited for the lookup";
    SetEvent(release->Get());
    EXPECT_EQ(WaitForSingleObject(ended->Get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
    ASSERT_TRUE(LookUpHost("127.0.0.1", 1883, cancel.Get(), 10000, &addresses, &error)) << error;
    ASSERT_EQ(addresses.size(), 1u);
    EXPECT_EQ(addresses[0].nFamily, AF_INET);
}

// Last: a killed program may hold the bench port a while longer.
TEST(MqttProgram, TheWillSaysOfflineWhenTheProgramIsKilled) {
    MosquittoBroker broker("will", "plain");
    ASSERT_TRUE(broker.Start());
    TestSubscriber sub;
    ASSERT_TRUE(sub.Connect(broker.Url(), "test-sub"));
    ASSERT_TRUE(sub.Subscribe(kStatus));
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qm487_will_" + std::to_string(GetTickCount64()));
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(std::filesystem::path(std::string("Z:") + QM487_EXE), dir / "QM487.exe");
    std::ofstream(dir / "qm487cfg.ini", std::ios::binary) << MqttIni(broker.Url(), "MQTT_DISCOVERY=0\r\n");
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring command = L"\"" + (dir / "QM487.exe").wstring() + L"\"";
    ASSERT_TRUE(
        CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.wstring().c_str(), &si, &pi));
    Instrument instrument;
    const bool online = sub.WaitFor(
        [&] {
            instrument.Send(Reading(1, 21.4));
            return !sub.On(kStatus).empty() && sub.On(kStatus).back().strPayload == "online";
        },
        120000);
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_TRUE(online);
    EXPECT_TRUE(sub.WaitFor([&] { return sub.On(kStatus).back().strPayload == "offline"; }));
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
