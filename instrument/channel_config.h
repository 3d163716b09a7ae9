// What the user says about each of the instrument's inputs 1 to 8: the
// probe's name, whether a probe is wired there at all, and the calibration
// correction its certificate gives (corrected = raw x gain + offset), with
// the certificate's dates and number, which are kept and shown but not
// computed with.
//
// Kept in qm487cfg.ini beside the field's colours, in section [TEMPk]:
// NAME_TEMPk, IN_USE_TEMPk, CAL_GAIN_TEMPk, CAL_OFFSET_TEMPk, CAL_DATE_TEMPk,
// CAL_DUE_TEMPk, CAL_CERT_TEMPk. A key is written only once it differs from
// its default or the file has it, so a first run's file keeps its bytes.
//
// The instrument object holds one (CInstrument::SetChannelConfig) and
// applies the correction where it stores a value, so every reader gets the
// corrected value and none corrects it again.
#pragma once

#include "config/ini_file.h"

#include <cstdint>
#include <string>

// A decimal as written: nMantissa / 10^nDecimals. Gain and offset are kept
// so, and the correction is computed in whole units, so 20.0 - 0.3 is the
// double nearest 19.7 and 50.0 x 1.002 is 50.1, and the file gets back the
// digits it had ("1.0020" stays "1.0020").
struct ChannelDecimal {
    std::int64_t nMantissa = 0;
    int nDecimals = 0;
    double Value() const;
};

// Blanks around it, an optional sign, digits with a point (or, as typed, a
// comma), at most nMaxDecimals decimals. false for anything else and for an
// empty text.
bool ParseChannelDecimal(const std::string& strText, int nMaxDecimals, ChannelDecimal* pDecimal);
// "-0.30", "1.002", "1": the digits as parsed, with a point.
std::string FormatChannelDecimal(const ChannelDecimal& decimal);

// The keys of one channel, in the file's order.
enum ChannelKey { kKeyName, kKeyInUse, kKeyGain, kKeyOffset, kKeyCalDate, kKeyCalDue, kKeyCalCert, kChannelKeys };

struct ChannelSettings {
    // Windows-1250, at most kMaxName bytes (one byte a character); empty:
    // the field's usual title "Temperatura k".
    std::string strName;
    bool bInUse = true;  // false: no probe is wired to this input
    ChannelDecimal gain = {1, 0};
    ChannelDecimal offset = {0, 0};     // degrees Celsius
    std::string strCalDate, strCalDue;  // YYYY-MM-DD, or empty
    std::string strCertificate;         // the calibration certificate's number
    // Hand-written texts the program cannot use, by key: the default is in
    // force for that key (for gain or offset: no correction at all), and the
    // file gets the text back as it was written.
    bool bRefused[kChannelKeys] = {};
    std::string strRefused[kChannelKeys];

    enum { kMaxName = 40, kMaxGainDecimals = 6, kMaxOffsetDecimals = 4 };

    bool CorrectionRefused() const { return bRefused[kKeyGain] || bRefused[kKeyOffset]; }
    // No correction in force: gain 1 and offset 0, or a refused one.
    bool IsIdentity() const;
};

struct ChannelConfig {
    // By channel; [0], the mean, stays as constructed: in use, no correction.
    ChannelSettings channels[9];

    const ChannelSettings& operator[](int nChannel) const { return channels[nChannel]; }
    ChannelSettings& operator[](int nChannel) { return channels[nChannel]; }
    // The name given without blanks around it; empty for none. Every part
    // shows the same name: blanks before a ';' comment in a hand-edited file
    // must not make the database a second series.
    std::string Name(int nChannel) const;
    // The name, or for none (or only blanks) "Temperatura k"
    // ("Temperatura" for channel 0).
    std::string Title(int nChannel) const;
};

// The value the instrument sent for a channel, corrected: raw x gain +
// offset rounded to the instrument's resolution (tenths, or hundredths when
// bFine), halves away from zero, computed in whole units of the resolution
// and returned as units / 10 (or / 100), the double that reading the
// decimal's text gives. With no correction in force, or a raw value that is
// no number or far beyond any probe, dRaw itself.
double CorrectReading(const ChannelSettings& channel, double dRaw, bool bFine);

// One key's text into the channel, as the file and the channels dialog
// both read it; false, the channel left alone, when the program cannot use
// the text (a gain beyond 0.5..2, an offset beyond 10 degrees, more decimals
// than kMaxGainDecimals or kMaxOffsetDecimals, a date that is no date, a
// name with a control character).
bool ReadChannelKey(ChannelSettings& channel, int nKey, const std::string& strText);

// Reads the keys of [TEMP1] to [TEMP8]; a missing or blank key takes the
// default, a value the program cannot use is refused (see bRefused).
void LoadChannelConfig(const CIniFile& ini, ChannelConfig& config);
// Sets each key that differs from its default or that the file already has.
void SaveChannelConfig(CIniFile& ini, const ChannelConfig& config);

// The status line's piece while hand-written channel settings are refused,
// Windows-1250, ending with ". " like the others ("B\xB3\xEA" "dna korekcja
// kalibracji: T1, T3. ", then "B\xB3\xEA" "dne ustawienia kana\xB3\xF3w: T2. "
// for names, dates or "in use"); empty when nothing is refused.
std::string ComposeRefusedChannelsPiece(const ChannelConfig& config);
