// The program under Wine feeding a real InfluxDB: lines written into COM14
// reach the program on COM13 and arrive as points; a wrong database shows in
// the status line and in the "Baza danych" dialog; a password goes through
// the dialog into the file encrypted and comes back.
#include "tests/database/influx_harness.h"
#include "secrets/secret_store.h"

#include <cstdio>
#include <tuple>
#include "tests/recording/recording_harness.h"

using namespace qm487test;

namespace {

const wchar_t kLostLink[] = L"Brak komunikacji z urz\x0105" L"dzeniem. ";
// With its reason: the database is not there (yet).
const wchar_t kSendingFails[] = L"B\x0142\x0105" L"d wysy\x0142" L"ania do bazy danych (HTTP 404). ";

InstrumentReading Reading(int channel, double value, bool valueError = false, bool fine = false) {
    InstrumentReading r;
    r.fine = fine;
    r.channel = channel;
    r.value = value;
    r.valueError = valueError;
    r.calibrationError = false;
    r.serialNumber = 4660;
    return r;
}

std::string DatabaseIni(const std::string& url, const std::string& db, const std::string& port = "13") {
    return "[GENERAL]\r\nPORT_NR=" + port + "\r\nSHOW_ADV=0\r\n[DATABASE]\r\nDB_ENABLED=1\r\nDB_URL=" + url +
           "\r\nDB_NAME=" + db + "\r\n";
}

// The instrument's end of the bench pair COM13/COM14, sending readings.
class DatabaseInstrument : public InstrumentPort {
public:
    DatabaseInstrument() : InstrumentPort(L"\\\\.\\COM14") {}
    bool Send(const InstrumentReading& reading) { return InstrumentPort::Send(Line(reading)); }
    // Until the program hears lines: the reader empties the port as it starts.
    bool SendUntilHeard(RunningProgram& program, const InstrumentReading& reading, const std::wstring& status) {
        for (int attempt = 0; attempt < 20; ++attempt)
            if (Send(reading) && program.WaitForStatus(status, 1000))
                return true;
        return false;
    }
};

bool IsDatabaseDialog(HWND h) { return GetDlgItem(h, IDC_DB_STATE) != nullptr; }

HWND OpenDatabaseDialog(RunningProgram& program) {
    return OpenCommandDialog(program, ID_DATABASE, IsDatabaseDialog);
}

const std::int64_t kAnyTime = 0;

}  // namespace

TEST(DatabaseProgram, LinesFromThePortArriveAsPointsInOrder) {
    InfluxServer& server = SharedInflux();
    ASSERT_TRUE(server.IsStarted());
    RunningProgram program(DatabaseIni(server.Url(), server.NewDatabase()));
    DatabaseInstrument instrument;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitForStatus(kLostLink));
    ASSERT_TRUE(instrument.SendUntilHeard(program, Reading(1, 20.5), L"QM-487 nr 4660. Pomiar temperatury 1 prawid\x0142owy. "));
    // Each line waits for its verdict in the status line, so a slow machine
    // only takes longer.
    const std::wstring serial = L"QM-487 nr 4660. ";
    const std::wstring ok = L" prawid\x0142owy. ";
    ASSERT_TRUE(instrument.Send(Reading(2, 21.4)));  // tenths x 0.1 would be 21.400000000000002
    ASSERT_TRUE(program.WaitForStatus(serial + L"Pomiar temperatury 2" + ok, 60000));
    ASSERT_TRUE(instrument.Send(Reading(0, 1.0)));  // the first mean after a loss shows "???": no point
    ASSERT_TRUE(program.WaitForStatus(serial + L"Pomiar temperatury 0" + ok, 60000));
    ASSERT_TRUE(instrument.Send(Reading(7, 55.5, true)));  // value error: a point without a value
    ASSERT_TRUE(program.WaitForStatus(serial + L"B\x0142\x0105" L"d warto\x015B" L"ci temperatury 7. ", 60000));
    ASSERT_TRUE(instrument.Send(Reading(0, 1.0)));  // the mean of 20.5, 21.4 and 55.5
    ASSERT_TRUE(program.WaitForStatus(serial + L"Pomiar temperatury 0" + ok, 60000));
    ASSERT_TRUE(instrument.Send(Reading(3, -4.25, false, true)));
    ASSERT_TRUE(program.WaitForStatus(serial + L"Pomiar temperatury 3" + ok, 60000));

    std::vector<std::string> rows;
    const char q[] = "SELECT channel, instrument, value, status FROM temperature";
    ASSERT_TRUE(WaitFor([&] { return (rows = server.Query(q)).size() >= 5; }, 120000))
        << testing::PrintToString(rows);
    // Several lines of one channel may share the first accepted reading; skip
    // the ones repeated until the program heard the first.
    std::vector<std::string> tail;
    for (const std::string& row : rows)
        tail.push_back(row.substr(row.find(' ') + 1));
    while (tail.size() > 5 && tail[1] == "T1 4660 20.5 ok")
        tail.erase(tail.begin());
    const std::vector<std::string> expected = {"T1 4660 20.5 ok", "T2 4660 21.4 ok", "T7 4660 - error",
                                               "T 4660 32.46666666666667 ok", "T3 4660 -4.25 ok"};
    EXPECT_EQ(tail, expected);
    // Times are the arrival times, in order, in milliseconds of today.
    std::int64_t previous = kAnyTime;
    for (const std::string& row : rows) {
        const std::int64_t t = std::stoll(row.substr(0, row.find(' ')));
        EXPECT_GE(t, previous);
        EXPECT_GT(t, 1700000000000);
        previous = t;
    }
    EXPECT_FALSE(program.Dialog()->DatabaseFeed().IsFailing());
}

