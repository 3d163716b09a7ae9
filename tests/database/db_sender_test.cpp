// The sender thread against a real InfluxDB on loopback: what arrives, in
// what order, through a server that goes away and comes back, a database
// made only later, a login; the feed without a window; a silent server.
#include "tests/database/influx_harness.h"
#include "tests/database/test_points.h"
#include "database/database_feed.h"
#include "database/db_sender.h"
#include "database/http_client.h"
#include "secrets/secret_store.h"
#include "instrument/channels.h"
#include "tests/app/program_harness.h"

#include <cstdio>

using namespace qm487test;

namespace {

DbPoint Point(std::int64_t t, int channel, double value, bool ok = true) { return TestPoint(channel, value, t, ok); }

CDatabaseSender::Config ConfigFor(const std::string& url, const std::string& db) {
    CDatabaseSender::Config c;
    EXPECT_TRUE(ParseServerUrl(url, c.url));
    c.strDatabase = db;
    return c;
}

const std::int64_t kT0 = 1765000000000;  // December 2025, inside the default retention
const char kRows[] = "SELECT channel, instrument, value, status FROM temperature";

}  // namespace

TEST(DatabaseSender, PointsArriveInOrderWithTheirTagsValuesAndStatus) {
    InfluxServer& server = SharedInflux();
    ASSERT_TRUE(server.IsStarted());
    const std::string db = server.NewDatabase();
    CDatabaseSender sender;
    sender.Start(ConfigFor(server.Url(), db), nullptr, 0);
    sender.Push(Point(kT0 + 1, 1, 20.5));
    sender.Push(Point(kT0 + 2, 2, -3.25));
    sender.Push(Point(kT0 + 3, 7, 99.9, false));
    sender.Push(Point(kT0 + 4, 0, 8.625));
    ASSERT_TRUE(WaitFor([&] { return sender.State().nSent == 4; }, 30000));
    EXPECT_FALSE(sender.IsFailing());
    const std::vector<std::string> rows = server.Query(kRows);
    const std::string t = std::to_string(kT0);
    const std::vector<std::string> expected = {
        std::to_string(kT0 + 1) + " T1 4660 20.5 ok", std::to_string(kT0 + 2) + " T2 4660 -3.25 ok",
        std::to_string(kT0 + 3) + " T7 4660 - error", std::to_string(kT0 + 4) + " T 4660 8.625 ok"};
    EXPECT_EQ(rows, expected);
}

// The server goes away while points keep coming and comes back: every point
// arrives, and none twice. Sending a batch again (as after a lost answer) is
// harmless: the server keeps one point per series and time stamp.
TEST(DatabaseSender, AServerThatGoesAndComesBackGetsEveryPointOnce) {
    InfluxServer& server = SharedInflux();
    ASSERT_TRUE(server.IsStarted());
    const std::string db = server.NewDatabase();
    CDatabaseSender sender;
    sender.Start(ConfigFor(server.Url(), db), nullptr, 0);
    std::int64_t t = kT0;
    for (int i = 0; i < 10; ++i, t += 10)
        sender.Push(Point(t, 1 + i % 8, i));
    ASSERT_TRUE(WaitFor([&] { return sender.State().nSent == 10; }, 30000));

    ASSERT_TRUE(server.Stop());
    for (int i = 10; i < 40; ++i, t += 10)
        sender.Push(Point(t, 1 + i % 8, i));
    ASSERT_TRUE(WaitFor([&] { return sender.IsFailing(); }, 30000));
    DbSendState state = sender.State();
    EXPECT_EQ(state.nHttpStatus, 0);
    EXPECT_NE(state.nTransportError, 0u);
    EXPECT_GT(state.nWaiting, 0u);

    ASSERT_TRUE(server.Start());
    for (int i = 40; i < 50; ++i, t += 10)
        sender.Push(Point(t, 1 + i % 8, i));
    ASSERT_TRUE(WaitFor([&] { return sender.State().nSent == 50; }, 120000)) << sender.State().nSent;
    EXPECT_FALSE(sender.IsFailing());
    EXPECT_EQ(sender.State().nWaiting, 0u);

    // The first ten once more, as a request whose answer was lost would.
    CHttpClient http(ConfigFor(server.Url(), db).url, std::string());
    std::string body;
    for (int i = 0; i < 10; ++i)
        AppendPointLine(Point(kT0 + 10 * i, 1 + i % 8, i), body);
    EXPECT_EQ(http.Post(WritePath(ConfigFor(server.Url(), db).url, db), body).nStatus, 204);

    const std::vector<std::string> rows = server.Query("SELECT value FROM temperature");
    ASSERT_EQ(rows.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(rows[i], std::to_string(kT0 + 10 * i) + " " + std::to_string(i)) << i;
}

// A database made only after the program started gets every point sent
// before: a 404 keeps them, reported, until the database is there.
TEST(DatabaseSender, ADatabaseMadeLaterGetsThePointsSentBefore) {
    InfluxServer& server = SharedInflux();
    ASSERT_TRUE(server.IsStarted());
    const std::string db = server.NewDatabase(false);
    CDatabaseSender sender;
    HWND hWnd = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    sender.Start(ConfigFor(server.Url(), db), hWnd, WM_DATABASE_STATE);
    for (int i = 0; i < 4; ++i)
        sender.Push(Point(kT0 + i, 1 + i, 20 + i));
    ASSERT_TRUE(WaitFor([&] { return sender.IsFailing(); }, 30000));
    DbSendState state = sender.State();
    EXPECT_EQ(state.nHttpStatus, 404);
    EXPECT_EQ(state.strServerMessage, "database not found: \"" + db + "\"");
    EXPECT_EQ(state.nRejected, 0u);
    EXPECT_EQ(state.nWaiting, 4u);
    // The window was told once that sending fails.
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, hWnd, WM_DATABASE_STATE, WM_DATABASE_STATE, PM_REMOVE));
    EXPECT_FALSE(PeekMessageW(&msg, hWnd, WM_DATABASE_STATE, WM_DATABASE_STATE, PM_REMOVE));

    ASSERT_TRUE(server.CreateDatabase());
    ASSERT_TRUE(WaitFor([&] { return sender.State().nSent == 4; }, 60000)) << sender.State().nSent;
    EXPECT_FALSE(sender.IsFailing());
    EXPECT_EQ(server.Query("SELECT value FROM temperature").size(), 4u);
    sender.Stop();
    DestroyWindow(hWnd);
}

