// A static control that behaves as a hyperlink: link colours, underlined
// text, a hand cursor, a tooltip with its target, and a click that opens the
// target with the shell (or, failing that, with the browser registered for
// ".htm" pages).
//
// Controls here do not get their notifications reflected, so the dialog that
// holds a link hands it its WM_CTLCOLORSTATIC (CtlColor) and its STN_CLICKED
// (OnClicked).
#pragma once

#include "framework/controls.h"
#include "framework/gdi.h"

#include <string>

class CLinkLabel : public CStatic {
public:
    CLinkLabel();
    ~CLinkLabel() override;

    // Prepares control nId of pParent as a link and takes it over.
    BOOL SubclassLink(UINT nId, CWnd* pParent);

    void SetTarget(const std::string& strTarget);
    const std::string& GetTarget() const { return m_strTarget; }
    // The shell's or the fallback's result; success when greater than 32.
    static int OpenTarget(const std::string& strTarget, int nShowCmd);
    void MarkVisited(BOOL bVisited);
    void FitToText();
    void LoadHandCursor();
    static LONG ReadRegistryDefault(HKEY hRoot, const std::string& strSubKey, std::string& strOut);
    static void ShowOpenError(int nCode);

    // Opens the target; visited on success, beep and error box otherwise.
    void OnClicked();
    // Text colour of the link on a transparent background; the brush to return.
    HBRUSH CtlColor(HDC hDC);
    COLORREF CurrentColor() const;

    BOOL PreTranslateMessage(MSG* pMsg) override;

    COLORREF m_crNormal;
    COLORREF m_crVisited;
    COLORREF m_crHover;
    BOOL m_bHover;
    BOOL m_bVisited;
    BOOL m_bUnderline;
    BOOL m_bFitToText;
    std::string m_strTarget;
    CFont m_fontLink;
    HCURSOR m_hHandCursor;
    HWND m_tip;  // tooltip window, destroyed with the link

protected:
    static const AfxMsgMap* GetThisMessageMap();
    const AfxMsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
    void OnDestroy();

private:
    void UpdateTipText();
    BOOL m_bOwnCursor;  // m_hHandCursor is our copy (not the shared system one)
};
