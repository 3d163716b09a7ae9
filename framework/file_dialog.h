// The file chooser of the common dialogs, in its "open" or "save" form,
// with Windows-1250 texts in and out.
#pragma once

#include "framework/wnd.h"

#include <commdlg.h>

#include <string>
#include <vector>

class CFileDialog {
public:
    // strFilter in the usual form "Text (*.txt)|*.txt|All (*.*)|*.*||".
    // Explorer style with a resizable frame is added to dwFlags.
    CFileDialog(BOOL bOpenFileDialog, const std::string& strDefExt, const std::string& strFileName, DWORD dwFlags,
                const std::string& strFilter, CWnd* pParentWnd = nullptr);

    // Runs the chooser modally over its owner (the parent given, else the
    // window active now). IDOK or IDCANCEL.
    INT_PTR DoModal();

    std::string GetPathName() const;
    // The same as Windows names it: for opening the file, whatever its folder's letters.
    std::wstring GetWidePathName() const { return m_szFile.data(); }
    // With OFN_ALLOWMULTISELECT: every file chosen, each with its folder.
    std::vector<std::wstring> GetWidePathNames() const;
    // The chosen name has no extension (none typed, none added).
    BOOL HasNoExtension() const;

    // Set before DoModal. m_ofn.nFilterIndex (from 1) selects a filter
    // before and tells the chosen one after.
    std::string m_strTitle;
    std::string m_strDefExt;
    OPENFILENAMEW m_ofn;

private:
    BOOL m_bOpenFileDialog;
    CWnd* m_pParentWnd;
    std::wstring m_wstrFilter;
    std::wstring m_wstrTitle;
    std::wstring m_wstrDefExt;
    // Room for a year of daily files' names chosen at once.
    std::vector<wchar_t> m_szFile;
};
