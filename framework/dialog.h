// Dialogs made from the program's dialog templates, run modally by a loop of
// this layer: it lets PreTranslateMessage see every message first, and keeps
// handling the serial reader's sent bytes and the timers of every window,
// also while a dialog opened from another dialog runs its own loop.
#pragma once

#include "framework/wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd), m_bFailed(FALSE) {}
    BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
    CWnd* m_pDlgWnd;
    // A value did not validate (the user was told): UpdateData returns FALSE.
    void Fail() { m_bFailed = TRUE; }
    BOOL m_bFailed;
};

// Binds control nIdc of the dialog to rControl, once.
void DDX_Control(CDataExchange* pDX, int nIdc, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIdTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the dialog, runs it until EndDialog and destroys it. Returns
    // the EndDialog result, or -1 when the dialog could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);

    // Moves data between the controls and the members.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);

    UINT m_nIdTemplate;
    CWnd* m_pParentWnd;

private:
    LRESULT HandleInitDialog(WPARAM, LPARAM);
    void RunModalLoop();

    BOOL m_bContinueModal;
    INT_PTR m_nModalResult;
};
