// The sender thread against a real InfluxDB on loopback: what arrives, in
// what order, through a server that goes away and comes back, and what a
// wrong database name gives.
#include "tests/database/test_points.h"
#include "database/db_sender.h"
#include "database/http_client.h"
#include "database/secret_store.h"
#include "tests/app/program_harness.h"
#include "tests/database/influx_harness.h"


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

TEST(DatabaseSender, AWrongDatabaseIsReportedAndItsBatchGivenUp) {
    InfluxServer& server = SharedInflux();
    ASSERT_TRUE(server.IsStarted());
    const std::string db = server.NewDatabase();
    CDatabaseSender sender;
    HWND hWnd = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    sender.Start(ConfigFor(server.Url(), "no_such_db"), hWnd, WM_DATABASE_STATE);
    sender.Push(Point(kT0, 1, 1.0));
    ASSERT_TRUE(WaitFor([&] { return sender.IsFailing(); }, 30000));
    const DbSendState state = sender.State();
    EXPECT_EQ(state.nHttpStatus, 404);
    EXPECT_EQ(state.strServerMessage, "database not found: \"no_such_db\"");
    EXPECT_EQ(state.nRejected, 1u);
    EXPECT_EQ(state.nWaiting, 0u);
    // The window was told once that sending fails.
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, hWnd, WM_DATABASE_STATE, WM_DATABASE_STATE, PM_REMOVE));
    EXPECT_FALSE(PeekMessageW(&msg, hWnd, WM_DATABASE_STATE, WM_DATABASE_STATE, PM_REMOVE));
    sender.Stop();
    EXPECT_FALSE(sender.IsFailing());
    DestroyWindow(hWnd);
}

TEST(DatabaseSender, WithNoServerPointsWaitAndTheReasonIsTheConnection) {
    CDatabaseSender sender(1000);
    sender.Start(ConfigFor("http://127.0.0.1:1", "qm487"), nullptr, 0);  // nobody listens there
    for (int i = 0; i < 1500; ++i)
        sender.Push(Point(kT0 + i, 1, i));
    ASSERT_TRUE(WaitFor([&] { return sender.IsFailing(); }, 30000));
    const DbSendState state = sender.State();
    EXPECT_EQ(state.nWaiting, 1000u);
    EXPECT_EQ(state.nDropped, 500u);
    EXPECT_EQ(state.nTransportError, 12029u) << TransportErrorText(state.nTransportError);
    // Stopping does not wait for the back-off.
    const ULONGLONG before = GetTickCount64();
    sender.Stop();
    EXPECT_LT(GetTickCount64() - before, 15000u);
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
