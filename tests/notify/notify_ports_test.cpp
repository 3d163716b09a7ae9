// The notifications' ways out on Windows, under Wine: the mail server's
// stream (plain, STARTTLS, certificate checks, Cancel), the web hook's POST
// and the start of a program with its arguments. Every wait is bounded.
#include "framework/text.h"
#include "notify/command_line.h"
#include "notify/http_poster_win.h"
#include "notify/notify_feed.h"
#include "notify/notify_stream_win.h"
#include "notify/program_starter_win.h"
#include "tests/server_script.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using qm487test::ServerScript;

// One mail server and one web hook listener for the whole program.
class NotifyServers : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(Script().Run("start", 60000)) << Script().ReadText("servers.out");
        s_nSmtpPort = std::stoi(Script().ReadText("smtp.port"));
        s_nHttpPort = std::stoi(Script().ReadText("http.port"));
    }
    void TearDown() override { Script().Run("clean", 30000); }

    static const ServerScript& Script() {
        static const ServerScript script(QM487_NOTIFY_SCRIPT, std::string(QM487_NOTIFY_BASE) + "/ports");
        return script;
    }
    static int s_nSmtpPort;
    static int s_nHttpPort;
};
int NotifyServers::s_nSmtpPort = 0;
int NotifyServers::s_nHttpPort = 0;
const auto* const servers = ::testing::AddGlobalTestEnvironment(new NotifyServers);

