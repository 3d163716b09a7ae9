#include "instrument/channel_config.h"

#include "config/cp1250.h"

#include <algorithm>
#include <cmath>

namespace {

const char* const kKeyNames[kChannelKeys] = {"NAME_TEMP",     "IN_USE_TEMP",  "CAL_GAIN_TEMP", "CAL_OFFSET_TEMP",
                                             "CAL_DATE_TEMP", "CAL_DUE_TEMP", "CAL_CERT_TEMP"};
// Each key's default as the file would write it: a key holding it is written
// only when the file already has the key.
const char* const kDefaultTexts[kChannelKeys] = {"", "1", "1", "0", "", "", ""};

const char kRefusedCorrection[] = "B\xB3\xEA"
                                  "dna korekcja kalibracji: ";
const char kRefusedSettings[] = "B\xB3\xEA"
                                "dne ustawienia kana\xB3\xF3w: ";

// The usable ranges: a gain beyond them is a typing slip, not a probe.
const double kMinGain = 0.5, kMaxGain = 2.0, kMaxOffset = 10.0;
// Beyond this no probe reads; the units stay far inside 64 bits.
const double kMaxRaw = 1e5;
// More digits than this cannot be a probe's value and could overflow.
const int kMaxDigits = 15;

std::int64_t PowerOfTen(int n) {
    std::int64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// YYYY-MM-DD naming a day of the calendar.
bool IsDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (!IsDigit(text[i]))
            return false;
    const int year = std::stoi(text.substr(0, 4)), month = std::stoi(text.substr(5, 2)),
              day = std::stoi(text.substr(8));
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    const int days[12] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month >= 1 && month <= 12 && day >= 1 && day <= days[month - 1];
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

}  // namespace

bool ReadChannelKey(ChannelSettings& ch, int key, const std::string& text) {
    ChannelDecimal d;
    switch (key) {
    case kKeyName:
        // A control character (a lone CR, a tab, ESC) would split or bend
        // every line the name goes into: a CSV row, a point, a terminal. A
        // letter typed that Windows-1250 lacks (read as 0x81) would be kept
        // as another.
        if (text.size() > ChannelSettings::kMaxName || HasUnassigned1250(text) ||
            std::any_of(text.begin(), text.end(), [](char c) { return (c >= 0 && c < ' ') || c == 0x7F; }))
            return false;
        ch.strName = text;
        return true;
    case kKeyInUse:
        if (Trimmed(text) != "0" && Trimmed(text) != "1")
            return false;
        ch.bInUse = Trimmed(text) == "1";
        return true;
    case kKeyGain:
        if (!ParseChannelDecimal(text, ChannelSettings::kMaxGainDecimals, &d) || d.Value() < kMinGain ||
            d.Value() > kMaxGain)
            return false;
        ch.gain = d;
        return true;
    case kKeyOffset:
        if (!ParseChannelDecimal(text, ChannelSettings::kMaxOffsetDecimals, &d) || std::fabs(d.Value()) > kMaxOffset)
            return false;
        ch.offset = d;
        return true;
    case kKeyCalDate:
    case kKeyCalDue:
        if (!IsDate(Trimmed(text)))
            return false;
        (key == kKeyCalDate ? ch.strCalDate : ch.strCalDue) = Trimmed(text);
        return true;
    default:
        if (HasUnassigned1250(text))
            return false;
        ch.strCertificate = text;
        return true;
    }
}

namespace {

std::string KeyText(const ChannelSettings& ch, int key) {
    if (ch.bRefused[key])
        return ch.strRefused[key];
    switch (key) {
    case kKeyName:
        return ch.strName;
    case kKeyInUse:
        return ch.bInUse ? "1" : "0";
    case kKeyGain:
        return FormatChannelDecimal(ch.gain);
    case kKeyOffset:
        return FormatChannelDecimal(ch.offset);
    case kKeyCalDate:
        return ch.strCalDate;
    case kKeyCalDue:
        return ch.strCalDue;
    default:
        return ch.strCertificate;
    }
}

std::string Section(int channel) { return "TEMP" + std::to_string(channel); }

// n / d rounded to the nearest whole number, halves away from zero (d > 0).
std::int64_t RoundedQuotient(std::int64_t n, std::int64_t d) {
    const std::int64_t q = n / d, r = n % d;
    if (2 * (r < 0 ? -r : r) >= d)
        return n < 0 ? q - 1 : q + 1;
    return q;
}

}  // namespace

double ChannelDecimal::Value() const { return double(nMantissa) / double(PowerOfTen(nDecimals)); }

bool ParseChannelDecimal(const std::string& text, int maxDecimals, ChannelDecimal* pDecimal) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return false;
    const std::size_t last = text.find_last_not_of(" \t");
    std::size_t i = first;
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+')
        ++i;
    ChannelDecimal d;
    int seen = 0, significant = 0, decimals = -1;  // -1: no point yet
    for (; i <= last; ++i) {
        const char c = text[i];
        if ((c == '.' || c == ',') && decimals < 0) {
            decimals = 0;
        } else if (IsDigit(c)) {
            ++seen;
            decimals += decimals >= 0;
            d.nMantissa = d.nMantissa * 10 + (c - '0');
            if (d.nMantissa != 0 && ++significant > kMaxDigits)
                return false;
        } else {
            return false;
        }
    }
    if (seen == 0 || decimals > maxDecimals)
        return false;
    d.nDecimals = decimals < 0 ? 0 : decimals;
    if (negative)
        d.nMantissa = -d.nMantissa;
    *pDecimal = d;
    return true;
}

