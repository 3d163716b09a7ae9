#include "common/base64.h"
#include "secrets/plain_text_secret.h"
#include "secrets/secret_text.h"
#include "database/send_rules.h"
#include "database/send_state.h"

#include <gtest/gtest.h>

TEST(SendRules, AnswersDecideWhetherABatchIsKeptSentOrGivenUp) {
    struct Row {
        int status;
        bool named;  // X-Influxdb-Version in the answer
        const char* message;
        DbAnswer answer;
        std::size_t stored, refused;
    };
    const std::size_t n = 10;
    const Row rows[] = {
        {204, false, "", DbAnswer::Delivered, n, 0},
        {200, true, "", DbAnswer::Delivered, n, 0},
        // A captive portal's page is no delivery.
        {200, false, "<html>Log in</html>", DbAnswer::NotAServer, 0, 0},
        // No answer, overload, server faults, and whatever a fix of the
        // settings or the server cures: the points wait.
        {0, false, "", DbAnswer::Retry, 0, 0},
        {429, true, "", DbAnswer::Retry, 0, 0},
        {503, false, "", DbAnswer::Retry, 0, 0},
        {401, true, "authorization failed", DbAnswer::Retry, 0, 0},
        {403, true, "", DbAnswer::Retry, 0, 0},
        {404, true, "database not found: \"x\"", DbAnswer::Retry, 0, 0},
        {408, false, "", DbAnswer::Retry, 0, 0},
        {301, false, "", DbAnswer::Retry, 0, 0},
        {307, false, "", DbAnswer::Retry, 0, 0},
        {400, false, "Bad Request", DbAnswer::Retry, 0, 0},
        // Data that will never be taken.
        {400, true, "unable to parse 'temperature x': invalid field format", DbAnswer::Rejected, 0, n},
        {422, false, "", DbAnswer::Rejected, 0, n},
        {400, true, "partial write: field type conflict: input field \"value\" ... dropped=3", DbAnswer::Partial, 7, 3},
        {400, true, "partial write: points beyond retention policy dropped=99", DbAnswer::Partial, 0, n},
        {413, false, "", DbAnswer::Split, 0, 0},
    };
    for (const Row& row : rows) {
        const DbBatchVerdict v = JudgeAnswer(row.status, row.named, row.message, n);
        EXPECT_EQ(v.answer, row.answer) << row.status << " " << row.message;
        EXPECT_EQ(v.nStored, row.stored) << row.status << " " << row.message;
        EXPECT_EQ(v.nRefused, row.refused) << row.status << " " << row.message;
        EXPECT_EQ(v.Releases(), row.stored + row.refused > 0) << row.status;
    }
    // A single point too large for the server has nothing left to halve.
    EXPECT_EQ(JudgeAnswer(413, false, "", 1).answer, DbAnswer::Rejected);
}

TEST(SendRules, BackOffDoublesFromOneSecondToAMinuteAndResetsOnDelivery) {
    CSendBackoff backoff;
    EXPECT_EQ(backoff.NextDelayMs(DbAnswer::Delivered), 1000u);  // the gap between requests
    const unsigned expected[] = {1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000};
    for (unsigned ms : expected)
        EXPECT_EQ(backoff.NextDelayMs(DbAnswer::Retry), ms);
    EXPECT_EQ(backoff.NextDelayMs(DbAnswer::Delivered), 1000u);
    EXPECT_EQ(backoff.CurrentMs(), 0u);
    EXPECT_EQ(backoff.NextDelayMs(DbAnswer::Rejected), 1000u);
    EXPECT_EQ(backoff.NextDelayMs(DbAnswer::NotAServer), 2000u);
    EXPECT_EQ(backoff.NextDelayMs(DbAnswer::Split), 1000u);  // halves go out after the gap
    EXPECT_EQ(backoff.NextDelayMs(DbAnswer::Retry), 4000u);
}

