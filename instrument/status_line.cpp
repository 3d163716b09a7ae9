#include "instrument/status_line.h"

#include <cstdio>

namespace {

// The texts are Windows-1250 bytes, as the edit control shows them:
// 0xB9 a-ogonek, 0xB3 l-stroke, 0x9C s-acute.
const char kNoLink[] = "Brak komunikacji z urz\xB9" "dzeniem. ";
const char kSerial[] = "QM-487 nr %d. ";
const char kValueOk[] = "Pomiar temperatury %d prawid\xB3owy. ";
const char kValueErrorOf[] = "B\xB3\xB9" "d warto\x9C" "ci temperatury %d. ";
const char kValueErrorMean[] = "B\xB3\xB9" "d warto\x9C" "ci temperatury. ";
const char kCalibrationError[] = "B\xB3\xB9" "d kalibracji kana\xB3u %d. ";
const char kRecording[] = "Rejestracja do pliku co %02d:%02d:%02d. ";
const char kRecordingFailing[] = "B\xB3\xB9" "d zapisu do pliku rejestracji. ";
const char kDatabaseFailing[] = "B\xB3\xB9" "d wysy\xB3" "ania do bazy danych. ";
const char kMqttFailing[] = "B\xB3\xB9" "d po\xB3\xB9" "czenia z serwerem MQTT. ";
const char kNotifyFailing[] = "B\xB3\xB9" "d wysy\xB3" "ania powiadomienia. ";
const char kThreadFailed[] = "B\xB3\xB9" "d wewn\xEAtrzny: w\xB9tek zatrzymany. ";

// Only integer conversions are used, which no C locale changes. The buffer
// holds the longest template with three 11-character numbers.
std::string Format(const char* format, int a, int b = 0, int c = 0) {
    char buffer[96];
    const int n = std::snprintf(buffer, sizeof buffer, format, a, b, c);
    if (n < 0)
        return std::string();
    return std::string(buffer, n < static_cast<int>(sizeof buffer) ? n : sizeof buffer - 1);
}

}  // namespace

std::string ComposeStatusLine(const StatusLineState& state) {
    std::string text;
    if (!state.bLinkUp) {
        text = kNoLink;
    } else {
        const int c = state.nLastChannel;
        text = Format(kSerial, state.nSerialNumber);
        if (state.nValueError == 0 && state.nCalibrationError == 0)
            text += Format(kValueOk, c);
        // Channel 0 is the mean, which has no number of its own.
        if (state.nValueError != 0)
            text += c == 0 ? std::string(kValueErrorMean) : Format(kValueErrorOf, c);
        if (state.nCalibrationError != 0)
            text += Format(kCalibrationError, c);
    }
    if (state.bRecording) {
        // A negative interval is no interval; split it as none rather than
        // showing negative minutes.
        const int interval = state.nIntervalSeconds > 0 ? state.nIntervalSeconds : 0;
        text += Format(kRecording, interval / 3600, interval % 3600 / 60, interval % 60);
    }
    if (state.bRecordingFailing)
        text += kRecordingFailing;
    text += state.strDiskLow;
    if (state.bDatabaseFailing && state.strDatabaseReason.empty())
        text += kDatabaseFailing;
    else if (state.bDatabaseFailing)  // "... danych (HTTP 404). "
        text += std::string(kDatabaseFailing, sizeof kDatabaseFailing - 3) + " (" + state.strDatabaseReason + "). ";
    if (state.bMqttFailing)
        text += kMqttFailing;
    if (state.bNotifyFailing)
        text += kNotifyFailing;
    if (state.bThreadFailed)
        text += kThreadFailed;
    return text + state.strAlarm;
}
