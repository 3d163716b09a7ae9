// One point as the sender gets it, for the database tests: instrument 4660.
#pragma once

#include "database/line_protocol.h"

#include <cstdint>

inline DbPoint TestPoint(int channel, double value, std::int64_t timeMs, bool ok = true) {
    DbPoint p = {};
    p.nTimeMs = timeMs;
    p.dValue = value;
    p.nSerial = 4660;
    p.nChannel = static_cast<std::uint8_t>(channel);
    p.bHasValue = ok;
    return p;
}
