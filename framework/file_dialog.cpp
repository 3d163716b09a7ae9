#include "framework/file_dialog.h"

#include "framework/text.h"

#include <cstring>

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const std::string& strDefExt, const std::string& strFileName,
                         DWORD dwFlags, const std::string& strFilter, CWnd* pParentWnd)
    : m_strDefExt(strDefExt),
      m_ofn(),
      m_bOpenFileDialog(bOpenFileDialog),
      m_pParentWnd(pParentWnd),
      m_szFile((dwFlags & OFN_ALLOWMULTISELECT) ? 32768 : MAX_PATH * 2) {
    // "|" separates the pieces for the user; the dialog wants NULs.
    m_wstrFilter = afx::Widen1250(strFilter);
    for (wchar_t& c : m_wstrFilter)
        if (c == L'|')
            c = L'\0';
    const std::wstring name = afx::Widen1250(strFileName);
    wcsncpy(m_szFile.data(), name.c_str(), MAX_PATH * 2 - 1);
    m_ofn.lStructSize = sizeof m_ofn;
    m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLESIZING;
    m_ofn.nFilterIndex = 1;
}

INT_PTR CFileDialog::DoModal() {
    HWND hOwner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : GetActiveWindow();
    m_wstrTitle = afx::Widen1250(m_strTitle);
    m_wstrDefExt = afx::Widen1250(m_strDefExt);
    m_ofn.hwndOwner = hOwner;
    m_ofn.hInstance = nullptr;
    m_ofn.lpstrFilter = m_wstrFilter.empty() ? nullptr : m_wstrFilter.c_str();
    m_ofn.lpstrFile = m_szFile.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_szFile.size());
    m_ofn.lpstrTitle = m_wstrTitle.empty() ? nullptr : m_wstrTitle.c_str();
    m_ofn.lpstrDefExt = m_wstrDefExt.empty() ? nullptr : m_wstrDefExt.c_str();
    const BOOL bOk = m_bOpenFileDialog ? GetOpenFileNameW(&m_ofn) : GetSaveFileNameW(&m_ofn);
    return bOk ? IDOK : IDCANCEL;
}

std::string CFileDialog::GetPathName() const { return afx::Narrow1250(m_szFile.data()); }

// One file: its full path; several: the folder, then each name, each ended
// by a NUL and the list by another.
std::vector<std::wstring> CFileDialog::GetWidePathNames() const {
    const wchar_t* p = m_szFile.data();
    const std::wstring first = p;
    std::vector<std::wstring> paths;
    // Names follow the folder only when the first name begins after it.
    const bool bSeveral = (m_ofn.Flags & OFN_ALLOWMULTISELECT) && m_ofn.nFileOffset > first.size();
    for (p += first.size() + 1; bSeveral && *p != L'\0'; p += wcslen(p) + 1)
        paths.push_back(first + (first.empty() || first.back() == L'\\' ? L"" : L"\\") + p);
    if (paths.empty())
        paths.push_back(first);
    return paths;
}

BOOL CFileDialog::HasNoExtension() const {
    return m_ofn.nFileExtension == 0 || m_szFile[m_ofn.nFileExtension] == L'\0';
}
