// The whole program under Wine telling alarms to a person away from the PC:
// a real mail server (STARTTLS with the test's CA, a password), a web hook
// listener and a program of the test's own (notify_servers.sh,
// argv_writer). COM14 is the instrument's end of the bench pair, the
// program listens on COM13. Every wait is bounded.
#include "framework/text.h"
#include "notify/notify_outbox.h"
#include "secrets/secret_store.h"
#include "tests/app/child_process.h"
#include "tests/recording/recording_harness.h"
#include "tests/server_script.h"
#include "tests/silent_server.h"

#include <winsock2.h>

#include <cstdio>
#include <regex>

using namespace qm487test;

namespace {

// A mail server and a web hook listener of one test, in a folder of its own.
class NotifyServers {
public:
    explicit NotifyServers(const std::string& name)
        : m_script(QM487_NOTIFY_SCRIPT, std::string(QM487_NOTIFY_BASE) + "/" + name) {}
    ~NotifyServers() { m_script.Run("clean", 30000); }
    bool Start() { return m_script.Run("start", 60000); }
    bool Stop() { return m_script.Run("stop", 30000); }
    std::string SmtpUrl() const { return "smtp://localhost:" + Port("smtp.port"); }
    std::string HookUrl() const { return "http://127.0.0.1:" + Port("http.port") + "/ok"; }
    std::string CaFile() const { return m_script.Path("ca.pem"); }
    std::string Posts() const { return m_script.ReadText("posts.log"); }
    // The nth message taken (from 1): the raw source (.eml) or what a mail
    // reader shows of it (.txt).
    std::string MailPath(int n, const char* ext) const {
        char name[32];
        std::snprintf(name, sizeof name, "mail/%04d.%s", n, ext);
        return m_script.Path(name);
    }
    bool HasMail(int n) const { return std::filesystem::exists(MailPath(n, "eml")); }
    std::string MailText(int n) const { return ReadFileBytes(MailPath(n, "txt")); }

private:
    std::string Port(const char* file) const {
        std::string text = m_script.ReadText(file);
        return text.substr(0, text.find_first_of("\r\n"));
    }
    ServerScript m_script;
};

InstrumentReading Reading(int channel, double value) {
    InstrumentReading r;
    r.channel = channel;
    r.value = value;
    r.serialNumber = 4660;
    return r;
}

const std::string kLimits = "[ALARM]\r\nHIGH_TEMP3=25.0\r\nHIGH_TEMP5=25.0\r\n";

std::string NotifyIni(const std::string& notify) {
    return "[GENERAL]\r\nPORT_NR=13\r\nSHOW_ADV=0\r\n" + kLimits + "[NOTIFY]\r\nNOTIFY_REPEAT=0\r\n" + notify;
}

// moreTo: recipients after the two the server takes (with a ";" among
// them, the file ends the value with one, as the program stores it).
std::string MailIni(const NotifyServers& servers, const std::string& moreTo = "") {
    return "NOTIFY_SMTP_URL=" + servers.SmtpUrl() +
           "\r\nNOTIFY_FROM=qm487@lab.test\r\n"
           "NOTIFY_TO=a@lab.test, b@lab.test" +
           moreTo + "\r\nNOTIFY_SMTP_CA_FILE=" + servers.CaFile() + "\r\n";
}

class Instrument : public InstrumentPort {
public:
    Instrument() : InstrumentPort(L"\\\\.\\COM14") {}
    bool Send(const InstrumentReading& r) { return InstrumentPort::Send(Line(r)); }
    // Until the program has heard it: the reader empties the port as it starts.
    bool SendUntilHeard(RunningProgram& program) {
        const std::wstring heard = L"QM-487 nr 4660. Pomiar temperatury 1 prawid\x0142owy.";
        for (int attempt = 0; attempt < 20; ++attempt)
            if (Send(Reading(1, 21.0)) &&
                WaitFor([&] { return program.Status().compare(0, heard.size(), heard) == 0; }, 1000))
                return true;
        return false;
    }
};

std::string ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(name, &n);
    return afx::NarrowUtf8(std::wstring(name, n));
}

// "2026-12-08 14:03:12 +01:00"
const char kTimeWithOffset[] = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d [+-]\\d\\d:\\d\\d";

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

