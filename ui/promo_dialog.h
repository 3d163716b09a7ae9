// The promotion window: the promotional text in a read-only RichEdit control
// and a link to the web page about the software it advertises.
#pragma once

#include "framework/dialog.h"
#include "ui/link_label.h"

// The rich-text control of the window; it adds nothing to a window object.
class CRichText : public CWnd {};

class CPromoDialog : public CDialog {
public:
    CPromoDialog();

    // Loads the RichEdit library the template's control needs; once a run.
    static BOOL LoadRichEdit();

    BOOL PreTranslateMessage(MSG* pMsg) override;

    CRichText m_richText;
    CLinkLabel m_linkMore;

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnMoreClicked();
    LRESULT OnCtlColorStatic(WPARAM wParam, LPARAM lParam);

private:
    void FillText();
};
