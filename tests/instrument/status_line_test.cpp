#include "instrument/status_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

// Windows-1250: 0xB9 a-ogonek, 0xB3 l-stroke, 0x9C s-acute.
const std::string kNoLink = "Brak komunikacji z urz\xB9" "dzeniem. ";
const std::string kValueError = "B\xB3\xB9" "d warto\x9C" "ci temperatury";

StatusLineState Up(int serial, int channel, int valueError, int calibrationError) {
    return StatusLineState{TRUE, serial, channel, valueError, calibrationError, FALSE, 0};
}

TEST(StatusLine, LostLinkIgnoresTheLastLine) {
    StatusLineState s = Up(4660, 3, 2, 1);
    s.bLinkUp = FALSE;
    EXPECT_EQ(ComposeStatusLine(s), kNoLink);
}

TEST(StatusLine, VerdictOfTheLastLine) {
    EXPECT_EQ(ComposeStatusLine(Up(4660, 3, 0, 0)),
              "QM-487 nr 4660. Pomiar temperatury 3 prawid\xB3owy. ");
    // Channel 0 is the mean and names no channel for a value error.
    EXPECT_EQ(ComposeStatusLine(Up(1, 0, 2, 0)), "QM-487 nr 1. " + kValueError + ". ");
    // Flags count as set whatever their non-zero value.
    EXPECT_EQ(ComposeStatusLine(Up(7, 5, 2, 4)),
              "QM-487 nr 7. " + kValueError + " 5. B\xB3\xB9" "d kalibracji kana\xB3u 5. ");
    EXPECT_EQ(ComposeStatusLine(Up(7, 0, 0, 1)), "QM-487 nr 7. B\xB3\xB9" "d kalibracji kana\xB3u 0. ");
    EXPECT_EQ(ComposeStatusLine(Up(7, 8, 1, 0)), "QM-487 nr 7. " + kValueError + " 8. ");
}

TEST(StatusLine, RecordingIntervalAsHoursMinutesSeconds) {
    StatusLineState s = Up(4660, 3, 0, 0);
    s.bRecording = TRUE;
    s.nIntervalSeconds = 90;
    EXPECT_EQ(ComposeStatusLine(s),
              "QM-487 nr 4660. Pomiar temperatury 3 prawid\xB3owy. Rejestracja do pliku co 00:01:30. ");

    s.bLinkUp = FALSE;
    s.nIntervalSeconds = 86399;
    EXPECT_EQ(ComposeStatusLine(s), kNoLink + "Rejestracja do pliku co 23:59:59. ");
    s.nIntervalSeconds = 360000;
    EXPECT_EQ(ComposeStatusLine(s), kNoLink + "Rejestracja do pliku co 100:00:00. ");

    s.bRecording = FALSE;  // the interval alone shows nothing
    EXPECT_EQ(ComposeStatusLine(s), kNoLink);

    // A recording file that does not take its rows says so last.
    s.bRecording = TRUE;
    s.nIntervalSeconds = 60;
    s.bRecordingFailing = TRUE;
    EXPECT_EQ(ComposeStatusLine(s), kNoLink + "Rejestracja do pliku co 00:01:00. B\xB3\xB9" "d zapisu do pliku rejestracji. ");
    // So does sending to the database, with its reason when there is one.
    s.bRecording = FALSE;
    s.bRecordingFailing = FALSE;
    s.bDatabaseFailing = TRUE;
    EXPECT_EQ(ComposeStatusLine(s), kNoLink + "B\xB3\xB9" "d wysy\xB3" "ania do bazy danych. ");
    s.strDatabaseReason = "HTTP 404";
    EXPECT_EQ(ComposeStatusLine(s), kNoLink + "B\xB3\xB9" "d wysy\xB3" "ania do bazy danych (HTTP 404). ");
    // Then the MQTT broker, when it fails.
    s.strDatabaseReason.clear();
    s.bMqttFailing = TRUE;
    EXPECT_EQ(ComposeStatusLine(s), kNoLink + "B\xB3\xB9" "d wysy\xB3" "ania do bazy danych. B\xB3\xB9" "d po\xB3\xB9"
                                              "czenia z serwerem MQTT. ");
    // Then a way of sending notifications.
    s.bDatabaseFailing = FALSE;
    s.bNotifyFailing = true;
    EXPECT_EQ(ComposeStatusLine(s), kNoLink + "B\xB3\xB9" "d po\xB3\xB9" "czenia z serwerem MQTT. B\xB3\xB9"
                                              "d wysy\xB3" "ania powiadomienia. ");
    // Then a part whose thread stopped on an internal error.
    s.bMqttFailing = FALSE;
    s.bNotifyFailing = false;
    s.bThreadFailed = true;
    EXPECT_EQ(ComposeStatusLine(s), kNoLink + "B\xB3\xB9" "d wewn\xEAtrzny: w\xB9tek zatrzymany. ");
}

TEST(StatusLine, OutOfRangeInputsStayWellFormed) {
    StatusLineState s = Up(INT_MIN, INT_MAX, 1, 1);
    s.bRecording = TRUE;
    s.nIntervalSeconds = -90;
    EXPECT_EQ(ComposeStatusLine(s), "QM-487 nr -2147483648. " + kValueError +
                                        " 2147483647. B\xB3\xB9" "d kalibracji kana\xB3u 2147483647. "
                                        "Rejestracja do pliku co 00:00:00. ");

    s.nIntervalSeconds = INT_MAX;
    s.nLastChannel = -1;
    s.nValueError = 0;
    s.nCalibrationError = 0;
    EXPECT_EQ(ComposeStatusLine(s), "QM-487 nr -2147483648. Pomiar temperatury -1 prawid\xB3owy. "
                                    "Rejestracja do pliku co 596523:14:07. ");
}

}  // namespace