bool IsNotifyDialog(HWND h) { return GetDlgItem(h, IDC_NOTIFY_TEST) != nullptr; }

}  // namespace

TEST(NotifyProgram, AnAlarmRaisedAndClearedArrivesOnceByEachWay) {
    NotifyServers servers("each_way");
    ASSERT_TRUE(servers.Start());
    bool bFailed = false;
    // The password has a Polish letter: the file holds it encrypted, the
    // server takes it as UTF-8.
    const std::string secret = ProtectSecret("Has\xB3o-7;x", &bFailed);
    ASSERT_FALSE(bFailed);
    RunningProgram program(NotifyIni(MailIni(servers, "; nobody@lab.test;") +
                                     "NOTIFY_SMTP_USER=lab\r\nNOTIFY_SMTP_SECRET=" + secret +
                                     "\r\nNOTIFY_WEBHOOK_URL=" + servers.HookUrl() +
                                     "\r\nNOTIFY_PROGRAM=" + WindowsPath(QM487_ARGV_WRITER) + "\r\n") +
                           // Channel 3 named and corrected: 26.8 sent is 26.5; channel 5,
                           // with a limit, has no probe: no message.
                           "[TEMP3]\r\nNAME_TEMP3=Zamra\xBF" "arka 1\r\nCAL_OFFSET_TEMP3=-0.3\r\n"
                           "[TEMP5]\r\nIN_USE_TEMP5=0\r\n");
    const std::filesystem::path argvFile = program.IniPath().parent_path() / "argv.txt";
    SetEnvironmentVariableW(L"QM487_ARGV_FILE", argvFile.wstring().c_str());
    SetEnvironmentVariableW(L"QM487_ARGV_APPEND", L"1");
    Instrument instrument;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(instrument.SendUntilHeard(program));

    ASSERT_TRUE(instrument.Send(Reading(5, 40.0)));
    const ULONGLONG sent = GetTickCount64();
    ASSERT_TRUE(instrument.Send(Reading(3, 26.8)));
    ASSERT_TRUE(WaitFor([&] { return servers.HasMail(1); }, 60000));
    std::printf("alarm line sent -> mail taken by the server: %llu ms\n", GetTickCount64() - sent);
    ASSERT_TRUE(instrument.Send(Reading(3, 22.0)));
    ASSERT_TRUE(WaitFor(
        [&] {
            return servers.HasMail(2) && Count(servers.Posts(), "/ok ") == 2 &&
                   Count(ReadFileBytes(argvFile), "--\n") == 2;
        },
        60000))
        << servers.Posts() << ReadFileBytes(argvFile);
    Sleep(1000);  // anything more that was coming
    EXPECT_FALSE(servers.HasMail(3));
    // One message's source beside the test, to be shown decoded.
    const std::string sample = WindowsPath(QM487_NOTIFY_BASE "/../sample-mail.eml");
    std::error_code ec;
    std::filesystem::remove(sample, ec);
    std::filesystem::copy_file(servers.MailPath(1, "eml"), sample, ec);

    const std::string pc = ComputerName();
    const std::string raised = servers.MailText(1);
    const std::string cleared = servers.MailText(2);
    // As a mail reader shows them: the subject decoded, the body UTF-8.
    EXPECT_EQ(raised.substr(0, raised.find("\n\n")),
              "login: lab\nrcpt: a@lab.test,b@lab.test\ncharset: utf-8\nsubject: QM487 " + pc +
                  ": Zamra\xC5\xBC" "arka 1 powy\xC5\xBC"
                  "ej 25.0 \xC2\xB0"
                  "C");
    for (const char* part : {"Komputer: ",
                             "Przyrz\xC4\x85"
                             "d nr: 4660\n",
                             "Kana\xC5\x82: Zamra\xC5\xBC" "arka 1 (T3)\n",
                             "Warto\xC5\x9B\xC4\x87: 26.5 \xC2\xB0"
                             "C\n",
                             "G\xC3\xB3rna granica: 25.0 \xC2\xB0"
                             "C\n"})
        EXPECT_NE(raised.find(part), std::string::npos) << part << "\n" << raised;
    EXPECT_NE(raised.find("Komputer: " + pc + "\n"), std::string::npos) << raised;
    EXPECT_TRUE(std::regex_search(raised, std::regex(std::string("Czas: ") + kTimeWithOffset + "\n"))) << raised;
    EXPECT_NE(cleared.find("subject: QM487 " + pc +
                           ": Zamra\xC5\xBC" "arka 1 wr\xC3\xB3"
                           "ci\xC5\x82"
                           "a poni\xC5\xBC"
                           "ej 25.0 \xC2\xB0"
                           "C\n"),
              std::string::npos)
        << cleared;
    EXPECT_NE(cleared.find("Alarm trwa\xC5\x82 "), std::string::npos) << cleared;
    // The recipient the server refused, in the notification log.
    const std::string log = ReadFileBytes(program.IniPath().parent_path() / "qm487cfg.notify.log");
    EXPECT_EQ(Count(log, "nobody@lab.test: 550"), 2u) << log;

    // The web hook: JSON with the text and each field.
    const std::string posts = servers.Posts();
    EXPECT_EQ(posts.find("/ok application/json"), 0u) << posts;
    for (const std::string& part :
         {std::string("\"event\":\"alarm\","), std::string("\"event\":\"alarm_cleared\","), "\"pc\":\"" + pc + "\"",
          std::string("\"instrument\":4660,\"channel\":3,\"value\":\"26.5 \xC2\xB0"
                      "C\",\"limit\":\"25.0 \xC2\xB0"
                      "C\""),
          std::string("\"text\":\"QM487 ")})
        EXPECT_NE(posts.find(part), std::string::npos) << part << "\n" << posts;
    EXPECT_TRUE(std::regex_search(posts, std::regex(std::string("\"time\":\"") + kTimeWithOffset + "\"")));

    // The program: the fields as separate arguments, as they are.
    const std::string argv = ReadFileBytes(argvFile);
    EXPECT_EQ(argv.find("[alarm]\n[" + pc +
                        "]\n[]\n[4660]\n[3]\n[26.5 \xC2\xB0"
                        "C]\n[25.0 \xC2\xB0"
                        "C]\n["),
              0u)
        << argv;
    EXPECT_NE(argv.find("--\n[alarm_cleared]\n[" + pc + "]\n"), std::string::npos) << argv;
    EXPECT_FALSE(program.Dialog()->Notifications().IsFailing());

    // The dialog's test message goes by each way, and each answer is shown.
    HWND dlg = OpenCommandDialog(program, ID_NOTIFY, IsNotifyDialog);
    ASSERT_NE(dlg, nullptr);
    PostMessageW(dlg, WM_COMMAND, IDC_NOTIFY_TEST, 0);
    std::wstring answers;
    EXPECT_TRUE(WaitFor(
        [&] {
            answers = WindowText(GetDlgItem(dlg, IDC_NOTIFY_TEST_RESULT));
            return answers.find(L"program") != std::wstring::npos;
        },
        30000));
    EXPECT_TRUE(WaitFor([&] { return servers.HasMail(3); }, 10000)) << afx::Narrow1250(answers);
    std::printf("the test message's answers:\n%s\n", afx::NarrowUtf8(answers).c_str());
    // The state below shows each way's last answer, every line of it.
    const HWND state = GetDlgItem(dlg, IDC_NOTIFY_STATE);
    std::wstring stateText;
    ASSERT_TRUE(
        WaitFor([&] { return (stateText = WindowText(state)).find(L"program: ") != std::wstring::npos; }, 10000));
    RECT box = {}, needed = {};
    GetClientRect(state, &box);
    needed.right = box.right;
    HDC dc = GetDC(state);
    const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(state, WM_GETFONT, 0, 0)));
    DrawTextW(dc, stateText.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK);
    SelectObject(dc, oldFont);
    ReleaseDC(state, dc);
    EXPECT_LE(needed.bottom, box.bottom) << afx::NarrowUtf8(stateText);
    TakeScreenshot(dlg);
    ASSERT_TRUE(RecordingDriver(program).Press(dlg, IDCANCEL));
}

