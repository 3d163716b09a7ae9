#include "recording/report_file.h"

#include "common/number_text.h"

#include <algorithm>
#include <cstdio>

namespace {

// Columns follow the channel numbers: T (channel 0) first, then T1 to T8.
// The degree sign is the Windows-1250 byte 0xB0.
const char* const kColumnTitles[9] = {
    // clang-format off
    "T \xB0" "C",  "T1 \xB0" "C", "T2 \xB0" "C", "T3 \xB0" "C", "T4 \xB0" "C",
    "T5 \xB0" "C", "T6 \xB0" "C", "T7 \xB0" "C", "T8 \xB0" "C",
    // clang-format on
};
const char kNoValue[] = "???";
const char kLineEnd[] = "\r\n";

std::string ValueText(const ChannelSample& sample, bool bDecimalComma) {
    if (!HasRecordableValue(sample))
        return kNoValue;
    std::string text = FormatFixed(sample.dValue, sample.bFineResolution ? 2 : 1);
    if (bDecimalComma)
        std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

}  // namespace

char ReportSeparator(int nSeparator) {
    switch (nSeparator) {
    case 1:
        return ',';
    case 2:
        return ';';
    default:
        return '\t';
    }
}

bool ReportDecimalComma(int nSeparator, BOOL bDecimalComma) {
    return bDecimalComma && ReportSeparator(nSeparator) != ',';
}

std::string CsvField(const std::string& given, char separator) {
    const std::string text =
        !given.empty() && std::string("=+-@").find(given[0]) != std::string::npos ? "'" + given : given;
    if (text.find(separator) == std::string::npos && text.find('"') == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"')
            quoted += c;
    }
    return quoted + "\"";
}

int ReportChannelMask(const BOOL record[9]) {
    int mask = 0;
    for (int channel = 1; channel <= 8; ++channel)
        if (record[channel])
            mask |= 1 << (channel - 1);
    if (record[0])
        mask |= 1 << 8;
    return mask;
}

std::string FormatReportTime(const RecordTime& t, bool bIso) {
    char text[64];
    const char* format = bIso ? "%04d-%02d-%02d %02d:%02d:%02d" : "%04d.%02d.%02d %02d:%02d:%02d";
    const int n = std::snprintf(text, sizeof text, format, t.year, t.month, t.day, t.hour, t.minute, t.second);
    return std::string(text, n > 0 && n < static_cast<int>(sizeof text) ? n : 0);
}

void ReportColumns(const BOOL record[9], const ChannelConfig& config, BOOL columns[9]) {
    for (int channel = 0; channel < 9; ++channel)
        columns[channel] = record[channel] && config[channel].bInUse;
}

std::string ReportHeaderLine(const BOOL record[9], int nSeparator, const ChannelConfig* pNames) {
    const char separator = ReportSeparator(nSeparator);
    std::string header = "Data i Godzina";
    for (int channel = 0; channel < 9; ++channel) {
        if (!record[channel])
            continue;
        header += separator;
        const std::string name = channel > 0 && pNames ? pNames->Name(channel) : std::string();
        if (name.empty())
            header += kColumnTitles[channel];
        else
            header += CsvField(name + " \xB0"
                                      "C",
                               separator);
    }
    return header + kLineEnd;
}

std::string FormatReportHeader(const BOOL record[9], int nSeparator, int& nHeaderMask) {
    const int mask = ReportChannelMask(record);
    if (mask == nHeaderMask)
        return std::string();
    nHeaderMask = mask;
    return ReportHeaderLine(record, nSeparator);
}

std::string FormatReportRow(const RecordTime& time, const ChannelSamples samples, const BOOL record[9], int nSeparator,
                            BOOL bDecimalComma) {
    const char separator = ReportSeparator(nSeparator);
    const bool comma = ReportDecimalComma(nSeparator, bDecimalComma);
    std::string values;
    for (int channel = 0; channel < 9; ++channel) {
        if (!record[channel])
            continue;
        if (!values.empty())
            values += separator;
        values += ValueText(samples[channel], comma);
    }
    // With no channel chosen the row still has its one separator after the time.
    return FormatReportTime(time, comma) + separator + values + kLineEnd;
}

std::string FormatOpeningBlock(bool bAppending, const std::string& strComment, BOOL bAddSerial, int nSerialNumber) {
    std::string block;
    if (bAppending)
        block += kLineEnd;
    if (!strComment.empty())
        block += strComment + kLineEnd;
    if (bAddSerial) {
        block += "QM-487 nr ";
        block += nSerialNumber >= 1 ? std::to_string(nSerialNumber) : std::string(kNoValue);
        block += kLineEnd;
    }
    return block;
}
