#include "framework/record_file.h"

#include "common/plain_file_path.h"
#include "framework/text.h"

#include <utility>

std::unique_ptr<CRecordFile> CRecordFile::Open(const std::string& strPath, BOOL* pbExisted, DWORD* pdwError) {
    CHandle hFile = OpenHandle(strPath, pbExisted, pdwError);
    if (!hFile.IsValid())
        return nullptr;
    return std::unique_ptr<CRecordFile>(new CRecordFile(std::move(hFile), strPath));
}

std::unique_ptr<CRecordFile> CRecordFile::OpenToAppend(const std::string& strPath, BOOL* pbExisted) {
    DWORD dwError = ERROR_SUCCESS;
    std::unique_ptr<CRecordFile> file = Open(strPath, pbExisted, &dwError);
    if (file && file->SeekToEnd())
        return file;
    if (file)
        dwError = file->GetLastError();
    file.reset(new CRecordFile(CHandle(), strPath));
    file->m_dwLastError = dwError;
    file->m_sink.OpenOnNextWrite();
    return file;
}

// The wide function with the converted path: the same file as the ANSI one
// on a Polish system, and the right one under any other code page.
CHandle CRecordFile::OpenHandle(const std::string& strPath, BOOL* pbExisted, DWORD* pdwError) {
    if (!IsPlainFilePath(strPath)) {
        if (pbExisted)
            *pbExisted = FALSE;
        if (pdwError)
            *pdwError = ERROR_INVALID_NAME;
        return CHandle();
    }
    CHandle hFile(CreateFileW(afx::Widen1250(strPath).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD dwError = ::GetLastError();
    if (hFile.IsValid() && GetFileType(hFile.Get()) != FILE_TYPE_DISK) {
        // Rows sent to a serial port or the null device would be lost unseen.
        hFile.Close();
        dwError = ERROR_INVALID_NAME;
    }
    if (pbExisted)
        *pbExisted = hFile.IsValid() && dwError == ERROR_ALREADY_EXISTS;
    if (pdwError)
        *pdwError = hFile.IsValid() ? ERROR_SUCCESS : dwError;
    return hFile;
}

CRecordFile::CRecordFile(CHandle hFile, const std::string& strPath)
    : m_hFile(std::move(hFile)), m_strPath(strPath), m_sink(*this, 0), m_dwLastError(ERROR_SUCCESS) {}

CRecordFile::~CRecordFile() {
    if (m_hFile.IsValid())
        m_sink.Retry();
}

bool CRecordFile::Failed() {
    m_dwLastError = ::GetLastError();
    return false;
}

BOOL CRecordFile::SeekToEnd() {
    LARGE_INTEGER end = {};
    if (!SetFilePointerEx(m_hFile.Get(), end, &end, FILE_END))
        return Failed();
    m_sink.Reset(static_cast<std::uint64_t>(end.QuadPart));
    return TRUE;
}

BOOL CRecordFile::Empty() {
    if (!SetEnd(0))
        return FALSE;
    m_sink.Reset(0);
    return TRUE;
}

BOOL CRecordFile::Append(const std::string& strContext, const std::string& strBytes) {
    return m_sink.Append(strContext, strBytes);
}

bool CRecordFile::Write(const std::string& bytes) {
    DWORD dwWritten = 0;
    if (!m_hFile.IsValid()) {
        m_dwLastError = ERROR_INVALID_HANDLE;
        return false;
    }
    if (!WriteFile(m_hFile.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr))
        return Failed();
    if (dwWritten != bytes.size()) {
        m_dwLastError = ERROR_DISK_FULL;
        return false;
    }
    return true;
}

bool CRecordFile::Flush() { return FlushFileBuffers(m_hFile.Get()) ? true : Failed(); }

bool CRecordFile::SetEnd(std::uint64_t nSize) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(nSize);
    if (!SetFilePointerEx(m_hFile.Get(), at, nullptr, FILE_BEGIN) || !SetEndOfFile(m_hFile.Get()))
        return Failed();
    return true;
}

bool CRecordFile::Reopen(std::uint64_t* pnSize) {
    m_hFile.Close();
    DWORD dwError = ERROR_SUCCESS;
    m_hFile = OpenHandle(m_strPath, nullptr, &dwError);
    if (!m_hFile.IsValid()) {
        m_dwLastError = dwError;
        return false;
    }
    LARGE_INTEGER end = {};
    if (!SetFilePointerEx(m_hFile.Get(), end, &end, FILE_END))
        return Failed();
    *pnSize = static_cast<std::uint64_t>(end.QuadPart);
    return true;
}

std::wstring AbsoluteFilePath(const std::wstring& strPath) {
    if (strPath.empty())
        return strPath;
    std::wstring full(MAX_PATH, L'\0');
    DWORD n = GetFullPathNameW(strPath.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = GetFullPathNameW(strPath.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    }
    if (n == 0 || n >= full.size())
        return strPath;
    full.resize(n);
    return full;
}

std::string AbsoluteFilePath(const std::string& strPath) {
    const std::wstring full = AbsoluteFilePath(afx::Widen1250(strPath));
    // A current folder named beyond Windows-1250 stays as the relative name.
    const std::string text = afx::Narrow1250(full);
    return afx::Widen1250(text) == full ? text : strPath;
}

std::string SystemErrorText(DWORD dwError) {
    wchar_t* pText = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, dwError, 0, reinterpret_cast<LPWSTR>(&pText), 0, nullptr);
    std::wstring text = n > 0 && pText ? std::wstring(pText, n) : std::wstring();
    if (pText)
        LocalFree(pText);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return afx::Narrow1250(text);
}

RecordTime LocalRecordTime() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    CHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD dwWritten = 0;
    return file.IsValid() &&
           WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &dwWritten, nullptr) &&
           dwWritten == bytes.size();
}

bool ReadSmallFile(const std::wstring& path, std::size_t nMaxBytes, std::string* pBytes) {
    CHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > static_cast<LONGLONG>(nMaxBytes))
        return false;
    pBytes->assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD dwRead = 0;
    return pBytes->empty() ||
           (ReadFile(file.Get(), &(*pBytes)[0], static_cast<DWORD>(pBytes->size()), &dwRead, nullptr) &&
            dwRead == pBytes->size());
}
