// The nine display fields, and their colours and fonts, are kept in the
// order channel 1 to 8, then channel 0 (the mean); the instrument, DDE and
// the settings' sections count channels 0 to 8.
#pragma once

inline int FieldOfChannel(int nChannel) { return nChannel == 0 ? 8 : nChannel - 1; }
inline int ChannelOfField(int nField) { return nField == 8 ? 0 : nField + 1; }
