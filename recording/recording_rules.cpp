#include "recording/recording_rules.h"

int ClampRecordInterval(int nSeconds) {
    if (nSeconds < kMinRecordInterval)
        return kMinRecordInterval;
    if (nSeconds > kMaxRecordInterval)
        return kMaxRecordInterval;
    return nSeconds;
}

IntervalParts SplitRecordInterval(int nSeconds) {
    const int n = ClampRecordInterval(nSeconds);
    return {n / 3600, n / 60 % 60, n % 60};
}

int RecordIntervalFromPicker(bool bValid, int nHour, int nMinute, int nSecond) {
    const int n = bValid ? nHour * 3600 + nMinute * 60 + nSecond : 0;
    return n == 0 ? kMinRecordInterval : ClampRecordInterval(n);
}

std::string WithFilterExtension(const std::string& strPath, bool bHasExtension, int nFilterIndex,
                                const char* const* extensions, int nExtensions) {
    if (bHasExtension || nFilterIndex < 1 || nFilterIndex > nExtensions)
        return strPath;
    return strPath + extensions[nFilterIndex - 1];
}

bool ReportNeedsReopen(const OpenRecordFile& open, bool bWasOn, const std::string& strPath, int nSeparator) {
    return !open.bOpen || !bWasOn || open.strPath != strPath || open.nSeparator != nSeparator;
}

bool BinaryNeedsReopen(const OpenRecordFile& open, bool bWasOn, const std::string& strPath) {
    return !open.bOpen || !bWasOn || open.strPath != strPath;
}