// A server with logins: a wrong password keeps the points (401), the right
// one, with Polish letters in user and password, sends them as UTF-8. The
// server takes at most 4,000 bytes a request: a larger batch goes in halves.
TEST(DatabaseSender, PolishCredentialsGoAsUtf8AndAWrongPasswordKeepsThePoints) {
    InfluxServer server(std::string(QM487_INFLUX_BASE) + "/login");
    server.LimitBody(4000);
    server.RequireLogin("\xC5\x81ukasz",
                        "\xC5\xBC\xC3\xB3\xC5\x82w-1");  // (L-stroke)ukasz, (z-dot)(o-acute)(l-stroke)w-1
    ASSERT_TRUE(server.Start());
    const std::string db = server.NewDatabase();
    ASSERT_FALSE(db.empty());
    CDatabaseSender::Config config = ConfigFor(server.Url(), db);
    config.strUser = "\xA3ukasz";  // Windows-1250, as the program keeps it
    config.strSecret = "wrong";
    CDatabaseSender sender;
    sender.Start(config, nullptr, 0);
    sender.Push(Point(kT0, 1, 21.5));
    ASSERT_TRUE(WaitFor([&] { return sender.IsFailing(); }, 30000));
    EXPECT_EQ(sender.State().nHttpStatus, 401);
    EXPECT_EQ(sender.State().nWaiting, 1u);
    config.strSecret = "\xBF\xF3\xB3w-1";
    sender.Start(config, nullptr, 0);
    ASSERT_TRUE(WaitFor([&] { return sender.State().nSent == 1; }, 60000)) << DescribeSendState(sender.State(), true);
    for (int i = 1; i < 100; ++i)  // about 7,800 bytes in one batch
        sender.Push(Point(kT0 + i, 1, 21.5));
    ASSERT_TRUE(WaitFor([&] { return sender.State().nSent == 100; }, 60000)) << DescribeSendState(sender.State(), true);
    EXPECT_EQ(sender.State().nRejected, 0u);
    EXPECT_EQ(server.Query("SELECT value FROM temperature").size(), 100u);
}

namespace {
int g_nThrows = 0;
// Stands for a body that cannot be built: the first line runs out of memory.
void AppendLineOrRunOutOfMemory(const DbPoint& point, std::string& out) {
    if (g_nThrows++ == 0)
        throw std::bad_alloc();
    AppendPointLine(point, out);
}
struct NoWindow : CDatabaseFeed::Host {
    HWND NotifyWindow() const override { return nullptr; }
};
}  // namespace

TEST(DatabaseSender, RunningOutOfMemoryIsReportedAndThePointsStillGo) {
    InfluxServer& server = SharedInflux();
    ASSERT_TRUE(server.IsStarted());
    CDatabaseSender::Config config = ConfigFor(server.Url(), server.NewDatabase());
    config.pfnAppendLine = &AppendLineOrRunOutOfMemory;
    CDatabaseSender sender;
    sender.Start(config, nullptr, 0);
    sender.Push(Point(kT0, 1, 1.0));
    ASSERT_TRUE(WaitFor([&] { return sender.IsFailing() || sender.State().nSent == 1; }, 30000));
    EXPECT_EQ(sender.State().fault, DbFault::Internal);
    ASSERT_TRUE(WaitFor([&] { return sender.State().nSent == 1; }, 30000));
    EXPECT_FALSE(sender.IsFailing());
}

