// The binary log file (".kvf") that the chart viewer reads: one record per
// recording tick, no file header. A record is ASCII text
//   YYYYMMDDhhmmss$22,<instrument>,<channel code>,<value %.2f>,1$ ... @AB
// holding every channel with a valid value (1 to 8, then 0), closed by "@"
// and two check bytes, and stored with every byte negated (256 - b).
#pragma once

#include "recording/record_types.h"

#include <string>
#include <vector>

enum { kBinaryDeviceCode = 22 };

// The code a channel 0 to 8 has in the record: 25 for channel 0, 30 to 37
// for channels 1 to 8.
int BinaryChannelCode(int nChannel);

// The record as text, trailer included, before the negation.
std::string BuildPlainBinaryRecord(const RecordTime& time, const ChannelSamples samples, int nSerialNumber);

// Every byte b replaced by (256 - b) mod 256; its own inverse.
std::string NegateBytes(std::string bytes);

// The bytes that go into the file.
std::string FormatBinaryRecord(const RecordTime& time, const ChannelSamples samples, int nSerialNumber);

// Reading a log back, to check what was written.
struct BinaryChannelEntry {
    int nDevice;
    int nSerialNumber;
    int nChannelCode;
    std::string strValue;  // as written, "21.37"
};
struct BinaryRecordContent {
    std::string strTime;  // the 14 digits
    std::vector<BinaryChannelEntry> entries;
};

// Splits a whole stored log into records and checks each one: form, "@"
// and both check bytes. FALSE at the first record that is not sound, with
// its offset and what is wrong in *pstrError; records before it are kept.
BOOL ParseBinaryLog(const std::string& stored, std::vector<BinaryRecordContent>* pRecords,
                    std::string* pstrError);