TEST(DatabaseProgram, AMissingDatabaseShowsInTheStatusLineAndGetsThePointsOnceMade) {
    InfluxServer& server = SharedInflux();
    ASSERT_TRUE(server.IsStarted());
    const std::string db = server.NewDatabase(false);
    RunningProgram program(DatabaseIni(server.Url(), db));
    DatabaseInstrument instrument;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(instrument.SendUntilHeard(program, Reading(1, 20.5),
                                          std::wstring(L"QM-487 nr 4660. Pomiar temperatury 1 prawid\x0142owy. ") +
                                              kSendingFails));
    HWND dlg = OpenDatabaseDialog(program);
    ASSERT_NE(dlg, nullptr);
    const std::wstring state = WindowText(GetDlgItem(dlg, IDC_DB_STATE));
    const std::wstring reason =
        L"serwer odpowiedzia\x0142 404 (database not found: \"" + std::wstring(db.begin(), db.end());
    EXPECT_NE(state.find(reason), std::wstring::npos) << std::string(state.begin(), state.end());
    EXPECT_NE(state.find(L"Odrzucone przez serwer: 0."), std::wstring::npos);
    ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDCANCEL));

    // Made now, it gets what was sent before, and the piece goes.
    ASSERT_TRUE(server.CreateDatabase());
    EXPECT_TRUE(program.WaitForStatus(L"QM-487 nr 4660. Pomiar temperatury 1 prawid\x0142owy. ", 60000));
    std::vector<std::string> rows;
    EXPECT_TRUE(WaitFor([&] { return !(rows = server.Query("SELECT value FROM temperature")).empty(); }, 30000));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].substr(rows[0].find(' ') + 1), "20.5");

    // Another name that has no database fails again; switched off, the piece goes.
    dlg = OpenDatabaseDialog(program);
    ASSERT_NE(dlg, nullptr);
    SetDlgItemTextW(dlg, IDC_DB_NAME, L"wrong_db");
    ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDOK));
    const std::wstring heard = L"QM-487 nr 4660. Pomiar temperatury 1 prawid\x0142owy. ";
    ASSERT_TRUE(instrument.SendUntilHeard(program, Reading(1, 20.5), heard + kSendingFails));
    dlg = OpenDatabaseDialog(program);
    ASSERT_NE(dlg, nullptr);
    SendMessageW(GetDlgItem(dlg, IDC_DB_ENABLED), BM_SETCHECK, BST_UNCHECKED, 0);
    ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDOK));
    EXPECT_TRUE(program.WaitForStatus(heard));
}

// Whatever the server does, the window never waits for it: not when the
// dialog closes during its check, not on OK with nothing changed, not on
// closing the program with a request under way.
TEST(DatabaseProgram, ASilentServerHoldsUpNeitherTheDialogNorClosing) {
    SilentServer silent;
    ASSERT_NE(silent.Port(), 0);
    RunningProgram program(DatabaseIni(silent.Url(), "qm487"));
    DatabaseInstrument instrument;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(instrument.SendUntilHeard(program, Reading(1, 20.5),
                                          L"QM-487 nr 4660. Pomiar temperatury 1 prawid\x0142owy. "));
    ASSERT_TRUE(silent.AcceptOne(30000));  // the sender's request, never answered

    HWND dlg = OpenDatabaseDialog(program);
    ASSERT_NE(dlg, nullptr);
    PostMessageW(dlg, WM_COMMAND, IDC_DB_PING, 0);
    ASSERT_TRUE(silent.AcceptOne(30000));  // the check's
    ULONGLONG before = GetTickCount64();
    ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDOK));
    const ULONGLONG okMs = GetTickCount64() - before;

    before = GetTickCount64();
    ASSERT_TRUE(program.Close());
    const ULONGLONG closeMs = GetTickCount64() - before;
    std::printf("[ figure ] silent server: OK during the check %llu ms, closing the program %llu ms\n", okMs, closeMs);
    // A wait for the network would last the request's time-out.
    EXPECT_LT(okMs, dbsend::kHttpTimeoutMs);
    EXPECT_LT(closeMs, dbsend::kHttpTimeoutMs);
}

