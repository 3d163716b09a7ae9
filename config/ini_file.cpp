#include "config/ini_file.h"

#include "config/cp1250.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>

#include <dirent.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Paths are plain 8-bit strings handed to the narrow C and Win32 calls, so
// that Windows-1250 names reach the file system unconverted.
#ifdef _WIN32
const char* const kSeparators = "\\/";
const char kSeparator = '\\';
#else
const char* const kSeparators = "/";
const char kSeparator = '/';
#endif

std::string CurrentDirectory() {
#ifdef _WIN32
    DWORD nSize = GetCurrentDirectoryA(0, nullptr);
    if (nSize != 0) {
        std::string strDir(nSize, '\0');
        DWORD nLength = GetCurrentDirectoryA(nSize, &strDir[0]);
        if (nLength != 0 && nLength < nSize) {
            strDir.resize(nLength);
            return strDir;
        }
    }
#else
    std::string strDir(256, '\0');
    for (;;) {
        if (getcwd(&strDir[0], strDir.size()) != nullptr) {
            strDir.resize(strDir.find('\0'));
            return strDir;
        }
        if (errno != ERANGE)
            break;
        strDir.resize(strDir.size() * 2);
    }
#endif
    return ".";  // still the current directory, only unnamed
}

std::string JoinPath(const std::string& strDir, const std::string& strName) {
    // The current directory of a drive's root already ends with "\".
    if (!strDir.empty() && std::string(kSeparators).find(strDir.back()) != std::string::npos)
        return strDir + strName;
    return strDir + kSeparator + strName;
}

BOOL IsReadOnlyFile(const std::string& strPath) {
#ifdef _WIN32
    DWORD nAttributes = GetFileAttributesA(strPath.c_str());
    return nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_READONLY);
#else
    // The mode bits, not access(): a user who made the file read-only meant
    // it even when the program runs with the rights to write it anyway.
    struct stat st;
    return stat(strPath.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
#endif
}

// FALSE when the file exists but cannot be read, or is missing and may not
// or cannot be created.
BOOL ReadWholeFile(const std::string& strPath, BOOL bCreateIfMissing, std::string& strText) {
    strText.clear();
    std::FILE* pFile = std::fopen(strPath.c_str(), "rb");
    if (pFile == nullptr) {
        if (errno != ENOENT || !bCreateIfMissing)
            return FALSE;
        // Append mode creates the file but never truncates one that has
        // appeared in the meantime.
        pFile = std::fopen(strPath.c_str(), "ab");
        if (pFile == nullptr)
            return FALSE;
        return std::fclose(pFile) == 0;
    }
    char buffer[4096];
    std::size_t nRead;
    BOOL bOk = TRUE;
    while (bOk && (nRead = std::fread(buffer, 1, sizeof buffer, pFile)) > 0) {
        strText.append(buffer, nRead);
        // Far beyond any settings file: damaged, or not one at all.
        bOk = strText.size() <= CIniFile::kMaxFileSize;
    }
    bOk = bOk && !std::ferror(pFile);
    std::fclose(pFile);
    if (!bOk)
        strText.clear();
    return bOk;
}

BOOL FlushToDisk(std::FILE* pFile) {
    if (std::fflush(pFile) != 0)
        return FALSE;
#ifdef _WIN32
    return _commit(_fileno(pFile)) == 0;
#else
    return fsync(fileno(pFile)) == 0;
#endif
}

BOOL CopyFileBytes(const std::string& strFrom, const std::string& strTo) {
    std::FILE* pIn = std::fopen(strFrom.c_str(), "rb");
    if (pIn == nullptr)
        return FALSE;
    std::FILE* pOut = std::fopen(strTo.c_str(), "wb");
    if (pOut == nullptr) {
        std::fclose(pIn);
        return FALSE;
    }
    char buffer[4096];
    std::size_t nRead;
    BOOL bOk = TRUE;
    while (bOk && (nRead = std::fread(buffer, 1, sizeof buffer, pIn)) > 0)
        bOk = std::fwrite(buffer, 1, nRead, pOut) == nRead;
    bOk = bOk && !std::ferror(pIn) && FlushToDisk(pOut);
    std::fclose(pIn);
    bOk = std::fclose(pOut) == 0 && bOk;
    return bOk;
}

