#include "database/base64.h"
#include "database/send_rules.h"
#include "database/send_state.h"

#include <gtest/gtest.h>

TEST(SendRules, AnswersDecideWhetherABatchIsKeptSentOrGivenUp) {
    EXPECT_EQ(ClassifyAnswer(204), DbAnswer::Delivered);
    EXPECT_EQ(ClassifyAnswer(200), DbAnswer::Delivered);
    // No answer, overload and server faults: the same points again later.
    for (int status : {0, 429, 500, 502, 503, 504})
        EXPECT_EQ(ClassifyAnswer(status), DbAnswer::Retry) << status;
    // Wrong database, credentials or data would fail the same way forever.
    for (int status : {400, 401, 403, 404, 413, 301})
        EXPECT_EQ(ClassifyAnswer(status), DbAnswer::Rejected) << status;
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
    EXPECT_EQ(backoff.NextDelayMs(DbAnswer::Rejected), 2000u);
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
                            "http://[::1"})
        EXPECT_FALSE(ParseServerUrl(bad, url)) << bad;
}

TEST(SendRules, CredentialsGoAsBasicOrAsAToken) {
    EXPECT_EQ(AuthorizationValue("", ""), "");
    EXPECT_EQ(AuthorizationValue("Aladdin", "open sesame"), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    EXPECT_EQ(AuthorizationValue("", "tok3n=="), "Token tok3n==");
}

TEST(SendRules, TheServersReasonComesFromItsJsonOrItsText) {
    EXPECT_EQ(ServerMessage("{\"error\":\"database not found: \\\"nope\\\"\"}\n"), "database not found: \"nope\"");
    EXPECT_EQ(ServerMessage("{\"code\":\"unauthorized\", \"error\" : \"authorization failed\"}"),
              "authorization failed");
    EXPECT_EQ(ServerMessage("  Bad Gateway\r\n"), "Bad Gateway");
    EXPECT_EQ(ServerMessage(""), "");
    EXPECT_EQ(ServerMessage(std::string(500, 'x')).size(), 200u);
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
}
