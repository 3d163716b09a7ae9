#include "config/ini_file.h"

#include "config/cp1250.h"
#include "config/native_file.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <type_traits>

namespace fs = std::filesystem;

namespace {

// FALSE when the file exists but cannot be read, or is missing and may not
// or cannot be created.
BOOL ReadWholeFile(const fs::path& path, BOOL bCreateIfMissing, std::string& strText) {
    strText.clear();
    std::FILE* pFile = native_file::Open(path, "rb");
    if (pFile == nullptr) {
        if (errno != ENOENT || !bCreateIfMissing)
            return FALSE;
        // Append mode creates the file but never truncates one that has
        // appeared in the meantime.
        pFile = native_file::Open(path, "ab");
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

BOOL CopyFileBytes(const fs::path& from, const fs::path& to) {
    std::FILE* pIn = native_file::Open(from, "rb");
    if (pIn == nullptr)
        return FALSE;
    std::FILE* pOut = native_file::Open(to, "wb");
    if (pOut == nullptr) {
        std::fclose(pIn);
        return FALSE;
    }
    char buffer[4096];
    std::size_t nRead;
    BOOL bOk = TRUE;
    while (bOk && (nRead = std::fread(buffer, 1, sizeof buffer, pIn)) > 0)
        bOk = std::fwrite(buffer, 1, nRead, pOut) == nRead;
    bOk = bOk && !std::ferror(pIn) && native_file::FlushToDisk(pOut);
    std::fclose(pIn);
    bOk = std::fclose(pOut) == 0 && bOk;
    return bOk;
}

// Writes the whole text beside the file and then puts it in the file's
// place, so a crash or a full disk never leaves a half-written file.
BOOL WriteFileSafely(const fs::path& path, const std::string& strText) {
    fs::path temp = path;
    temp += ".tmp";
    std::FILE* pFile = native_file::Open(temp, "wb");
    if (pFile == nullptr)
        return FALSE;
    BOOL bOk = std::fwrite(strText.data(), 1, strText.size(), pFile) == strText.size();
    bOk = native_file::FlushToDisk(pFile) && bOk;
    bOk = std::fclose(pFile) == 0 && bOk;
    bOk = bOk && native_file::MoveIntoPlace(temp, path);
    if (!bOk) {
        std::error_code ec;
        fs::remove(temp, ec);
    }
    return bOk;
}

// The last three characters of a file name as text (digits, normally).
std::string NameEnd(const fs::path::string_type& name) {
    std::string end;
    for (std::size_t i = name.size() > 3 ? name.size() - 3 : 0; i < name.size(); ++i) {
        const auto c = static_cast<std::make_unsigned_t<fs::path::value_type>>(name[i]);
        end += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return end;
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

BOOL CIniFile::Open(const fs::path& programPath, const std::string& strFileName, const IniLoadOptions& options) {
    return Load(ProgramDirectory(programPath) / strFileName, options);
}

BOOL CIniFile::Load(const fs::path& path, const IniLoadOptions& options) {
    if (!m_filePath.empty()) {
        Save(FALSE);
        Clear();
    }
    m_bIgnoreCase = options.bIgnoreCase;
    m_bSaveOnDestroy = options.bSaveOnDestroy;
    m_bMakeBackup = options.bMakeBackup;

    std::string strText;
    if (!ReadWholeFile(path, options.bCreateIfMissing, strText))
        return FALSE;
    m_filePath = path;
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

fs::path CIniFile::Save(BOOL bWithBackup) {
    if (!m_bModified || m_filePath.empty())
        return fs::path();
    // Read-only means the user froze these settings: keep them as they are.
    if (native_file::IsReadOnly(m_filePath))
        return fs::path();
    if (bWithBackup) {
        if (m_backupPath.empty())
            m_backupPath = MakeBackupName();
        CopyFileBytes(m_filePath, m_backupPath);
    }
    if (!WriteFileSafely(m_filePath, Format()))
        return fs::path();
    // A second save must not copy the new file over the old one's backup.
    m_bModified = FALSE;
    return m_backupPath;
}

void CIniFile::Clear() {
    m_aSections.clear();
    m_aSections.shrink_to_fit();
    AddSection(std::string());
    m_filePath.clear();
    // The backup name belongs to the file it was chosen for.
    m_backupPath.clear();
    m_bModified = FALSE;
}

fs::path CIniFile::MakeBackupName() const {
    const fs::path dir = m_filePath.has_parent_path() ? m_filePath.parent_path() : fs::path(".");
    fs::path::string_type stem = m_filePath.filename().native();
    const auto nDot = stem.rfind('.');
    if (nDot != fs::path::string_type::npos)
        stem.resize(nDot);

    // The file itself matches too and counts as 0 ("ini").
    int nHighest = 0;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path::string_type name = it->path().filename().native();
        if (name.size() < stem.size() || !native_file::NamesEqualNoCase(name.substr(0, stem.size()), stem))
            continue;
        const int nNumber = ParseInt(NameEnd(name));
        if (nNumber > nHighest)
            nHighest = nNumber;
    }
    char szNumber[16];
    std::snprintf(szNumber, sizeof szNumber, ".%.3d", nHighest + 1);
    fs::path backup = m_filePath;
    backup += szNumber;
    return backup;
}

fs::path CIniFile::ProgramDirectory(const fs::path& programPath) {
    if (programPath.has_parent_path())
        return programPath.parent_path();
    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    return ec ? fs::path(".") : current;  // "." is still the current directory, only unnamed
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
