// What one recording tick reads: the local time and the state of the nine
// display fields, copied out so that the file formats need no window.
#pragma once

#include "common/civil_time.h"
#include "common/win_types.h"

// One channel's display field as the recording sees it.
struct ChannelSample {
    double dValue;            // meaningful only while neither flag below is set
    BOOL bNoValue;            // no reading since start, or the link was lost
    BOOL bAlert;              // the instrument reported an error for the channel, or the link was lost
    BOOL bFineResolution;     // the reading has hundredths
};

// Channels in the order 0 to 8.
typedef ChannelSample ChannelSamples[9];

// A value worth writing: present, not in error, and a number (a mean over
// no channel would be NaN, which no file should ever hold).
bool HasRecordableValue(const ChannelSample& sample);