// The server's next answer (all its lines), waiting up to 10 s.
std::string Answer(INotifyStream& stream) {
    std::string text;
    char buffer[1024];
    const ULONGLONG deadline = GetTickCount64() + 10000;
    // An answer ends with a line "NNN text" (a space after the code).
    while (GetTickCount64() < deadline) {
        const std::size_t lastLine = text.rfind('\n', text.size() >= 2 ? text.size() - 2 : 0);
        const std::size_t start = lastLine == std::string::npos ? 0 : lastLine + 1;
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0 && text.size() > start + 3 &&
            text[start + 3] == ' ')
            return text;
        const int n = stream.Receive(buffer, sizeof buffer, 1000);
        if (n < 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

// Opens a plain connection and asks for STARTTLS; true at the server's 220.
bool ReadyForTls(INotifyStream& stream) {
    std::string error;
    if (!stream.Open("localhost", NotifyServers::s_nSmtpPort, false, std::string(), 10000, &error))
        return false;
    return Answer(stream).compare(0, 3, "220") == 0 && stream.Send("EHLO x\r\n") &&
           Answer(stream).find("STARTTLS") != std::string::npos && stream.Send("STARTTLS\r\n") &&
           Answer(stream).compare(0, 3, "220") == 0;
}

TEST(NotifyStream, PlainConnectionReadsTheBanner) {
    CNotifyStreamWin stream;
    std::string error;
    ASSERT_TRUE(stream.Open("127.0.0.1", NotifyServers::s_nSmtpPort, false, std::string(), 10000, &error)) << error;
    EXPECT_EQ(Answer(stream).compare(0, 4, "220 "), 0);
}

TEST(NotifyStream, StartTlsWithTheGivenCaThenTalksOverTls) {
    CNotifyStreamWin stream;
    std::string error;
    ASSERT_TRUE(stream.Open("localhost", NotifyServers::s_nSmtpPort, false, NotifyServers::Script().Path("ca.pem"),
                            10000, &error))
        << error;
    ASSERT_EQ(Answer(stream).compare(0, 3, "220"), 0);
    ASSERT_TRUE(stream.Send("EHLO x\r\n"));
    ASSERT_NE(Answer(stream).find("STARTTLS"), std::string::npos);
    ASSERT_TRUE(stream.Send("STARTTLS\r\n"));
    ASSERT_EQ(Answer(stream).compare(0, 3, "220"), 0);
    ASSERT_TRUE(stream.StartTls(10000, &error)) << error;
    ASSERT_TRUE(stream.Send("EHLO x\r\n"));
    const std::string answer = Answer(stream);
    EXPECT_EQ(answer.compare(0, 3, "250"), 0) << answer;
    // Over TLS the server offers STARTTLS no more.
    EXPECT_EQ(answer.find("STARTTLS"), std::string::npos) << answer;
}

TEST(NotifyStream, CertificateOfAnUnknownCaIsRefused) {
    CNotifyStreamWin stream;
    std::string error;
    ASSERT_TRUE(ReadyForTls(stream));
    EXPECT_FALSE(stream.StartTls(10000, &error));
    EXPECT_EQ(error, "the server's certificate is not trusted");
    // The connection is closed: nothing goes out in plain text after a
    // failed upgrade.
    EXPECT_FALSE(stream.Send("EHLO x\r\n"));
}

// As the web hook: nothing older than TLS 1.2, even from a server whose
// certificate is trusted.
TEST(NotifyStream, TlsOlderThan12IsRefused) {
    CNotifyStreamWin stream;
    std::string error;
    EXPECT_FALSE(stream.Open("localhost", std::stoi(NotifyServers::Script().ReadText("tls11.port")), true,
                             NotifyServers::Script().Path("ca.pem"), 10000, &error));
    EXPECT_EQ(error, "the server offers no TLS 1.2 or newer");
}

TEST(NotifyStream, CancelEndsAWaitingReceiveAtOnce) {
    CNotifyStreamWin stream;
    std::string error;
    ASSERT_TRUE(stream.Open("127.0.0.1", NotifyServers::s_nSmtpPort, false, std::string(), 10000, &error)) << error;
    ASSERT_EQ(Answer(stream).compare(0, 3, "220"), 0);
    std::atomic<int> result{1};
    std::thread reader([&] {
        char buffer[16];
        result = stream.Receive(buffer, sizeof buffer, 60000);
    });
    Sleep(200);
    stream.Cancel();
    // Bounded: a Receive that ignored the cancel would still wait here.
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (result == 1 && GetTickCount64() < deadline)
        Sleep(10);
    const bool bEnded = result != 1;
    if (!bEnded)
        stream.Close();
    reader.join();
    EXPECT_TRUE(bEnded);
    EXPECT_EQ(result, -1);
    // And for good: the next Open fails at once.
    EXPECT_FALSE(stream.Open("127.0.0.1", NotifyServers::s_nSmtpPort, false, std::string(), 10000, &error));
}

std::string HookUrl(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(NotifyServers::s_nHttpPort) + path;
}

TEST(HttpPoster, PostsTheBodyAndGivesTheStatus) {
    CHttpPosterWin poster;
    const std::string body = "{\"text\":\"Temperatura 3 powy\xC5\xBC" "ej 25,0 \xC2\xB0" "C\"}";
    const HttpAnswer ok = poster.Post(HookUrl("/ok"), "application/json; charset=utf-8", body, 10000);
    EXPECT_EQ(ok.nStatus, 200);
    EXPECT_EQ(ok.strBody, "taken");
    EXPECT_TRUE(ok.strError.empty());
    // A redirect is an answer, never followed (the listener logs every POST).
    const HttpAnswer moved = poster.Post(HookUrl("/moved"), "text/plain; charset=utf-8", "second", 10000);
    EXPECT_EQ(moved.nStatus, 302);
    const HttpAnswer failed = poster.Post(HookUrl("/fail"), "text/plain; charset=utf-8", "third", 10000);
    EXPECT_EQ(failed.nStatus, 500);
    EXPECT_EQ(NotifyServers::Script().ReadText("posts.log"),
              "/ok application/json; charset=utf-8\n" + body + "\n/moved text/plain; charset=utf-8\nsecond\n"
              "/fail text/plain; charset=utf-8\nthird\n");
}

// A status that came is the answer, though its body takes a minute: never
// "no answer", which would post it again at every retry.
TEST(HttpPoster, AStatusBeforeASlowBodyIsTheAnswer) {
    const HttpAnswer answer = CHttpPosterWin().Post(HookUrl("/dribble"), "text/plain", "x", 2000);
    EXPECT_EQ(answer.nStatus, 200) << answer.strError;
}

TEST(HttpPoster, CancelEndsAPostWaitingForItsAnswer) {
    CHttpPosterWin poster;
    std::atomic<bool> bDone{false};
    HttpAnswer answer;
    std::thread sender([&] {
        answer = poster.Post(HookUrl("/silent"), "text/plain", "x", 60000);
        bDone = true;
    });
    Sleep(300);
    poster.Cancel();
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (!bDone && GetTickCount64() < deadline)
        Sleep(10);
    // Checked before the join, which a Post that ignored the cancel would
    // hold for the listener's minute.
    EXPECT_TRUE(bDone);
    sender.join();
    EXPECT_EQ(answer.nStatus, 0);
    EXPECT_FALSE(answer.strError.empty());
}

TEST(HttpPoster, NoListenerOrABadAddressIsToldNotAnswered) {
    CHttpPosterWin poster;
    EXPECT_EQ(poster.Post("ftp://127.0.0.1/x", "text/plain", "x", 10000).nStatus, 0);
    // Polish in UTF-8, as the dialog and the log take it.
    EXPECT_EQ(poster.Post("localhost/x", "text/plain", "x", 10000).strError,
              "nieprawid\xC5\x82owy adres (http:// lub https://)");
    poster.Cancel();
    const HttpAnswer cancelled = poster.Post(HookUrl("/ok"), "text/plain", "x", 10000);
    EXPECT_EQ(cancelled.nStatus, 0);
    EXPECT_EQ(cancelled.strError, "przerwano (b\xC5\x82\xC4\x85"
                                  "d WinHTTP 12017)");
}

// What the program wrote, once it has (within 20 s).
std::string ArgvWritten(const std::string& file) {
    std::string text;
    const ULONGLONG deadline = GetTickCount64() + 20000;
    for (;;) {
        std::ifstream in(afx::WidenUtf8(file).c_str(), std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), {});
        if (!text.empty() || GetTickCount64() >= deadline)
            break;
        Sleep(20);
    }
    return text;
}

std::string TempFile(const char* name) {
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    std::string path = afx::NarrowUtf8(dir) + name;
    DeleteFileW(afx::WidenUtf8(path).c_str());
    return path;
}

const std::vector<std::string> kHardArguments = {
    "plain", "with space", "", "quote\"inside", "back\\slash", "trailing\\", "trailing space\\",
    "\\\"both\\\\\"", "\t", "Pawe\xC5\x82 \xC5\xBC\xC3\xB3\xC5\x82w", "a&b|c>d %PATH%"};

TEST(ProgramStarter, ArgumentsArriveExactlyAsGiven) {
    // The command line alone, split as Windows splits it.
    const std::wstring line = afx::WidenUtf8(BuildCommandLine("C:\\Program Files\\x.exe", kHardArguments));
    int n = 0;
    wchar_t** argv = CommandLineToArgvW(line.c_str(), &n);
    ASSERT_NE(argv, nullptr);
    ASSERT_EQ(n, static_cast<int>(kHardArguments.size()) + 1);
    EXPECT_EQ(afx::NarrowUtf8(argv[0]), "C:\\Program Files\\x.exe");
    for (int i = 1; i < n; ++i)
        EXPECT_EQ(afx::NarrowUtf8(argv[i]), kHardArguments[static_cast<std::size_t>(i) - 1]) << i;
    LocalFree(argv);
    // A script's: PowerShell's own options, the script, then the same arguments.
    const std::wstring script = afx::WidenUtf8(BuildScriptCommandLine(
        "C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe", "C:\\S k\\a.ps1", kHardArguments));
    argv = CommandLineToArgvW(script.c_str(), &n);
    ASSERT_NE(argv, nullptr);
    ASSERT_EQ(n, static_cast<int>(kHardArguments.size()) + 7);
    EXPECT_EQ(afx::NarrowUtf8(argv[5]) + "|" + afx::NarrowUtf8(argv[6]), "-File|C:\\S k\\a.ps1");
    for (int i = 7; i < n; ++i)
        EXPECT_EQ(afx::NarrowUtf8(argv[i]), kHardArguments[static_cast<std::size_t>(i) - 7]) << i;
    LocalFree(argv);

    // And through a started program.
    const std::string file = TempFile("qm487_argv.txt");
    SetEnvironmentVariableW(L"QM487_ARGV_FILE", afx::WidenUtf8(file).c_str());
    CProgramStarterWin starter;
    std::string error;
    ASSERT_TRUE(starter.Start(qm487test::WindowsPath(QM487_ARGV_WRITER), kHardArguments, 30000, &error)) << error;
    std::string expected;
    for (const std::string& arg : kHardArguments)
        expected += "[" + arg + "]\n";
    EXPECT_EQ(ArgvWritten(file), expected);
}

TEST(ProgramStarter, OnlyAFullPathToAProgramIsStarted) {
    CProgramStarterWin starter;
    std::string error;
    for (const char* path : {"argv_writer.exe", "..\\argv_writer.exe", "C:notify.exe", "C:\\Windows\\x.bat",
                             "C:\\Windows\\x.cmd", ""}) {
        EXPECT_FALSE(starter.Start(path, {}, 1000, &error)) << path;
        // UTF-8, as the answer it goes into.
        EXPECT_EQ(error.find("pe\xC5\x82n\xC4\x85 \xC5\x9B"
                             "cie\xC5\xBCk\xC4\x99"),
                  6u)
            << error;
    }
    EXPECT_FALSE(starter.Start("C:\\no such folder\\none.exe", {}, 1000, &error));
    // Judged by its long, final path: a link named alarm.exe to a shell's file.
    const std::string link = qm487test::WindowsPath(QM487_SHELL_LINK);
    EXPECT_TRUE(IsRunnableProgram(link));
    EXPECT_FALSE(IsRunnableProgramFile(afx::WidenUtf8(link)));
    EXPECT_FALSE(starter.Start(link, {}, 1000, &error));
}

// Another user's stored password never turns into none: the test message
// waits for one typed anew instead of going to the server without it.
TEST(NotifyTestMessage, MailWithAnUnreadableStoredPasswordIsHeld) {
    NotifySettings settings;
    settings.strSmtpUrl = "smtp://127.0.0.1:9";
    settings.strFrom = "hala2@firma.pl";
    settings.strTo = "jan@firma.pl";
    settings.strSmtpUser = "hala2";
    const std::string log = TempFile("qm487_test.notify.log");
    for (const char* typed : {"", "nowe has\xC5\x82o"}) {
        const NotifyTestAnswers answers = SendNotifyTest(NotifySource(), settings, typed, true, afx::WidenUtf8(log));
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_EQ(answers[0].second.kind, DeliveryResult::kRetryLater);
        EXPECT_EQ(answers[0].second.strAnswer.find("innego u\xC5\xBCytkownika") != std::string::npos, *typed == 0)
            << typed << ": " << answers[0].second.strAnswer;
    }
}

TEST(ProgramStarter, OneRunningPastTheLimitIsEndedAndNoted) {
    const std::string file = TempFile("qm487_argv_sleep.txt");
    SetEnvironmentVariableW(L"QM487_ARGV_FILE", afx::WidenUtf8(file).c_str());
    struct Notes {
        std::mutex mutex;
        std::string text;
    };
    auto notes = std::make_shared<Notes>();
    CProgramStarterWin starter([notes](const std::string& text) {
        std::lock_guard<std::mutex> lock(notes->mutex);
        notes->text += text;
    });
    std::string error;
    ASSERT_TRUE(starter.Start(qm487test::WindowsPath(QM487_ARGV_WRITER), {"sleep"}, 500, &error)) << error;
    ASSERT_EQ(ArgvWritten(file), "[sleep]\n");
    // The program sleeps a minute; the note comes well before.
    const ULONGLONG deadline = GetTickCount64() + 30000;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(notes->mutex);
            if (!notes->text.empty() || GetTickCount64() >= deadline)
                break;
        }
        Sleep(20);
    }
    std::lock_guard<std::mutex> lock(notes->mutex);
    EXPECT_NE(notes->text.find("argv_writer"), std::string::npos) << notes->text;
}

}  // namespace