TEST(NotifyProgram, ASilentInstrumentIsToldAfterAMinuteAndSoIsItsReturn) {
    NotifyServers servers("silence");
    ASSERT_TRUE(servers.Start());
    RunningProgram program(NotifyIni(
        "NOTIFY_SILENCE=1\r\nNOTIFY_WEBHOOK_FORMAT=text\r\nNOTIFY_WEBHOOK_URL=" + servers.HookUrl() + "\r\n"));
    Instrument instrument;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(instrument.SendUntilHeard(program));
    const std::string silent = "Brak odczyt\xC3\xB3w od 1 min";
    ASSERT_TRUE(WaitFor([&] { return servers.Posts().find(silent) != std::string::npos; }, 100000)) << servers.Posts();
    EXPECT_EQ(servers.Posts().find("/ok text/plain; charset=utf-8\nQM487 "), 0u) << servers.Posts();
    ASSERT_TRUE(instrument.SendUntilHeard(program));
    EXPECT_TRUE(WaitFor(
        [&] { return servers.Posts().find("Odczyty znowu nap\xC5\x82ywaj\xC4\x85") != std::string::npos; }, 30000))
        << servers.Posts();
    EXPECT_EQ(Count(servers.Posts(), "/ok "), 2u) << servers.Posts();
}

