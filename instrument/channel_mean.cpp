#include "instrument/channel_mean.h"

BOOL ComputeChannelMean(const double values[8], const BOOL noValue[8], double* mean)
{
    double sum = 0.0;
    int count = 0;
    for (int i = 0; i < 8; ++i) {
        if (noValue[i])
            continue;
        sum += values[i];
        ++count;
    }
    // 0.0 / 0 would be NaN, which the field would then show as a number.
    if (count == 0)
        return FALSE;
    *mean = sum / count;
    return TRUE;
}
