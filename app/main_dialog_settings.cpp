// The main window's settings to and from the configuration file's values.
#include "app/main_dialog.h"

#include "app/window_rect.h"

#include <algorithm>
#include <cstring>

void CMainDialog::ApplySettings(const ProgramSettings& s) {
    for (int i = 0; i < 9; ++i) {
        const FieldSettings& f = s.fields[i];
        CReadingView& field = m_fields[i];
        field.m_crBackground = f.crBackground;
        field.m_crText = f.crText;
        field.m_lfValue.lfHeight = f.nFontHeight;
        std::memset(field.m_lfValue.lfFaceName, 0, sizeof field.m_lfValue.lfFaceName);
        std::memcpy(field.m_lfValue.lfFaceName, f.strFontName.data(),
                    std::min<std::size_t>(f.strFontName.size(), LF_FACESIZE - 1));
        field.m_lfValue.lfItalic = f.nFontItalic;
        field.m_lfValue.lfWeight = f.nFontWeight;
    }
    m_nPortNumber = s.nPortNumber;
    m_rcWindow.left = s.nWindowLeft;
    m_rcWindow.top = s.nWindowTop;
    m_rcWindow.right = s.nWindowRight;
    m_rcWindow.bottom = s.nWindowBottom;
    m_bTopmost = s.bTopmost;
    m_bShowPromotion = s.bShowPromotion;
    m_strReportPath = s.strReportPath;
    m_strBinaryPath = s.strBinaryPath;
    m_bLogReport = s.bLogReport;
    m_bLogBinary = s.bLogBinary;
    m_nSeparator = s.nSeparator;
    m_nInterval = s.nInterval;
    std::copy(std::begin(s.bRecord), std::end(s.bRecord), m_bRecord);
    m_bAddComment = s.bAddComment;
    m_bAddSerial = s.bAddSerial;
    ApplyDatabaseSettings(s.database);
}

ProgramSettings CMainDialog::CollectSettings() const {
    ProgramSettings s;
    for (int i = 0; i < 9; ++i) {
        const CReadingView& field = m_fields[i];
        FieldSettings& f = s.fields[i];
        f.crBackground = field.m_crBackground;
        f.crText = field.m_crText;
        f.nFontHeight = field.m_lfValue.lfHeight;
        f.strFontName.assign(field.m_lfValue.lfFaceName, strnlen(field.m_lfValue.lfFaceName, LF_FACESIZE));
        f.nFontItalic = field.m_lfValue.lfItalic;
        f.nFontWeight = field.m_lfValue.lfWeight;
    }
    s.nPortNumber = m_nPortNumber;
    s.nWindowLeft = m_rcWindow.left;
    s.nWindowTop = m_rcWindow.top;
    s.nWindowRight = m_rcWindow.right;
    s.nWindowBottom = m_rcWindow.bottom;
    s.bTopmost = m_bTopmost;
    s.bShowPromotion = m_bShowPromotion;
    s.strReportPath = m_strReportPath;
    s.strBinaryPath = m_strBinaryPath;
    s.bLogReport = m_bLogReport;
    s.bLogBinary = m_bLogBinary;
    s.nSeparator = m_nSeparator;
    s.nInterval = m_nInterval;
    std::copy(std::begin(m_bRecord), std::end(m_bRecord), s.bRecord);
    s.bAddComment = m_bAddComment;
    s.bAddSerial = m_bAddSerial;
    s.database = m_dbSettings;
    return s;
}

void CMainDialog::StoreSettings(CIniFile& ini) const {
    ProgramSettings settings = CollectSettings();
    WindowRect rect = {settings.nWindowLeft, settings.nWindowTop, settings.nWindowRight, settings.nWindowBottom};
    NormalizeWindowRect(rect, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    settings.nWindowLeft = rect.left;
    settings.nWindowTop = rect.top;
    settings.nWindowRight = rect.right;
    settings.nWindowBottom = rect.bottom;
    SaveSettings(ini, settings);
}

void CMainDialog::SaveSettingsNow() {
    if (m_pSettings == nullptr)
        return;
    StoreSettings(*m_pSettings);
    m_pSettings->Save(FALSE);
}