std::string FormatChannelDecimal(const ChannelDecimal& d) {
    const std::int64_t magnitude = d.nMantissa < 0 ? -d.nMantissa : d.nMantissa;
    std::string digits = std::to_string(magnitude);
    if (d.nDecimals > 0) {
        if (int(digits.size()) <= d.nDecimals)
            digits.insert(0, d.nDecimals + 1 - digits.size(), '0');
        digits.insert(digits.size() - d.nDecimals, ".");
    }
    return (d.nMantissa < 0 ? "-" : "") + digits;
}

bool ChannelSettings::IsIdentity() const {
    return CorrectionRefused() || (gain.nMantissa == PowerOfTen(gain.nDecimals) && offset.nMantissa == 0);
}

std::string ChannelConfig::Name(int channel) const { return Trimmed(channels[channel].strName); }

std::string ChannelConfig::Title(int channel) const {
    if (channel == 0)
        return "Temperatura";
    const std::string name = Name(channel);
    return name.empty() ? "Temperatura " + std::to_string(channel) : name;
}

// raw x gain + offset in units of the resolution over the common
// denominator of gain and offset, so nothing is rounded before the end.
double CorrectReading(const ChannelSettings& ch, double raw, bool fine) {
    if (ch.IsIdentity() || !(std::fabs(raw) <= kMaxRaw))
        return raw;
    const int resolution = fine ? 2 : 1;
    const std::int64_t units = std::llround(raw * double(PowerOfTen(resolution)));
    const std::int64_t numerator = units * ch.gain.nMantissa * PowerOfTen(ch.offset.nDecimals) +
                                   ch.offset.nMantissa * PowerOfTen(resolution + ch.gain.nDecimals);
    const std::int64_t corrected = RoundedQuotient(numerator, PowerOfTen(ch.gain.nDecimals + ch.offset.nDecimals));
    return double(corrected) / double(PowerOfTen(resolution));
}

void LoadChannelConfig(const CIniFile& ini, ChannelConfig& config) {
    config = ChannelConfig();
    for (int k = 1; k <= 8; ++k) {
        ChannelSettings& ch = config[k];
        for (int key = 0; key < kChannelKeys; ++key) {
            const std::string text = ini.GetString(Section(k), kKeyNames[key] + std::to_string(k), "");
            // A blank number or date is none written: the default stands.
            if (Trimmed(text).empty() && key != kKeyName && key != kKeyCalCert)
                continue;
            if (!ReadChannelKey(ch, key, text)) {
                ch.bRefused[key] = true;
                ch.strRefused[key] = text;
            }
        }
    }
}

void SaveChannelConfig(CIniFile& ini, const ChannelConfig& config) {
    for (int k = 1; k <= 8; ++k) {
        const std::string section = Section(k);
        for (int key = 0; key < kChannelKeys; ++key) {
            const std::string name = kKeyNames[key] + std::to_string(k);
            const std::string text = KeyText(config[k], key);
            if (text != kDefaultTexts[key] || ini.FindKey(ini.FindSection(section), name) >= 0)
                ini.SetString(section, name, text);
        }
    }
}

std::string ComposeRefusedChannelsPiece(const ChannelConfig& config) {
    std::string corrections, others;
    for (int k = 1; k <= 8; ++k) {
        const ChannelSettings& ch = config[k];
        const std::string name = "T" + std::to_string(k);
        if (ch.CorrectionRefused())
            corrections += (corrections.empty() ? "" : ", ") + name;
        if (ch.bRefused[kKeyName] || ch.bRefused[kKeyInUse] || ch.bRefused[kKeyCalDate] || ch.bRefused[kKeyCalDue])
            others += (others.empty() ? "" : ", ") + name;
    }
    std::string piece;
    if (!corrections.empty())
        piece = kRefusedCorrection + corrections + ". ";
    if (!others.empty())
        piece += kRefusedSettings + others + ". ";
    return piece;
}