#ifdef _WIN32
const int kReplaceAttempts = 40;
#endif

// Writes the whole text beside the file and then puts it in the file's
// place, so a crash or a full disk never leaves a half-written file.
BOOL WriteFileSafely(const std::string& strPath, const std::string& strText) {
    const std::string strTemp = strPath + ".tmp";
    std::FILE* pFile = std::fopen(strTemp.c_str(), "wb");
    if (pFile == nullptr)
        return FALSE;
    BOOL bOk = std::fwrite(strText.data(), 1, strText.size(), pFile) == strText.size();
    bOk = FlushToDisk(pFile) && bOk;
    bOk = std::fclose(pFile) == 0 && bOk;
#ifdef _WIN32
    // Another program reading the file (the chart viewer, a backup, a virus
    // scanner) holds up the replacement for a moment: try again for a second.
    for (int nAttempt = 0; bOk; ++nAttempt) {
        if (MoveFileExA(strTemp.c_str(), strPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            break;
        const DWORD dwError = GetLastError();
        const bool bBusy = dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_ACCESS_DENIED ||
                           dwError == ERROR_LOCK_VIOLATION;
        if (!bBusy || nAttempt == kReplaceAttempts)
            bOk = FALSE;
        else
            Sleep(25);
    }
#else
    struct stat st;
    if (bOk && stat(strPath.c_str(), &st) == 0)
        chmod(strTemp.c_str(), st.st_mode & 07777);  // keep who may read it
    bOk = bOk && std::rename(strTemp.c_str(), strPath.c_str()) == 0;
#endif
    if (!bOk)
        std::remove(strTemp.c_str());
    return bOk;
}

// Sign and magnitude of a decimal text; the magnitude stops growing past
// 2^32 so that no conversion can overflow.
void ParseDecimal(const std::string& strText, bool& bNegative, std::uint64_t& nMagnitude) {
    const std::uint64_t kCap = std::uint64_t(1) << 32;
    std::string::size_type i = 0;
    while (i < strText.size() && (strText[i] == ' ' || (strText[i] >= '\t' && strText[i] <= '\r')))
        ++i;
    bNegative = false;
    if (i < strText.size() && (strText[i] == '+' || strText[i] == '-'))
        bNegative = strText[i++] == '-';
    nMagnitude = 0;
    for (; i < strText.size() && strText[i] >= '0' && strText[i] <= '9'; ++i) {
        nMagnitude = nMagnitude * 10 + unsigned(strText[i] - '0');
        if (nMagnitude > kCap)
            nMagnitude = kCap + 1;
    }
}

// What a reader sees of a stored value: everything before its last ";".
std::string VisibleValue(const std::string& strStored) {
    std::string::size_type nCut = strStored.rfind(';');
    return nCut == std::string::npos ? strStored : strStored.substr(0, nCut);
}

// The stored form that reads back as strValue.
std::string StoredValue(const std::string& strValue) {
    return strValue.find(';') == std::string::npos ? strValue : strValue + ';';
}

}  // namespace

CIniFile::CIniFile(int nGrowBy)
    : m_nGrowBy(nGrowBy > 0 ? nGrowBy : 1),
      m_bIgnoreCase(TRUE),
      m_bSaveOnDestroy(FALSE),
      m_bMakeBackup(FALSE),
      m_bModified(FALSE) {
    Clear();
}

CIniFile::~CIniFile() {
    try {
        if (m_bSaveOnDestroy)
            Save(m_bMakeBackup);
    } catch (...) {
        // Out of memory while saving: the old file is still intact.
    }
}

BOOL CIniFile::Open(const std::string& strProgramPath, const std::string& strFileName,
                    BOOL bSaveOnDestroy, BOOL bCreateIfMissing, BOOL bIgnoreCase,
                    BOOL bMakeBackup) {
    return Load(JoinPath(ProgramDirectory(strProgramPath), strFileName), bSaveOnDestroy,
                bCreateIfMissing, bIgnoreCase, bMakeBackup);
}

BOOL CIniFile::Load(const std::string& strPath, BOOL bSaveOnDestroy, BOOL bCreateIfMissing,
                    BOOL bIgnoreCase, BOOL bMakeBackup) {
    if (!m_strFilePath.empty()) {
        Save(FALSE);
        Clear();
    }
    m_bIgnoreCase = bIgnoreCase;
    m_bSaveOnDestroy = bSaveOnDestroy;
    m_bMakeBackup = bMakeBackup;

    std::string strText;
    if (!ReadWholeFile(strPath, bCreateIfMissing, strText))
        return FALSE;
    m_strFilePath = strPath;
    Parse(strText);
    return TRUE;
}

void CIniFile::Parse(const std::string& strText) {
    std::string::size_type nStart = 0;
    while (nStart < strText.size()) {
        std::string::size_type nEnd = strText.find('\n', nStart);
        if (nEnd == std::string::npos)
            nEnd = strText.size();  // last line without a line end
        std::string strLine = strText.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();

        if (strLine.size() >= 2 && strLine.front() == '[' && strLine.back() == ']') {
            // Every header opens its own slot, even a repeated one: lookups
            // find the first, and the rewrite keeps both.
            AddSection(strLine.substr(1, strLine.size() - 2));
            continue;
        }
        CEntry entry;
        std::string::size_type nEquals = strLine.find('=');
        entry.bHasEquals = nEquals != std::string::npos;
        entry.strKey = entry.bHasEquals ? strLine.substr(0, nEquals) : strLine;
        if (entry.bHasEquals)
            entry.strValue = strLine.substr(nEquals + 1);
        m_aSections.back().aEntries.push_back(std::move(entry));
    }
}

int CIniFile::AddSection(const std::string& strName) {
    if (m_aSections.size() == m_aSections.capacity())
        m_aSections.reserve(m_aSections.size() + m_nGrowBy);
    m_aSections.push_back(CSection{strName, {}});
    return int(m_aSections.size()) - 1;
}

BOOL CIniFile::Equal(const std::string& a, const std::string& b) const {
    return m_bIgnoreCase ? Cp1250EqualNoCase(a, b) : a == b;
}

int CIniFile::FindSection(const std::string& strName) const {
    for (std::size_t i = 0; i < m_aSections.size(); ++i)
        if (Equal(m_aSections[i].strName, strName))
            return int(i);
    return -1;
}

int CIniFile::FindKey(int nSection, const std::string& strKey) const {
    if (nSection < 0 || nSection >= int(m_aSections.size()))
        return -1;
    const std::vector<CEntry>& aEntries = m_aSections[nSection].aEntries;
    // Backwards: of a key written twice, the later one counts.
    for (int i = int(aEntries.size()) - 1; i >= 0; --i)
        if (Equal(aEntries[i].strKey, strKey))
            return i;
    return -1;
}

std::string CIniFile::GetString(const std::string& strSection, const std::string& strKey,
                                const std::string& strDefault) const {
    int nSection = FindSection(strSection);
    int nKey = FindKey(nSection, strKey);
    if (nKey < 0)
        return strDefault;
    return VisibleValue(m_aSections[nSection].aEntries[nKey].strValue);
}

int CIniFile::GetInt(const std::string& strSection, const std::string& strKey, int nDefault) const {
    return ParseInt(GetString(strSection, strKey, std::to_string(nDefault)));
}

UINT CIniFile::GetUInt(const std::string& strSection, const std::string& strKey,
                       UINT nDefault) const {
    return ParseUInt(GetString(strSection, strKey, std::to_string(nDefault)));
}

void CIniFile::SetString(const std::string& strSection, const std::string& strKey,
                         const std::string& strValue) {
    int nSection = FindSection(strSection);
    if (nSection < 0) {
        nSection = AddSection(strSection);
        m_bModified = TRUE;
    }
    std::vector<CEntry>& aEntries = m_aSections[nSection].aEntries;
    int nKey = FindKey(nSection, strKey);
    if (nKey < 0) {
        aEntries.push_back(CEntry{strKey, StoredValue(strValue), true});
        m_bModified = TRUE;
        return;
    }
    CEntry& entry = aEntries[nKey];
    const std::string strOld = VisibleValue(entry.strValue);
    if (strOld == strValue)
        return;  // keeps the line as written, a trailing comment too
    if (!Equal(strOld, strValue))
        m_bModified = TRUE;
    entry.strValue = StoredValue(strValue);
    entry.bHasEquals = true;
}

void CIniFile::SetInt(const std::string& strSection, const std::string& strKey, int nValue) {
    SetString(strSection, strKey, std::to_string(nValue));
}

void CIniFile::SetUInt(const std::string& strSection, const std::string& strKey, UINT nValue) {
    SetString(strSection, strKey, std::to_string(nValue));
}

std::string CIniFile::Format() const {
    std::string strText;
    for (std::size_t i = 0; i < m_aSections.size(); ++i) {
        // Every slot but the nameless one came from a header, even an empty
        // section or "[]": writing it back keeps the file's structure.
        if (i > 0)
            strText += "[" + m_aSections[i].strName + "]\r\n";
        for (const CEntry& entry : m_aSections[i].aEntries) {
            strText += entry.strKey;
            if (entry.bHasEquals)
                strText += '=';
            strText += entry.strValue;
            strText += "\r\n";
        }
    }
    return strText;
}

std::string CIniFile::Save(BOOL bWithBackup) {
    if (!m_bModified || m_strFilePath.empty())
        return std::string();
    // Read-only means the user froze these settings: keep them as they are.
    if (IsReadOnlyFile(m_strFilePath))
        return std::string();
    if (bWithBackup) {
        if (m_strBackupPath.empty())
            m_strBackupPath = MakeBackupName();
        CopyFileBytes(m_strFilePath, m_strBackupPath);
    }
    if (!WriteFileSafely(m_strFilePath, Format()))
        return std::string();
    // A second save must not copy the new file over the old one's backup.
    m_bModified = FALSE;
    return m_strBackupPath;
}

void CIniFile::Clear() {
    m_aSections.clear();
    m_aSections.shrink_to_fit();
    AddSection(std::string());
    m_strFilePath.clear();
    // The backup name belongs to the file it was chosen for.
    m_strBackupPath.clear();
    m_bModified = FALSE;
}

std::string CIniFile::MakeBackupName() const {
    std::string::size_type nSlash = m_strFilePath.find_last_of(kSeparators);
    const std::string strDir =
        nSlash == std::string::npos ? std::string(".") : m_strFilePath.substr(0, nSlash + 1) + ".";
    std::string strStem = nSlash == std::string::npos ? m_strFilePath
                                                      : m_strFilePath.substr(nSlash + 1);
    std::string::size_type nDot = strStem.rfind('.');
    if (nDot != std::string::npos)
        strStem.resize(nDot);

    // The file itself matches too and counts as 0 ("ini").
    int nHighest = 0;
    if (DIR* pDir = opendir(strDir.c_str())) {
        while (dirent* pEntry = readdir(pDir)) {
            const std::string strName = pEntry->d_name;
            if (strName.size() < strStem.size() ||
                !Cp1250EqualNoCase(strName.substr(0, strStem.size()), strStem))
                continue;
            int nNumber = ParseInt(strName.size() > 3 ? strName.substr(strName.size() - 3)
                                                      : strName);
            if (nNumber > nHighest)
                nHighest = nNumber;
        }
        closedir(pDir);
    }
    char szNumber[16];
    std::snprintf(szNumber, sizeof szNumber, ".%.3d", nHighest + 1);
    return m_strFilePath + szNumber;
}

std::string CIniFile::ProgramDirectory(const std::string& strProgramPath) {
    std::string::size_type nSlash = strProgramPath.find_last_of(kSeparators);
    if (nSlash == std::string::npos)
        return CurrentDirectory();
    return strProgramPath.substr(0, nSlash);
}

int CIniFile::ParseInt(const std::string& strText) {
    bool bNegative;
    std::uint64_t nMagnitude;
    ParseDecimal(strText, bNegative, nMagnitude);
    if (bNegative)
        return nMagnitude > std::uint64_t(INT_MAX) + 1 ? INT_MIN : int(-std::int64_t(nMagnitude));
    return nMagnitude > std::uint64_t(INT_MAX) ? INT_MAX : int(nMagnitude);
}

UINT CIniFile::ParseUInt(const std::string& strText) {
    bool bNegative;
    std::uint64_t nMagnitude;
    ParseDecimal(strText, bNegative, nMagnitude);
    if (nMagnitude > 0xFFFFFFFFu)
        return 0xFFFFFFFFu;
    UINT nValue = UINT(nMagnitude);
    return bNegative ? UINT(0u - nValue) : nValue;
}