TEST(DatabaseProgram, APasswordIsKeptEncryptedAndComesBack) {
    std::string ini;
    {
        RunningProgram program("[GENERAL]\r\nSHOW_ADV=0\r\n");
        ASSERT_TRUE(program.Start());
        HWND dlg = OpenDatabaseDialog(program);
        ASSERT_NE(dlg, nullptr);
        // Refused: a ':' in the user name, a letter the settings file cannot
        // keep. Asked first, by the check and by OK: a password in plain text
        // to another machine ("No" keeps the dialog and sends nothing).
        SetDlgItemTextW(dlg, IDC_DB_URL, L"http://influx.lan:8086");
        SetDlgItemTextW(dlg, IDC_DB_USER, L"lab:1");
        SetDlgItemTextW(dlg, IDC_DB_SECRET, L"Has\x0142o-7;x");
        for (const auto& [command, user, words, answer] :
             {std::make_tuple(IDOK, L"lab:1", L"dwukropka", IDOK),
              std::make_tuple(IDOK, L"\x0438\x0432\x0430\x043D", L"(Windows-1250) nie zapisze", IDOK),
              std::make_tuple(IDC_DB_PING, L"lab", L"http:// innego komputera", IDNO),
              std::make_tuple(IDOK, L"lab", L"bez szyfrowania", IDNO)}) {
            SetDlgItemTextW(dlg, IDC_DB_USER, user);
            PostMessageW(dlg, WM_COMMAND, command, 0);
            HWND box = nullptr;
            ASSERT_TRUE(WaitFor([&] { return (box = program.FindDialog([](HWND h) { return !IsDatabaseDialog(h); })); },
                                10000));
            EXPECT_NE(RunningProgram::MessageBoxText(box).find(words), std::wstring::npos);
            ASSERT_TRUE(RecordingDriver(program).Answer(box, answer));
            ASSERT_TRUE(IsWindow(dlg));
            EXPECT_EQ(WindowText(GetDlgItem(dlg, IDC_DB_PING_RESULT)), L"");  // no check was started
        }
        SetDlgItemTextW(dlg, IDC_DB_URL, L"http://127.0.0.1:9");
        ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDOK));
        // A confirmed dialog is in the file at once.
        ini = ReadFileBytes(program.IniPath());
        ASSERT_TRUE(program.Close());
        const std::size_t at = ini.find("DB_SECRET=");
        ASSERT_NE(at, std::string::npos) << ini;
        const std::string text = ini.substr(at + 10, ini.find('\r', at) - at - 10);
        EXPECT_EQ(ini.find("o-7;x"), std::string::npos);
        std::string plain;
        ASSERT_TRUE(UnprotectSecret(text, plain));
        EXPECT_EQ(plain, "Has\xB3o-7;x");
        EXPECT_NE(ini.find("DB_USER=lab\r\n"), std::string::npos);
        EXPECT_NE(ini.find("DB_ENABLED=0\r\n"), std::string::npos);
    }
    RunningProgram again(ini);
    ASSERT_TRUE(again.Start());
    HWND dlg = OpenDatabaseDialog(again);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDC_DB_SECRET)), L"Has\x0142o-7;x");
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDC_DB_SECRET_NOTE)), L"");
    ASSERT_TRUE(RecordingDriver(again).Press(dlg, IDCANCEL));
}

TEST(DatabaseProgram, AnotherUsersSecretCountsAsNoneAndTheDialogSaysSo) {
    // Valid base64, but nothing this user encrypted.
    RunningProgram program("[GENERAL]\r\nSHOW_ADV=0\r\n[DATABASE]\r\nDB_USER=lab\r\nDB_SECRET=AQAAANCMnd8BFdERjHoAwE/Cl+s=\r\n");
    ASSERT_TRUE(program.Start());
    EXPECT_TRUE(program.Dialog()->DatabaseFeed().Secret().empty());
    HWND dlg = OpenDatabaseDialog(program);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDC_DB_SECRET)), L"");
    EXPECT_NE(WindowText(GetDlgItem(dlg, IDC_DB_SECRET_NOTE)).find(L"nie mo\x017Cna odczyta\x0107"), std::wstring::npos);
    ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDOK));
    ASSERT_TRUE(program.Close());
    // Left alone, the file keeps it (it may be its owner's).
    EXPECT_NE(ReadFileBytes(program.IniPath()).find("DB_SECRET=AQAAANCMnd8BFdERjHoAwE/Cl+s=\r\n"), std::string::npos);
}
