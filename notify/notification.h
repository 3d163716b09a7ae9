// One message to a person away from the PC, as the outbox keeps it and
// every way of sending (e-mail, web hook, program) takes it: the event and
// its fields, and the subject and text composed once, in Polish, UTF-8.
#pragma once

#include <cstdint>
#include <string>

enum class NotifyEvent {
    kAlarmRaised,
    kAlarmCleared,
    kSilent,           // the instrument has not been heard for the set minutes
    kHeardAgain,
    kUncleanStart,     // started after an end that was not a normal close
    kRecordingFailed,
    kRecordingRecovered,
    kSummary,          // the daily summary
    kTest,             // "Wyślij wiadomość próbną"
    kCalibrationDue,   // a channel's calibration is due in a week, or today
    kDiskLow,          // a recording file's disk has less than a week of recording left
    kDiskOk,           // it has enough again
};

// The event's name in the web hook's JSON and the program's arguments:
// "alarm", "alarm_cleared", "silent", "heard_again", "unclean_start",
// "recording_failed", "recording_recovered", "summary", "test",
// "calibration_due", "disk_low", "disk_ok".
const char* NotifyEventName(NotifyEvent event);

struct Notification {
    std::uint64_t nId = 0;  // the outbox's sequence number
    NotifyEvent event = NotifyEvent::kTest;
    std::string strPc;       // the computer's name
    std::string strProfile;  // empty: the default profile
    int nInstrument = 0;     // the instrument's number; 0: not known
    int nChannel = -1;       // 0 to 8; -1: none
    std::string strValue;    // "25.4 °C"; empty: none
    std::string strLimit;    // "25.0 °C"; empty: none
    std::string strTime;     // "2026-12-08 14:03:12 +01:00"
    long long nDurationSeconds = -1;  // how long a cleared alarm lasted; -1: none
    std::string strSubject;  // UTF-8
    std::string strText;     // UTF-8, lines ended by "\n"
};

// What one way of sending answered for one message.
struct DeliveryResult {
    enum Kind {
        kDelivered,
        kRetryLater,        // the server down, a time-out, a 5xx: tried again later
        kNeverDeliverable,  // a permanent refusal (5xx to a recipient, a 4xx web hook): given up, logged
    } kind = kRetryLater;
    std::string strAnswer;  // what the server or program said, for the dialog and the log (UTF-8)
};

// One way of sending. Deliver blocks (on the sending thread) until the way
// has an answer; Cancel, from any thread, makes it return at once.
class INotifyWay {
public:
    virtual ~INotifyWay() = default;
    virtual const char* Name() const = 0;  // "e-mail", "web hook", "program"
    virtual DeliveryResult Deliver(const Notification& message) = 0;
    virtual void Cancel() = 0;
};
