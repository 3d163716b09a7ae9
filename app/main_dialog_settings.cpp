// The main window's settings to and from the configuration file's values.
#include "app/main_dialog.h"

#include "app/window_rect.h"

#include <algorithm>
#include <cstring>

void CMainDialog::ApplySettings(const ProgramSettings& s) {
    for (int i = 0; i < 9; ++i) {
        const FieldSettings& f = s.fields[i];
        CReadingView& field = m_panel.FieldAt(i);
        field.m_crBackground = f.crBackground;
        field.m_crText = f.crText;
        field.m_lfValue.lfHeight = f.nFontHeight;
        std::memset(field.m_lfValue.lfFaceName, 0, sizeof field.m_lfValue.lfFaceName);
        std::memcpy(field.m_lfValue.lfFaceName, f.strFontName.data(),
                    std::min<std::size_t>(f.strFontName.size(), LF_FACESIZE - 1));
        field.m_lfValue.lfItalic = f.nFontItalic;
        field.m_lfValue.lfWeight = f.nFontWeight;
    }
    m_instrument.SetChannelConfig(s.channels);
    OnChannelConfigChanged();
    m_port.SetNumber(s.nPortNumber);
    m_placement.TakeSettings(s);
    m_bShowPromotion = s.bShowPromotion != FALSE;
    m_recorder.TakeSettings(s.recording);
    m_alarms.TakeSettings(s.alarm);
    m_database.ApplySettings(s.database);
    m_mqttFeed.ApplySettings(s.mqtt);
    m_notify.ApplySettings(s.notify);
    m_calibration.TakeSent(s.strCalibrationSent);
}

void CMainDialog::OnChannelConfigChanged() {
    m_panel.TakeChannelConfig(m_instrument.GetChannelConfig());
    if (m_hWnd != nullptr && m_placement.IsPlaced())
        LayOutAgain();
}

ProgramSettings CMainDialog::CollectSettings() const {
    ProgramSettings s;
    for (int i = 0; i < 9; ++i) {
        const CReadingView& field = m_panel.FieldAt(i);
        FieldSettings& f = s.fields[i];
        f.crBackground = field.m_crBackground;
        f.crText = field.m_crText;
        f.nFontHeight = field.m_lfValue.lfHeight;
        f.strFontName.assign(field.m_lfValue.lfFaceName, strnlen(field.m_lfValue.lfFaceName, LF_FACESIZE));
        f.nFontItalic = field.m_lfValue.lfItalic;
        f.nFontWeight = field.m_lfValue.lfWeight;
    }
    s.channels = m_instrument.GetChannelConfig();
    s.nPortNumber = m_port.Number();
    m_placement.GiveSettings(s);
    s.bShowPromotion = m_bShowPromotion;
    s.recording = m_recorder.Settings();
    s.alarm = m_alarms.Settings();
    s.database = m_database.Settings();
    s.mqtt = m_mqttFeed.Settings();
    s.notify = m_notify.Settings();
    s.strCalibrationSent = m_calibration.SentText();
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