TEST(SendRules, ServerAddresses) {
    DbServerUrl url;
    ASSERT_TRUE(ParseServerUrl("http://host:8086", url));
    EXPECT_FALSE(url.bSecure);
    EXPECT_EQ(url.strHost, "host");
    EXPECT_EQ(url.nPort, 8086);
    EXPECT_EQ(url.strPath, "");
    EXPECT_EQ(WritePath(url, "qm487"), "/write?db=qm487&precision=ms");
    EXPECT_EQ(PingPath(url), "/ping");

    ASSERT_TRUE(ParseServerUrl("HTTPS://influx.example.com/proxy/influx/", url));
    EXPECT_TRUE(url.bSecure);
    EXPECT_EQ(url.nPort, 443);
    EXPECT_EQ(url.strPath, "/proxy/influx");
    EXPECT_EQ(WritePath(url, "hala 2&x"), "/proxy/influx/write?db=hala%202%26x&precision=ms");

    ASSERT_TRUE(ParseServerUrl("http://[::1]:9999", url));
    EXPECT_EQ(url.strHost, "[::1]");
    EXPECT_EQ(url.nPort, 9999);
    ASSERT_TRUE(ParseServerUrl("http://10.0.0.5", url));
    EXPECT_EQ(url.nPort, 80);

    for (const char* bad : {"", "host:8086", "ftp://host", "http://", "http://:8086", "http://host:0",
                            "http://host:65536", "http://host:80x", "http://user:pw@host", "http://host/a?b=1",
                            "http://[::1", "http://host\r\nX-Evil: 1", "http://ho\tst", "http://host/\x7F"})
        EXPECT_FALSE(ParseServerUrl(bad, url)) << bad;
    // The database name goes out as UTF-8: "pomiary_\xB3\xF3" is pomiary_(l-stroke)(o-acute).
    EXPECT_EQ(WritePath(url, "pomiary_\xB3\xF3"), "/write?db=pomiary_%C5%82%C3%B3&precision=ms");
    for (const char* host : {"localhost", "LocalHost", "127.0.0.1", "127.1.2.3", "[::1]", "::1", "127.255.0.1"})
        EXPECT_TRUE(IsLoopbackHost(host)) << host;
    for (const char* host : {"influx.lan", "10.0.0.5", "127.0.0.1.evil.com", "[::2]", "localhost.example",
                             "127.256.0.1", "127.0.0", "127.0.0.1.", "127..0.1", "1270.0.0.1", "[localhost]x", ""})
        EXPECT_FALSE(IsLoopbackHost(host)) << host;
}

TEST(SendRules, ASecretInClearToAnotherMachineIsAskedForOncePerHost) {
    std::string asked;
    bool yes = false;  // the user's answer, if asked
    CPlainTextConsent consent("mqtt://", "mqtts://", [&](const std::string& question) {
        asked = question;
        return yes;
    });
    const struct {
        bool encrypted;
        const char* host;
        const char* secret;
        bool yes;
        bool asks;
        bool allows;
    } rows[] = {
        {false, "127.0.0.1", "pw", false, false, true},     {false, "[::1]", "pw", false, false, true},
        {true, "broker.lan", "pw", false, false, true},     {false, "broker.lan", "", false, false, true},
        {false, "broker.lan", "pw", false, true, false},    {false, "broker.lan", "pw", true, true, true},
        {false, "Broker.LAN", "other", false, false, true},  // agreed for this host: not asked again
        {false, "10.0.0.5", "pw", false, true, false},
    };
    for (const auto& row : rows) {
        asked.clear();
        yes = row.yes;
        EXPECT_EQ(consent.Allows(row.encrypted, row.host, row.secret, true), row.allows) << row.host;
        EXPECT_EQ(asked.empty(), !row.asks) << row.host;
    }
    EXPECT_NE(asked.find("(adres mqtt:// innego komputera)"), std::string::npos) << asked;
    EXPECT_NE(asked.find("Sprawdzi\xE6 mimo to?"), std::string::npos) << asked;
    EXPECT_NE(PlainTextSecretQuestion("http://", "https://", false).find("adres https://.\n\nZapisa\xE6 mimo to?"),
              std::string::npos);
}

