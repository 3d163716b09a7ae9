#include "exchange/dde_items.h"

#include "instrument/quantity_format.h"

#include <cmath>
#include <limits>
#include <cstdio>

namespace dde {

const char kServiceName[] = "QM487";
const wchar_t kPublishedNumberMark[] = L"QM487 DDE number";
const char* const kTopicBaseNames[kChannels] = {
    "Temperatura",  "Temperatura1", "Temperatura2", "Temperatura3", "Temperatura4",
    "Temperatura5", "Temperatura6", "Temperatura7", "Temperatura8",
};
// "Alarm" came later than the others; it is last so their indexes stay.
const char* const kItemNames[kItems] = {"Wynik", "Pomiar", "Status", "Alarm"};

namespace {

const char kStatusError[] = "B\xB3\xB9"
                            "d pomiaru";
const char kStatusOk[] = "Pomiar OK";

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return i == a.size() && b[i] == '\0';
}

}  // namespace

std::string TopicName(int channel, long serialNumber) {
    if (channel < 0 || channel >= kChannels)
        return std::string();
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%s#%li", kTopicBaseNames[channel], serialNumber);
    return buffer;
}

BOOL ParseTopicName(const std::string& name, int* channel, long* serialNumber) {
    const std::size_t hash = name.find('#');
    if (hash == std::string::npos)
        return FALSE;
    const std::string base = name.substr(0, hash);
    const std::string digits = name.substr(hash + 1);
    // A serial number is 16 bits; more than ten digits is no topic of ours.
    if (digits.empty() || digits.size() > 10)
        return FALSE;
    long long number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return FALSE;
        number = number * 10 + (c - '0');
    }
    if (number > 0x7FFFFFFFLL)
        return FALSE;
    for (int c = 0; c < kChannels; ++c) {
        if (EqualNoCase(base, kTopicBaseNames[c])) {
            *channel = c;
            *serialNumber = static_cast<long>(number);
            return TRUE;
        }
    }
    return FALSE;
}

int ItemIndex(const std::string& name) {
    for (int i = 0; i < kItems; ++i)
        if (EqualNoCase(name, kItemNames[i]))
            return i;
    return kItems;
}

std::string ItemText(int item, const ChannelState& channel, bool bInUse) {
    if (!bInUse) {
        ChannelState none = ChannelState();
        none.dValue = std::numeric_limits<double>::quiet_NaN();
        none.bNoValue = TRUE;
        return ItemText(item, none);
    }
    switch (item) {
    case kItemStatus:
        return (channel.bNoValue || channel.bAlert) ? kStatusError : kStatusOk;
    case kItemAlarm:
        return channel.alarm.nState > 0 ? "1" : channel.alarm.nState < 0 ? "-1" : "0";
    case kItemResult:
    case kItemMeasurement:
        // The last stored value is published even while the status is an
        // error; a channel that never had one has nothing to publish.
        if (!std::isfinite(channel.dValue))
            return std::string();
        return item == kItemResult ? FormatDdeResult(channel.dValue, channel.nQuantity, channel.bFineResolution)
                                   : FormatDdeMeasurement(channel.dValue, channel.nQuantity, channel.bFineResolution);
    default:
        return std::string();
    }
}

}  // namespace dde
