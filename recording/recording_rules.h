// The small rules of the recording settings: the interval and its time
// picker, the extension a chosen file gets, and when a recording file has to
// be opened anew.
#pragma once

#include <string>

enum { kMinRecordInterval = 1, kMaxRecordInterval = 23 * 3600 + 59 * 60 + 59 };

// A hand-edited configuration may hold any interval; the timer runs within
// 1 s to 23:59:59.
int ClampRecordInterval(int nSeconds);

// Hours, minutes and seconds of an interval for the picker (clamped first).
struct IntervalParts {
    int nHour, nMinute, nSecond;
};
IntervalParts SplitRecordInterval(int nSeconds);

// The interval the picker holds; a time it could not give, or 00:00:00, is 1 s.
int RecordIntervalFromPicker(bool bValid, int nHour, int nMinute, int nSecond);

// A chosen file name without an extension gets the one of the filter that
// was selected (nFilterIndex counts from 1); otherwise it stays as it is.
std::string WithFilterExtension(const std::string& strPath, bool bHasExtension, int nFilterIndex,
                                const char* const* extensions, int nExtensions);

// The file a recording kind has open, as far as reopening cares.
struct OpenRecordFile {
    bool bOpen;
    std::string strPath;  // the path it was opened with
    int nSeparator;       // report only: the separator code it was opened with
};

// The report file is opened anew when none is open, when the user turned it
// on just now, or when the path (letter case counts) or the separator code
// differ from those the open file was opened with.
bool ReportNeedsReopen(const OpenRecordFile& open, bool bWasOn, const std::string& strPath, int nSeparator);
// The binary log likewise; its separator does not matter.
bool BinaryNeedsReopen(const OpenRecordFile& open, bool bWasOn, const std::string& strPath);