TEST(SendRules, CredentialsGoAsBasicOrAsAToken) {
    EXPECT_EQ(AuthorizationValue("", ""), "");
    EXPECT_EQ(AuthorizationValue("Aladdin", "open sesame"), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    EXPECT_EQ(AuthorizationValue("", "tok3n=="), "Token tok3n==");
    // UTF-8 on the wire: "\xA3ukasz" : "\xBF\xF3\xB3w" is (L-stroke)ukasz : (z-dot)(o-acute)(l-stroke)w.
    EXPECT_EQ(AuthorizationValue("\xA3ukasz", "\xBF\xF3\xB3w"), "Basic xYF1a2FzejrFvMOzxYJ3");
    EXPECT_EQ(AuthorizationValue("", "\xB9"), "Token \xC4\x85");
    // A password Windows-1250 cannot hold, as the dialog keeps it, goes as typed.
    const std::string cyrillic = "\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C";
    EXPECT_EQ(AuthorizationValue("lab", SecretTextFromUtf8(cyrillic)), "Basic " + Base64Encode("lab:" + cyrillic));
    EXPECT_EQ(AuthorizationValue("", SecretTextFromUtf8(cyrillic)), "Token " + cyrillic);
    EXPECT_EQ(CheckCredentials("\xA3ukasz", "p:a;s s"), DbCredentialsFault::None);
    EXPECT_EQ(CheckCredentials("lab:1", "x"), DbCredentialsFault::UserColon);
    EXPECT_EQ(CheckCredentials("lab\n", "x"), DbCredentialsFault::UserControl);
    EXPECT_EQ(CheckCredentials("lab", "tok\r\nX: 1"), DbCredentialsFault::SecretControl);
    EXPECT_EQ(CheckCredentials("lab", SecretTextFromUtf8(cyrillic)), DbCredentialsFault::None);
}

TEST(SendRules, TheServersReasonComesFromItsJsonOrItsText) {
    EXPECT_EQ(ServerMessage("{\"error\":\"database not found: \\\"nope\\\"\"}\n"), "database not found: \"nope\"");
    EXPECT_EQ(ServerMessage("{\"code\":\"unauthorized\", \"error\" : \"authorization failed\"}"),
              "authorization failed");
    EXPECT_EQ(ServerMessage("  Bad Gateway\r\n"), "Bad Gateway");
    EXPECT_EQ(ServerMessage("{\"code\":\"invalid\",\"message\":\"unable to parse 'x'\"}"), "unable to parse 'x'");
    EXPECT_EQ(ServerMessage(""), "");
    EXPECT_EQ(ServerMessage(std::string(500, 'x')).size(), 200u);
    // UTF-8 from the server, Windows-1250 for the dialog; what it lacks is '?'.
    EXPECT_EQ(ServerMessage("{\"error\":\"not found: \\\"\xC5\x82\xC3\xB3\x64\xC5\xBA\\\"\"}"),
              "not found: \"\xB3\xF3\x64\x9F\"");
    EXPECT_EQ(ServerMessage("\xD0\x96 \xC5 \xE2\x82\xAC\xFF"), "? ? \x80?");
}

TEST(SendRules, Base64RoundTripsAnyBytesAndRefusesDamage) {
    for (const std::string& bytes : {std::string(), std::string("f"), std::string("fo"), std::string("foo"),
                                     std::string("foob"), std::string("\0\xFF\x80 secret", 10)}) {
        std::string back;
        ASSERT_TRUE(Base64Decode(Base64Encode(bytes), back));
        EXPECT_EQ(back, bytes);
    }
    EXPECT_EQ(Base64Encode("foob"), "Zm9vYg==");
    std::string out = "kept";
    for (const char* bad : {"Zm9", "Zm9v Yg==", "Zm=v", "Z===", "Zm9vYg=a", "****"})
        EXPECT_FALSE(Base64Decode(bad, out)) << bad;
    EXPECT_EQ(out, "kept");
}

TEST(SendRules, TheDialogSaysWhySendingFailsAndHowManyPointsWait) {
    DbSendState state;
    state.nWaiting = 1234;
    state.nSent = 10;
    EXPECT_EQ(DescribeSendState(state, true),
              "Wysy\xB3" "anie dzia\xB3" "a.\r\nCzeka punkt\xF3w: 1234. Wys\xB3" "ano: 10. Odrzucone przez serwer: 0. "
              "Usuni\xEAte z pe\xB3nej kolejki: 0.");
    state.bFailing = true;
    state.nHttpStatus = 404;
    state.strServerMessage = "database not found: \"x\"";
    EXPECT_EQ(DescribeSendState(state, true),
              "Wysy\xB3" "anie nie dzia\xB3" "a: serwer odpowiedzia\xB3 404 (database not found: \"x\").\r\n"
              "Czeka punkt\xF3w: 1234. Wys\xB3" "ano: 10. Odrzucone przez serwer: 0. Usuni\xEAte z pe\xB3nej kolejki: 0.");
    state.nHttpStatus = 0;
    state.nTransportError = 12029;
    EXPECT_NE(DescribeSendState(state, true).find("(b\xB3\xB9" "d WinHTTP 12029)"), std::string::npos);
    EXPECT_EQ(TransportErrorText(12345), "b\xB3\xB9" "d WinHTTP 12345");
    EXPECT_EQ(DescribeSendState(state, false).rfind("Wysy\xB3" "anie jest wy\xB3\xB9" "czone.\r\n", 0), 0u);
    EXPECT_EQ(DescribePingAnswer(204, 0, "1.6.7", ""), "Serwer odpowiada (InfluxDB 1.6.7).");
    EXPECT_EQ(DescribePingAnswer(401, 0, "", "unauthorized"), "Serwer odpowiedzia\xB3 401 (unauthorized).");
    EXPECT_EQ(DescribePingAnswer(200, 0, "", "<html>"), "To nie jest InfluxDB ani VictoriaMetrics (odpowied\x9F 200).");
    state.fault = DbFault::SecretUnreadable;
    EXPECT_EQ(DescribeSendState(state, true).rfind("Wysy\xB3" "anie wstrzymane: zapisanego has\xB3" "a", 0), 0u);
}
