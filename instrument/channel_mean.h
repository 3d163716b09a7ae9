// Channel 0 shows the mean of the channels 1 to 8 that hold a value.
#pragma once

#include "common/win_types.h"

// values[i] and noValue[i] describe channel i + 1. Sums in channel order.
// FALSE, with *mean untouched, when no channel holds a value: there is no
// mean then, and the caller shows the channel as having none.
BOOL ComputeChannelMean(const double values[8], const BOOL noValue[8], double* mean);
