#include "notify/notification.h"

const char* NotifyEventName(NotifyEvent event) {
    switch (event) {
    case NotifyEvent::kAlarmRaised: return "alarm";
    case NotifyEvent::kAlarmCleared: return "alarm_cleared";
    case NotifyEvent::kSilent: return "silent";
    case NotifyEvent::kHeardAgain: return "heard_again";
    case NotifyEvent::kUncleanStart: return "unclean_start";
    case NotifyEvent::kRecordingFailed: return "recording_failed";
    case NotifyEvent::kRecordingRecovered: return "recording_recovered";
    case NotifyEvent::kSummary: return "summary";
    case NotifyEvent::kTest: return "test";
    case NotifyEvent::kCalibrationDue: return "calibration_due";
    case NotifyEvent::kDiskLow: return "disk_low";
    case NotifyEvent::kDiskOk: return "disk_ok";
    }
    return "test";
}