TEST(NotifyProgram, ClosingDoesNotWaitForAMailServerThatNeverAnswers) {
    SilentServer server;
    RunningProgram program(NotifyIni("NOTIFY_SMTP_URL=smtp://127.0.0.1:" + std::to_string(server.Port()) +
                                     "\r\nNOTIFY_FROM=qm487@lab.test\r\nNOTIFY_TO=a@lab.test\r\n"));
    Instrument instrument;
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(instrument.SendUntilHeard(program));
    ASSERT_TRUE(instrument.Send(Reading(3, 26.5)));
    ASSERT_TRUE(server.AcceptOne(30000));
    const ULONGLONG started = GetTickCount64();
    ASSERT_TRUE(program.Close());
    const ULONGLONG closeMs = GetTickCount64() - started;
    std::printf("close with a mail server that never answers took %llu ms\n", closeMs);
    EXPECT_LT(closeMs, 10000u);
}

// Last: a killed program may hold the bench port a while longer.
TEST(NotifyProgram, AMessageWaitingAtAKillArrivesOnceAtTheNextStartBeforeTheUncleanStartMessage) {
    NotifyServers servers("kill");
    ASSERT_TRUE(servers.Start());
    ASSERT_TRUE(servers.Stop());
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qm487_notify_kill_" + std::to_string(GetTickCount64()));
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(WindowsPath(QM487_EXE), dir / "QM487.exe");
    std::ofstream(dir / "qm487cfg.ini", std::ios::binary) << NotifyIni(MailIni(servers));
    const std::filesystem::path outbox = dir / "qm487cfg.outbox";
    Instrument instrument;
    {
        ChildProcess first;
        ASSERT_TRUE(first.Start((dir / "QM487.exe").string(), ""));
        // Sent again until the alarm's message waits in the outbox.
        ASSERT_TRUE(WaitFor(
            [&] {
                instrument.Send(Reading(3, 26.5));
                std::error_code ec;
                return std::filesystem::file_size(outbox, ec) > 0 && !ec;
            },
            60000));
        TerminateProcess(first.Process(), 1);
        ASSERT_TRUE(first.WaitForExit(10000));
    }
    ASSERT_TRUE(servers.Start());
    ChildProcess second;
    ASSERT_TRUE(second.Start((dir / "QM487.exe").string(), ""));
    ASSERT_TRUE(WaitFor([&] { return servers.HasMail(2); }, 60000));
    Sleep(2000);  // anything more that was coming
    EXPECT_FALSE(servers.HasMail(3));
    EXPECT_NE(servers.MailText(1).find("Temperatura 3 powy\xC5\xBC"
                                       "ej 25.0"),
              std::string::npos)
        << servers.MailText(1);
    EXPECT_NE(servers.MailText(2).find("Program uruchomiony po nieoczekiwanym zako\xC5\x84"
                                       "czeniu"),
              std::string::npos)
        << servers.MailText(2);
    TerminateProcess(second.Process(), 1);
    ASSERT_TRUE(second.WaitForExit(10000));
    // Both taken, so a third start has nothing to send again.
    CNotifyOutbox left(outbox);
    ASSERT_TRUE(left.Load());
    EXPECT_TRUE(left.Pending().empty());
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
