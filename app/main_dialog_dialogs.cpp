// The main window's small dialogs: About, promotion, extra settings, colours
// and fonts.
#include "app/main_dialog.h"

#include "app/start_with_windows.h"
#include "framework/win_app.h"
#include "ui/about_dialog.h"
#include "ui/colors_dialog.h"
#include "ui/extra_settings_dialog.h"
#include "ui/fonts_dialog.h"
#include "ui/promo_dialog.h"

namespace {

const char kRunValueNotWritten[] =
    "Nie mo\xBFna zmieni\xE6 uruchamiania razem z systemem Windows (rejestr nie przyj\xB9\xB3 zmiany).";

// The fields in the dialogs' order: channels 1 to 8, then channel 0.
template <class Dialog>
void HandFields(CMainDialog& main, Dialog& dlg) {
    for (int i = 0; i < 8; ++i)
        dlg.m_pViews[i] = &main.Panel().Field(i + 1);
    dlg.m_pViews[8] = &main.Panel().Field(0);
}

}  // namespace

void CMainDialog::OnAbout() {
    CAboutDialog dlg;
    dlg.DoModal();
}

void CMainDialog::OnPromotion() {
    CPromoDialog::LoadRichEdit();
    CPromoDialog dlg;
    dlg.DoModal();
}

void CMainDialog::ShowStartupPromotion() {
    if (m_start.bOfferPromotion)
        OnPromotion();
}

void CMainDialog::OnExtraSettings() {
    CExtraSettingsDialog dlg;
    dlg.m_bHidePromo = !m_bShowPromotion;
    // The registry says whether it starts with Windows, not the settings
    // file: removing the value by hand switches it off, and a value that
    // starts another copy (or this one from its old folder) is not this one's.
    const std::wstring& programPath = AfxGetApp()->m_wstrProgramPath;
    dlg.m_bStartWithWindows = IsStartedWithWindows(programPath, m_start.strProfile);
    const BOOL bStartedWithWindows = dlg.m_bStartWithWindows;
    if (dlg.DoModal() != IDOK)
        return;
    m_bShowPromotion = !dlg.m_bHidePromo;
    SaveSettingsNow();
    if (dlg.m_bStartWithWindows != bStartedWithWindows &&
        !SetStartWithWindows(programPath, m_start.strProfile, dlg.m_bStartWithWindows))
        AfxMessageBox(kRunValueNotWritten, MB_OK | MB_ICONEXCLAMATION);
}

void CMainDialog::OnColours() {
    CColorsDialog dlg;
    HandFields(*this, dlg);
    COLORREF crBackground[9];
    COLORREF crText[9];
    for (int i = 0; i < 9; ++i) {
        crBackground[i] = m_panel.FieldAt(i).m_crBackground;
        crText[i] = m_panel.FieldAt(i).m_crText;
    }
    if (dlg.DoModal() == IDOK) {
        SaveSettingsNow();
        return;
    }
    for (int i = 0; i < 9; ++i) {
        m_panel.FieldAt(i).m_crBackground = crBackground[i];
        m_panel.FieldAt(i).m_crText = crText[i];
        m_panel.FieldAt(i).RedrawNow();
    }
}

void CMainDialog::OnFonts() {
    CFontsDialog dlg;
    LOGFONTA lfSaved[9];
    for (int i = 0; i < 9; ++i)
        lfSaved[i] = m_panel.FieldAt(i).m_lfValue;
    HandFields(*this, dlg);
    if (dlg.DoModal() == IDOK) {
        SaveSettingsNow();
        return;
    }
    for (int i = 0; i < 9; ++i)
        m_panel.FieldAt(i).SetValueFont(lfSaved[i]);
}
