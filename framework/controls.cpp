#include "framework/controls.h"

#include "framework/text.h"
#include "framework/win_app.h"
#include "config/cp1250.h"
#include "secrets/secret_text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

std::wstring WideText(HWND hCtl) {
    const int n = GetWindowTextLengthW(hCtl);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hCtl, &text[0], n + 1)));
    return text;
}

std::string ControlText(HWND hCtl) { return afx::Narrow1250(WideText(hCtl)); }

}  // namespace

void DDX_Text(CDataExchange* pDX, int nIdc, std::string& value) {
    HWND hCtl = pDX->m_pDlgWnd->GetDlgItem(nIdc);
    if (pDX->m_bSaveAndValidate)
        value = ControlText(hCtl);
    else
        SetWindowTextW(hCtl, afx::Widen1250(value).c_str());
}

std::string ExactText(HWND hCtl) { return Utf8ToCp1250(afx::NarrowUtf8(WideText(hCtl)), '\x81'); }

void DDX_ExactText(CDataExchange* pDX, int nIdc, std::string& value) {
    if (pDX->m_bSaveAndValidate)
        value = ExactText(pDX->m_pDlgWnd->GetDlgItem(nIdc));
    else
        DDX_Text(pDX, nIdc, value);
}

std::string SecretText(HWND hCtl) { return SecretTextFromUtf8(afx::NarrowUtf8(WideText(hCtl))); }

void DDX_SecretText(CDataExchange* pDX, int nIdc, std::string& held) {
    HWND hCtl = pDX->m_pDlgWnd->GetDlgItem(nIdc);
    if (pDX->m_bSaveAndValidate)
        held = SecretText(hCtl);
    else
        SetWindowTextW(hCtl, afx::WidenUtf8(SecretTextToUtf8(held)).c_str());
}

void DDX_Text(CDataExchange* pDX, int nIdc, int& value) {
    HWND hCtl = pDX->m_pDlgWnd->GetDlgItem(nIdc);
    if (!pDX->m_bSaveAndValidate) {
        SetWindowTextW(hCtl, std::to_wstring(value).c_str());
        return;
    }
    const std::string text = ControlText(hCtl);
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text.c_str(), &end, 10);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    if (text.empty() || end == text.c_str() || *end != '\0' || errno == ERANGE || n < INT_MIN || n > INT_MAX) {
        AfxMessageBox("Wprowad\x9F liczb\xEA ca\xB3kowit\xB9.", MB_OK | MB_ICONEXCLAMATION);
        SetFocus(hCtl);
        pDX->Fail();
        return;
    }
    value = static_cast<int>(n);
}

void DDX_Check(CDataExchange* pDX, int nIdc, int& value) {
    HWND hCtl = pDX->m_pDlgWnd->GetDlgItem(nIdc);
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(SendMessageW(hCtl, BM_GETCHECK, 0, 0));
    else
        SendMessageW(hCtl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange* pDX, int nIdc, int& value) {
    HWND hCtl = pDX->m_pDlgWnd->GetDlgItem(nIdc);
    if (pDX->m_bSaveAndValidate)
        value = -1;
    // The group: from nIdc through the following auto radio buttons up to the next WS_GROUP.
    for (int index = 0; hCtl != nullptr; ++index) {
        if (pDX->m_bSaveAndValidate) {
            if (SendMessageW(hCtl, BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = index;
        } else {
            SendMessageW(hCtl, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        hCtl = GetNextWindow(hCtl, GW_HWNDNEXT);
        if (hCtl == nullptr || (GetWindowLongW(hCtl, GWL_STYLE) & WS_GROUP))
            break;
    }
}
