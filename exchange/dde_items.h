// What the DDE service publishes, without Windows: the service, topic and
// item names, the topic names that carry the instrument's serial number, and
// the text of each item. The server (dde_server.h) and the qm487-dde client
// both build on these.
#pragma once

#include "common/win_types.h"
#include "instrument/channels.h"

#include <string>

namespace dde {

enum {
    kChannels = 9,  // topics, by channel 0 to 8
    kItems = 4,     // items, by index 0 to 3
    kItemResult = 0,
    kItemMeasurement = 1,
    kItemStatus = 2,
    kItemAlarm = 3,
};

extern const char kServiceName[];                 // "QM487"
// Every running copy registers the service; each marks its main window with
// this property, whose value is the instrument number it publishes, so a
// client finds all of them (a wildcard connection reaches only one).
extern const wchar_t kPublishedNumberMark[];          // L"QM487 DDE number"
extern const char* const kTopicBaseNames[kChannels];  // "Temperatura", "Temperatura1".."Temperatura8"
extern const char* const kItemNames[kItems];      // "Wynik", "Pomiar", "Status", "Alarm"

// "Temperatura3#4660": the base name of the channel, "#" and the serial
// number in decimal. Channels outside 0 to 8 give an empty string.
std::string TopicName(int channel, long serialNumber);

// The channel and serial number of a topic name as TopicName makes it,
// compared without regard to letter case as DDE compares names. FALSE for
// anything else (no "#", no digits, digits that do not fit, a foreign base).
BOOL ParseTopicName(const std::string& name, int* channel, long* serialNumber);

// 0 to 3 for an item name in any letter case, kItems for anything else.
int ItemIndex(const std::string& name);

// The Windows-1250 text of item 0 to 3 for a channel: "Wynik" the value
// without unit, "Pomiar" with its unit, "Status" "B\xB3\xB9" "d pomiaru" or
// "Pomiar OK", "Alarm" "1" (high), "-1" (low) or "0" (none). The value items
// are empty for a channel that never had a value and for an unknown
// quantity; any other item index gives an empty text. An input with no
// probe (bInUse false) is served as one that never had a value, whatever
// the instrument sends there.
std::string ItemText(int item, const ChannelState& channel, bool bInUse = true);

}  // namespace dde
