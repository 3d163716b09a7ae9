// The channels dialog's rows as text (name, in use, offset, gain, the
// calibration's dates and certificate), read back by the very rule that
// reads the settings file (ReadChannelKey), and the correction computed
// from a certificate's two points. Texts are Windows-1250.
#pragma once

#include "instrument/channel_config.h"

#include <string>

struct ChannelForm {
    struct Row {
        std::string strName;
        bool bInUse = true;
        std::string strOffset, strGain, strCalDate, strCalDue, strCertificate;
    };
    Row rows[9];  // by channel 1 to 8; [0] unused
};

// The rows as the dialog shows them; a refused hand-written value as the
// file has it, so OK names it until it is mended.
ChannelForm MakeChannelForm(const ChannelConfig& config);
// The rows into *pConfig (the rest of it kept). Empty when every field is
// usable; else why the first one is not ("Kana\xB3 3: ..."), *pConfig then
// untouched, and *pChannel and *pKey (when given) say which field it is. A
// blank number or date is its default, as in the file.
std::string ReadChannelForm(const ChannelForm& form, ChannelConfig* pConfig, int* pChannel = nullptr,
                            int* pKey = nullptr);

// A certificate's two points: the instrument's reading and the reference's
// at two temperatures (texts as typed, a point or a comma). gain = (ref2 -
// ref1) / (read2 - read1) to 4 decimals, offset = ref1 - gain x read1 to 2.
struct TwoPointResult {
    ChannelDecimal gain, offset;
    std::string strRefusal;  // empty: computed and usable
};
TwoPointResult ComputeTwoPointCorrection(const std::string& strRead1, const std::string& strRef1,
                                         const std::string& strRead2, const std::string& strRef2);

// "korekcja = 1.0020 \xD7 odczyt - 0.30 \xB0" "C"
std::string DescribeCorrection(const ChannelDecimal& gain, const ChannelDecimal& offset);