// Stopping, as closing the window does, never waits for a request that a
// silent server keeps open (only up to its time-out would it end).
TEST(DatabaseSender, StoppingDoesNotWaitForASilentServer) {
    SilentServer silent;
    ASSERT_NE(silent.Port(), 0);
    CDatabaseSender sender;
    sender.Start(ConfigFor(silent.Url(), "qm487"), nullptr, 0);
    sender.Push(Point(kT0, 1, 1.0));
    ASSERT_TRUE(silent.AcceptOne(30000));
    Sleep(200);  // the request is sent and waits for its answer; no verdict depends on this
    const ULONGLONG before = GetTickCount64();
    sender.Stop();
    const ULONGLONG ms = GetTickCount64() - before;
    std::printf("[ figure ] stopping the sender with a request on a silent server: %llu ms\n", ms);
    EXPECT_LT(ms, dbsend::kHttpTimeoutMs);
    EXPECT_FALSE(sender.IsRunning());
    EXPECT_EQ(sender.State().nWaiting, 1u);
}

// The feed without a window: a secret that cannot be read is never sent as
// an empty one; the points wait, it is said, and go once a secret is typed.
// The same settings again (OK with nothing changed) restart nothing.
TEST(DatabaseFeed, AnUnreadableSecretHoldsThePointsUntilANewOneIsTyped) {
    InfluxServer& server = SharedInflux();
    ASSERT_TRUE(server.IsStarted());
    NoWindow host;
    CDatabaseFeed feed(host);
    DatabaseSettings settings;
    settings.bEnabled = TRUE;
    settings.strUrl = server.Url();
    settings.strName = server.NewDatabase();
    settings.strUser = "lab";
    settings.strProtectedSecret = "AQAAANCMnd8BFdERjHoAwE/Cl+s=";  // base64, but nothing this user encrypted
    feed.ApplySettings(settings);
    EXPECT_TRUE(feed.IsSecretUnreadable());
    feed.Start();
    CChannelSet channels;
    for (int c = 1; c <= 3; ++c) {
        channels.StoreValue(c, 214 * 0.1, FALSE);
        feed.AddReading(channels, c, 4660);
    }
    ASSERT_TRUE(WaitFor([&] { return feed.IsFailing(); }, 30000));
    EXPECT_EQ(feed.State().fault, DbFault::SecretUnreadable);
    EXPECT_EQ(feed.State().nWaiting, 3u);
    EXPECT_NE(DescribeSendState(feed.State(), true).find("wstrzymane"), std::string::npos);
    EXPECT_EQ(ShortSendFault(feed.State()), "nieczytelne has\xB3o");  // for the status line
    // Nothing changed: no restart, so the held state stays.
    EXPECT_FALSE(feed.ChangeSettings(feed.Settings(), ""));
    EXPECT_TRUE(feed.IsFailing());
    EXPECT_EQ(feed.Settings().strProtectedSecret, settings.strProtectedSecret);

    DatabaseSettings anonymous = feed.Settings();
    anonymous.strUser.clear();
    ASSERT_TRUE(feed.ChangeSettings(anonymous, "tok3n"));
    EXPECT_FALSE(feed.IsSecretUnreadable());
    ASSERT_TRUE(WaitFor([&] { return feed.State().nSent == 3; }, 30000)) << DescribeSendState(feed.State(), true);
    const std::vector<std::string> rows = server.Query("SELECT value FROM temperature");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].substr(rows[0].find(' ') + 1), "21.4");
    feed.Stop();
}

TEST(SecretStore, APasswordRoundTripsThroughDpapiAndNeverShowsInTheText) {
    const std::string secret = "Tajne ha\xB3so;=/+ 123";
    bool failed = true;
    const std::string text = ProtectSecret(secret, &failed);
    EXPECT_FALSE(failed);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find("Tajne"), std::string::npos);
    EXPECT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
    std::string back;
    ASSERT_TRUE(UnprotectSecret(text, back));
    EXPECT_EQ(back, secret);
    EXPECT_TRUE(UnprotectSecret("", back));
    EXPECT_EQ(back, "");
    EXPECT_EQ(ProtectSecret(""), "");
    // Damaged, or not encrypted for this user at all: no secret.
    // (a blob cut short; Wine does not check every byte of a whole one)
    const std::string damaged = text.substr(0, text.size() - 8);
    EXPECT_FALSE(UnprotectSecret(damaged, back));
    EXPECT_TRUE(back.empty());
    EXPECT_FALSE(UnprotectSecret("cGxhaW4gdGV4dA==", back));
    EXPECT_FALSE(UnprotectSecret("not base64!", back));
}
