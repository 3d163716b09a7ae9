#include "recording/binary_log.h"

#include "common/number_text.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {

// Channel 1 to 8 first, channel 0 (the mean) last.
const int kRecordOrder[9] = {1, 2, 3, 4, 5, 6, 7, 8, 0};
const int kTimeDigits = 14;

// S is the sum of the bytes up to the last "$", each a signed 8-bit number;
// neither check byte is ever 0.
void AppendTrailer(std::string& record) {
    int sum = 0;
    for (char c : record)
        sum += static_cast<signed char>(c);
    // A record is ASCII, so S is never negative; the casts only keep the
    // arithmetic the file format's should it ever be.
    record += '@';
    record += static_cast<char>(static_cast<unsigned>(sum % 253 + 1) & 0xFF);
    record += static_cast<char>(static_cast<unsigned>(sum % 251 + 1) & 0xFF);
}

bool Fail(std::string* pstrError, std::size_t offset, const char* what) {
    if (pstrError) {
        char text[96];
        std::snprintf(text, sizeof text, "record at offset %zu: %s", offset, what);
        *pstrError = text;
    }
    return false;
}

bool IsGroupChar(char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == ',' || c == '.' || c == '-'; }

// One group "22,512,30,21.37,1" (without its "$").
bool ParseGroup(const std::string& text, BinaryChannelEntry* entry) {
    std::string fields[5];
    int n = 0;
    for (char c : text) {
        if (c == ',') {
            if (++n == 5)
                return false;
        } else {
            fields[n] += c;
        }
    }
    if (n != 4 || fields[4] != "1")
        return false;
    for (int i = 0; i < 3; ++i)
        if (fields[i].empty())
            return false;
    entry->nDevice = std::atoi(fields[0].c_str());
    entry->nSerialNumber = std::atoi(fields[1].c_str());
    entry->nChannelCode = std::atoi(fields[2].c_str());
    entry->strValue = fields[3];
    const std::size_t point = fields[3].find('.');
    return point != std::string::npos && fields[3].size() - point == 3;
}

}  // namespace

int BinaryChannelCode(int nChannel) { return nChannel == 0 ? 25 : 29 + nChannel; }

std::string BuildPlainBinaryRecord(const RecordTime& t, const ChannelSamples samples, int nSerialNumber) {
    char time[64];
    std::snprintf(time, sizeof time, "%04d%02d%02d%02d%02d%02d$", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    std::string record = time;
    for (int channel : kRecordOrder) {
        const ChannelSample& sample = samples[channel];
        if (!HasRecordableValue(sample))
            continue;
        record += std::to_string(static_cast<int>(kBinaryDeviceCode)) + ',' + std::to_string(nSerialNumber) + ',' +
                  std::to_string(BinaryChannelCode(channel)) + ',' + FormatFixed(sample.dValue, 2) + ",1$";
    }
    AppendTrailer(record);
    return record;
}

std::string NegateBytes(std::string bytes) {
    for (char& c : bytes)
        c = static_cast<char>((256 - static_cast<unsigned char>(c)) & 0xFF);
    return bytes;
}

std::string FormatBinaryRecord(const RecordTime& time, const ChannelSamples samples, int nSerialNumber) {
    return NegateBytes(BuildPlainBinaryRecord(time, samples, nSerialNumber));
}

BOOL ParseBinaryLog(const std::string& stored, std::vector<BinaryRecordContent>* pRecords, std::string* pstrError) {
    const std::string plain = NegateBytes(stored);
    std::size_t pos = 0;
    while (pos < plain.size()) {
        const std::size_t start = pos;
        BinaryRecordContent record;
        if (plain.size() - pos < static_cast<std::size_t>(kTimeDigits) + 4)
            return Fail(pstrError, start, "cut short");
        for (int i = 0; i < kTimeDigits; ++i)
            if (!std::isdigit(static_cast<unsigned char>(plain[pos + i])))
                return Fail(pstrError, start, "time is not 14 digits");
        record.strTime = plain.substr(pos, kTimeDigits);
        pos += kTimeDigits;
        if (plain[pos++] != '$')
            return Fail(pstrError, start, "no \"$\" after the time");
        // After every "$" comes either the next group or the trailer's "@".
        while (pos < plain.size() && plain[pos] != '@') {
            const std::size_t end = plain.find('$', pos);
            if (end == std::string::npos)
                return Fail(pstrError, start, "group without its \"$\"");
            const std::string text = plain.substr(pos, end - pos);
            for (char c : text)
                if (!IsGroupChar(c))
                    return Fail(pstrError, start, "stray byte in a group");
            BinaryChannelEntry entry;
            if (!ParseGroup(text, &entry))
                return Fail(pstrError, start, "malformed group");
            record.entries.push_back(entry);
            pos = end + 1;
        }
        if (plain.size() - pos < 3)
            return Fail(pstrError, start, "cut short");
        std::string body = plain.substr(start, pos - start);
        AppendTrailer(body);
        if (plain.compare(start, body.size(), body) != 0)
            return Fail(pstrError, start, "check bytes do not match");
        pos = start + body.size();
        if (pRecords)
            pRecords->push_back(record);
    }
    return TRUE;
}
