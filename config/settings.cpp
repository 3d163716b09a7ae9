#include "config/settings.h"
#include "common/field_index.h"

const char kSettingsFileName[] = "qm487cfg.ini";

namespace {

// Colours of channels 1 to 8 and then channel 0, 0x00BBGGRR.
const COLORREF kBackground[9] = {0xAFCEFF, 0xC8CEE5, 0xA3C6FF, 0xC2C6E2, 0x97BEFF,
                                 0xBCBEDF, 0x8BB6FF, 0xB6B6DC, 0xE8EFFF};
const COLORREF kText[9] = {0x00236A, 0x242446, 0x001F5E, 0x1F1F3F, 0x001B52,
                           0x1A1A38, 0x001746, 0x151531, 0x001133};

const int kDefaultFontHeight = 60;
const char kDefaultFontName[] = "Arial";
// LOGFONT's face name is 32 bytes including the terminator.
const std::string::size_type kMaxFontName = 31;

const char kGeneral[] = "GENERAL";
const char kLog[] = "LOG";
const char kNotify[] = "NOTIFY";
// The calibration notices that went out, so that a restart does not send them again.
const char kCalibrationSent[] = "CALIBRATION_SENT";

std::string Numbered(const char* name, int channel) {
    return name + std::to_string(channel);
}

std::string CutFontName(const std::string& name) {
    return name.size() > kMaxFontName ? name.substr(0, kMaxFontName) : name;
}

// A hand-edited (or hostile) file may hold any number; each is brought into
// the range where the program can use it, so no later sum, abs() or size
// computed from it overflows.
int Clamped(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

// Font heights beyond this are far larger than any screen; a weight is
// 0 to 1000 for a font.
const int kMaxFontHeight = 2000;
const int kMaxFontWeight = 1000;
// The highest port number the port dialog offers.
const int kMaxPortNumber = 256;
// Screen coordinates of any arrangement of monitors fit in 16 bits.
const int kMaxWindowCoordinate = 32767;
// 1 s to 23:59:59, as the recording dialog offers.
const int kMinInterval = 1;
const int kMaxInterval = 23 * 3600 + 59 * 60 + 59;
// A COLORREF names a colour in its low 24 bits.
const COLORREF kColourMask = 0xFFFFFF;

int WindowCoordinate(const CIniFile& ini, const char* key, int fallback) {
    return Clamped(ini.GetInt(kGeneral, key, fallback), -kMaxWindowCoordinate, kMaxWindowCoordinate);
}

}  // namespace

ProgramSettings ConstructorSettings() {
    ProgramSettings s;
    for (int i = 0; i < 9; ++i) {
        FieldSettings& f = s.fields[i];
        f.crBackground = kBackground[i];
        f.crText = kText[i];
        f.nFontHeight = kDefaultFontHeight;
        f.strFontName = kDefaultFontName;
        f.nFontItalic = 0;
        f.nFontWeight = 0;
    }
    s.nPortNumber = 0;
    // 480 x 472; the file's own defaults (600 x 400) differ.
    s.nWindowLeft = 100;
    s.nWindowTop = 100;
    s.nWindowRight = 580;
    s.nWindowBottom = 572;
    s.bTopmost = FALSE;
    s.bShowPromotion = TRUE;
    s.bMinimized = FALSE;

    s.recording = RecordingSettings();
    return s;
}

void LoadSettings(const CIniFile& ini, ProgramSettings& s) {
    RecordingSettings& r = s.recording;
    for (int i = 0; i < 9; ++i) {
        const int k = ChannelOfField(i);
        const std::string section = Numbered("TEMP", k);
        FieldSettings& f = s.fields[i];
        f.crBackground = ini.GetUInt(section, Numbered("BACKGROUND_TEMP", k), kBackground[i]) & kColourMask;
        f.crText = ini.GetUInt(section, Numbered("TEXT_TEMP", k), kText[i]) & kColourMask;
        f.nFontHeight = Clamped(ini.GetInt(section, Numbered("FONT_HEIGHT_TEMP", k), kDefaultFontHeight),
                                -kMaxFontHeight, kMaxFontHeight);
        f.strFontName = CutFontName(ini.GetString(section, Numbered("FONT_NAME_TEMP", k), kDefaultFontName));
        // lfItalic is a byte: 256 reads as 0, -1 as 255.
        f.nFontItalic = static_cast<unsigned char>(
            static_cast<unsigned>(ini.GetInt(section, Numbered("FONT_ITALIC_TEMP", k), 0)) & 0xFFu);
        f.nFontWeight = Clamped(ini.GetInt(section, Numbered("FONT_WEIGHT_TEMP", k), 0), 0, kMaxFontWeight);
    }
    LoadChannelConfig(ini, s.channels);

    s.nPortNumber = Clamped(ini.GetInt(kGeneral, "PORT_NR", 0), 0, kMaxPortNumber);
    s.nWindowTop = WindowCoordinate(ini, "WINDOW_TOP", 100);
    s.nWindowBottom = WindowCoordinate(ini, "WINDOW_BOTTOM", 500);
    s.nWindowLeft = WindowCoordinate(ini, "WINDOW_LEFT", 100);
    s.nWindowRight = WindowCoordinate(ini, "WINDOW_RIGHT", 700);

    r.strReportPath = ini.GetString(kLog, "FILE_NAME", "");
    r.strBinaryPath = ini.GetString(kLog, "FILE_NAME_BIN", "");
    r.bLogReport = ini.GetInt(kLog, "FILE_LOG", 0);
    r.bLogBinary = ini.GetInt(kLog, "FILE_LOG_BIN", 0);
    // Any code is safe: one outside the three writes tabs and selects no
    // radio button in the dialog, and it is kept as the file has it.
    r.nSeparator = ini.GetInt(kLog, "FILE_SEP_FORMAT", 0);
    r.bDecimalComma = ini.GetInt(kLog, "DECIMAL_COMMA", 0) != 0;
    r.bHeaderNames = ini.GetInt(kLog, "FILE_HEADER_NAMES", 0) != 0;
    r.nFileSplit = ini.GetInt(kLog, "FILE_SPLIT", 0);
    r.nInterval = Clamped(ini.GetInt(kLog, "FILE_INTERVAL", 60), kMinInterval, kMaxInterval);
    for (int k = 1; k <= 8; ++k)
        r.bRecord[k] = ini.GetInt(kLog, Numbered("FILE_TEMP", k), 1);
    r.bRecord[0] = ini.GetInt(kLog, "FILE_TEMP0", 1);

    s.bTopmost = ini.GetInt(kGeneral, "TOPMOST", 0);
    r.bAddComment = ini.GetInt(kLog, "FILE_CHECK_COMMENT", 0);
    r.bAddSerial = ini.GetInt(kLog, "FILE_CHECK_COMMENT_SN", 0);
    s.bShowPromotion = ini.GetInt(kGeneral, "SHOW_ADV", 1);
    s.bMinimized = ini.GetInt(kGeneral, "MINIMIZED", 0) != 0;
    LoadAlarmSettings(ini, s.alarm);

    LoadDatabaseSettings(ini, s.database);
    LoadMqttSettings(ini, s.mqtt);
    LoadNotifySettings(ini, s.notify);
    s.strCalibrationSent = ini.GetString(kNotify, kCalibrationSent, "");
}

// The store appends a missing key at the end of its section and a missing
// section at the end of the file, so this order is the layout of a new file.
void SaveSettings(CIniFile& ini, const ProgramSettings& s) {
    const RecordingSettings& r = s.recording;
    for (int i = 0; i < 9; ++i) {
        const int k = ChannelOfField(i);
        const std::string section = Numbered("TEMP", k);
        const FieldSettings& f = s.fields[i];
        ini.SetUInt(section, Numbered("BACKGROUND_TEMP", k), f.crBackground);
        ini.SetUInt(section, Numbered("TEXT_TEMP", k), f.crText);
        ini.SetInt(section, Numbered("FONT_HEIGHT_TEMP", k), f.nFontHeight);
        ini.SetString(section, Numbered("FONT_NAME_TEMP", k), CutFontName(f.strFontName));
        ini.SetInt(section, Numbered("FONT_ITALIC_TEMP", k), f.nFontItalic);
        ini.SetInt(section, Numbered("FONT_WEIGHT_TEMP", k), f.nFontWeight);
    }
    SaveChannelConfig(ini, s.channels);

    ini.SetInt(kGeneral, "PORT_NR", s.nPortNumber);
    ini.SetInt(kGeneral, "WINDOW_TOP", s.nWindowTop);
    ini.SetInt(kGeneral, "WINDOW_BOTTOM", s.nWindowBottom);
    ini.SetInt(kGeneral, "WINDOW_LEFT", s.nWindowLeft);
    ini.SetInt(kGeneral, "WINDOW_RIGHT", s.nWindowRight);

    ini.SetString(kLog, "FILE_NAME", r.strReportPath);
    ini.SetString(kLog, "FILE_NAME_BIN", r.strBinaryPath);
    ini.SetInt(kLog, "FILE_LOG", r.bLogReport);
    ini.SetInt(kLog, "FILE_LOG_BIN", r.bLogBinary);
    ini.SetInt(kLog, "FILE_SEP_FORMAT", r.nSeparator);
    ini.SetInt(kLog, "FILE_INTERVAL", r.nInterval);
    for (int k = 1; k <= 8; ++k)
        ini.SetInt(kLog, Numbered("FILE_TEMP", k), r.bRecord[k]);
    ini.SetInt(kLog, "FILE_TEMP0", r.bRecord[0]);

    ini.SetInt(kGeneral, "TOPMOST", s.bTopmost);
    ini.SetInt(kLog, "FILE_CHECK_COMMENT", r.bAddComment);
    ini.SetInt(kLog, "FILE_CHECK_COMMENT_SN", r.bAddSerial);
    ini.SetInt(kGeneral, "SHOW_ADV", s.bShowPromotion);
    // A first run's file stays as it always was.
    if (s.bMinimized || ini.FindKey(ini.FindSection(kGeneral), "MINIMIZED") >= 0)
        ini.SetInt(kGeneral, "MINIMIZED", s.bMinimized ? 1 : 0);
    // Only once chosen: a file that never had it keeps its bytes.
    if (r.bDecimalComma || ini.FindKey(ini.FindSection(kLog), "DECIMAL_COMMA") >= 0)
        ini.SetInt(kLog, "DECIMAL_COMMA", r.bDecimalComma ? 1 : 0);
    if (r.bHeaderNames || ini.FindKey(ini.FindSection(kLog), "FILE_HEADER_NAMES") >= 0)
        ini.SetInt(kLog, "FILE_HEADER_NAMES", r.bHeaderNames ? 1 : 0);
    // Written when it changes: a hand-written value stays as written (one
    // that is no number reads as 0, "nigdy").
    if (ini.GetInt(kLog, "FILE_SPLIT", 0) != r.nFileSplit)
        ini.SetInt(kLog, "FILE_SPLIT", r.nFileSplit);
    SaveAlarmSettings(ini, s.alarm);

    SaveDatabaseSettings(ini, s.database);
    SaveMqttSettings(ini, s.mqtt);
    SaveNotifySettings(ini, s.notify);
    if (!s.strCalibrationSent.empty() || ini.FindKey(ini.FindSection(kNotify), kCalibrationSent) >= 0)
        ini.SetString(kNotify, kCalibrationSent, s.strCalibrationSent);
}
