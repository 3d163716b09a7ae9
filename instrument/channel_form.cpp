#include "instrument/channel_form.h"

#include <cstdint>

namespace {

// The fields' names in a refusal, by ChannelKey.
const char* const kFieldNames[kChannelKeys] = {"nazwa",
                                               "w u\xBFyciu",
                                               "wzmocnienie",
                                               "przesuni\xEA"
                                               "cie",
                                               "data kalibracji",
                                               "termin kalibracji",
                                               "nr \x9Cwiadectwa"};
// What a usable value is, by ChannelKey (none for "in use" and the certificate).
const char* const kFieldRules[kChannelKeys] = {"najwy\xBF"
                                               "ej 40 znak\xF3w",
                                               "",
                                               "liczba od 0.5 do 2, najwy\xBF"
                                               "ej 6 miejsc po przecinku",
                                               "liczba od -10 do 10 \xB0"
                                               "C, najwy\xBF"
                                               "ej 4 miejsca po przecinku",
                                               "data RRRR-MM-DD",
                                               "data RRRR-MM-DD",
                                               ""};
const char* const kPointNames[4] = {"odczyt 1", "wzorzec 1", "odczyt 2", "wzorzec 2"};

// Decimals a point is scaled to, and the result's.
const int kPointDecimals = ChannelSettings::kMaxOffsetDecimals, kGainDecimals = 4, kOffsetDecimals = 2;
// Beyond this no probe reads; keeps the products inside 64 bits.
const std::int64_t kMaxPoint = 1000;

std::int64_t PowerOfTen(int n) {
    std::int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// n / d to the nearest whole number, halves away from zero (d != 0).
std::int64_t Rounded(std::int64_t n, std::int64_t d) {
    if (d < 0)
        n = -n, d = -d;
    const std::int64_t q = n / d, r = n % d;
    if (2 * (r < 0 ? -r : r) >= d)
        return n < 0 ? q - 1 : q + 1;
    return q;
}

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

std::string Refusal(int channel, const std::string& what) {
    return "Kana\xB3 " + std::to_string(channel) + ": " + what + ".";
}

}  // namespace

ChannelForm MakeChannelForm(const ChannelConfig& config) {
    ChannelForm form;
    for (int k = 1; k <= 8; ++k) {
        const ChannelSettings& ch = config[k];
        const auto text = [&ch](int key, const std::string& value) {
            return ch.bRefused[key] ? ch.strRefused[key] : value;
        };
        ChannelForm::Row& row = form.rows[k];
        row.strName = text(kKeyName, ch.strName);
        row.bInUse = ch.bInUse;
        row.strOffset = text(kKeyOffset, FormatChannelDecimal(ch.offset));
        row.strGain = text(kKeyGain, FormatChannelDecimal(ch.gain));
        row.strCalDate = text(kKeyCalDate, ch.strCalDate);
        row.strCalDue = text(kKeyCalDue, ch.strCalDue);
        row.strCertificate = ch.strCertificate;
    }
    return form;
}

std::string ReadChannelForm(const ChannelForm& form, ChannelConfig* pConfig, int* pChannel, int* pKey) {
    ChannelConfig config = *pConfig;
    for (int k = 1; k <= 8; ++k) {
        const ChannelForm::Row& row = form.rows[k];
        const std::string texts[kChannelKeys] = {row.strName,       row.bInUse ? "1" : "0", row.strGain,
                                                 row.strOffset,     row.strCalDate,         row.strCalDue,
                                                 row.strCertificate};
        ChannelSettings fresh;  // the defaults a blank field takes, nothing refused
        for (int key = 0; key < kChannelKeys; ++key) {
            if (key != kKeyName && key != kKeyCalCert && IsBlank(texts[key]))
                continue;
            if (ReadChannelKey(fresh, key, texts[key]))
                continue;
            if (pChannel != nullptr && pKey != nullptr)
                *pChannel = k, *pKey = key;
            return Refusal(k, std::string(kFieldNames[key]) + ": " + kFieldRules[key]);
        }
        config[k] = fresh;
    }
    *pConfig = config;
    return std::string();
}

TwoPointResult ComputeTwoPointCorrection(const std::string& strRead1, const std::string& strRef1,
                                         const std::string& strRead2, const std::string& strRef2) {
    TwoPointResult result;
    const std::string* texts[4] = {&strRead1, &strRef1, &strRead2, &strRef2};
    std::int64_t p[4];  // in units of 10^-kPointDecimals
    for (int i = 0; i < 4; ++i) {
        ChannelDecimal d;
        if (!ParseChannelDecimal(*texts[i], kPointDecimals, &d) || d.Value() < -kMaxPoint || d.Value() > kMaxPoint) {
            result.strRefusal = std::string(kPointNames[i]) +
                                ": liczba od -1000 do 1000 \xB0"
                                "C, najwy\xBF"
                                "ej " +
                                std::to_string(kPointDecimals) + " miejsca po przecinku.";
            return result;
        }
        p[i] = d.nMantissa * PowerOfTen(kPointDecimals - d.nDecimals);
    }
    const std::int64_t read1 = p[0], ref1 = p[1], read2 = p[2], ref2 = p[3];
    if (read1 == read2) {
        result.strRefusal = "Odczyty w obu punktach s\xB9 r\xF3wne: nie mo\xBFna wyznaczy\xE6 wzmocnienia.";
        return result;
    }
    result.gain = {Rounded((ref2 - ref1) * PowerOfTen(kGainDecimals), read2 - read1), kGainDecimals};
    ChannelSettings check;
    if (!ReadChannelKey(check, kKeyGain, FormatChannelDecimal(result.gain))) {
        result.strRefusal =
            "Wyliczone wzmocnienie " + FormatChannelDecimal(result.gain) + " jest poza zakresem 0.5 do 2.";
        return result;
    }
    // ref1 - gain x read1, in units of 10^-(kPointDecimals + kGainDecimals).
    const std::int64_t offset = ref1 * PowerOfTen(kGainDecimals) - result.gain.nMantissa * read1;
    result.offset = {Rounded(offset, PowerOfTen(kPointDecimals + kGainDecimals - kOffsetDecimals)), kOffsetDecimals};
    if (!ReadChannelKey(check, kKeyOffset, FormatChannelDecimal(result.offset)))
        result.strRefusal = "Wyliczone przesuni\xEA"
                            "cie " +
                            FormatChannelDecimal(result.offset) +
                            " \xB0"
                            "C jest poza zakresem -10 do 10 \xB0"
                            "C.";
    return result;
}

std::string DescribeCorrection(const ChannelDecimal& gain, const ChannelDecimal& offset) {
    const bool negative = offset.nMantissa < 0;
    const ChannelDecimal magnitude = {negative ? -offset.nMantissa : offset.nMantissa, offset.nDecimals};
    return "korekcja = " + FormatChannelDecimal(gain) + " \xD7 odczyt " + (negative ? "- " : "+ ") +
           FormatChannelDecimal(magnitude) +
           " \xB0"
           "C";
}
