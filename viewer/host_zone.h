// The time-zone rules of the computer the viewer runs on: Windows' own
// (every year as Windows knows it, past changes included), or the C
// library's where the tools run natively.
#pragma once

#include "viewer/time_zone.h"

#include <memory>

std::unique_ptr<ZoneRules> MakeHostZoneRules();
// The rules a choice stands for: the computer's, or a fixed offset.
std::unique_ptr<ZoneRules> MakeZoneRules(const ZoneChoice& choice);
