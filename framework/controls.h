// The standard controls the program binds to objects, and the data exchange
// of their values with a dialog's members.
#pragma once

#include "framework/dialog.h"

#include <string>

class CStatic : public CWnd {};

class CEdit : public CWnd {};

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0)); }
    void SetCheck(int nCheck) { ::SendMessageW(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(nCheck), 0); }
};

// Windows-1250 text of an edit, static or combo box control.
void DDX_Text(CDataExchange* pDX, int nIdc, std::string& value);
// A field the settings file keeps in Windows-1250, read with 0x81 (a byte
// that code page leaves unassigned, see HasUnassigned1250) for each typed
// character it cannot hold: a check then refuses it with a reason, where "?"
// or a best-fit look-alike (a dotless i as "i") would pass unseen.
void DDX_ExactText(CDataExchange* pDX, int nIdc, std::string& value);
std::string ExactText(HWND hCtl);
// A password or token in its held form (secrets/secret_text.h), shown and
// read as UTF-16: it goes out as typed, whatever its letters.
void DDX_SecretText(CDataExchange* pDX, int nIdc, std::string& held);
std::string SecretText(HWND hCtl);
// A decimal number; a text that is not one is reported and keeps the dialog open.
void DDX_Text(CDataExchange* pDX, int nIdc, int& value);
// Check box state: 0, 1 (or 2 for three-state boxes).
void DDX_Check(CDataExchange* pDX, int nIdc, int& value);
// Index of the checked button in the group that starts at nIdc, or -1.
void DDX_Radio(CDataExchange* pDX, int nIdc, int& value);
