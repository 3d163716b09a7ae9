// The program's own INI file store.
//
// The whole file is read into memory when it is loaded; lookups and changes
// work on that copy, and the file is rewritten in one go, only when something
// changed, when the object is destroyed or another file is loaded into it.
// Strings are 8-bit Windows-1250 bytes; the file's path is the system's own
// (native_file.h), so a folder named in any language holds it.
//
// Line model: a line whose first character is "[" and last is "]" is a
// section header (the name is everything between, untrimmed); any other line
// is an entry split at its first "=" into key and value, both untrimmed. A
// line without "=" is an entry whose key is the whole line and whose value is
// empty; it is written back exactly as it was, without an "=" added. Lines
// before the first header belong to the nameless section (slot 0).
//
// A value is cut at its last ";" when read (the rest is a comment). To keep
// a value that itself holds a ";", SetString stores it with one ";" appended,
// so it reads back whole and files written earlier still read the same.
//
// Keys and values must not contain line ends, and keys no "=".
#pragma once

#include "common/win_types.h"

#include <filesystem>
#include <string>
#include <vector>

// How CIniFile::Load treats the file: by default it is read, names are
// matched ignoring letter case, and nothing is written unless Save is called.
struct IniLoadOptions {
    bool bSaveOnDestroy = false;    // written back when the object goes
    bool bCreateIfMissing = false;  // a missing file is created empty
    bool bIgnoreCase = true;        // section and key names
    bool bMakeBackup = false;       // the file before a rewrite kept beside it

    IniLoadOptions& SaveOnDestroy() {
        bSaveOnDestroy = true;
        return *this;
    }
    IniLoadOptions& CreateIfMissing() {
        bCreateIfMissing = true;
        return *this;
    }
    IniLoadOptions& CaseSensitive() {
        bIgnoreCase = false;
        return *this;
    }
    IniLoadOptions& MakeBackup() {
        bMakeBackup = true;
        return *this;
    }
};

class CIniFile {
public:
    explicit CIniFile(int nGrowBy = 4);
    virtual ~CIniFile();

    // A settings file is a few kilobytes; one larger than this is damaged.
    static const std::size_t kMaxFileSize = 1024 * 1024;

    CIniFile(const CIniFile&) = delete;
    CIniFile& operator=(const CIniFile&) = delete;

    // Loads strFileName (plain ASCII) from the directory of programPath (the
    // process's first command-line argument): everything before its last
    // backslash (or "/"; natively only "/"), else the current directory.
    // TRUE when the file was loaded.
    BOOL Open(const std::filesystem::path& programPath, const std::string& strFileName,
              const IniLoadOptions& options = IniLoadOptions());

    // Saves and clears a file loaded before, then reads path. A missing
    // file is created empty when options.bCreateIfMissing is set. FALSE, with an
    // empty model, when the file cannot be read or created, or is larger than
    // kMaxFileSize (then it is left as it is). A read-only file is read but
    // never rewritten.
    BOOL Load(const std::filesystem::path& path, const IniLoadOptions& options = IniLoadOptions());

    // The default when the section or key is missing; else the value cut at
    // its last ";".
    std::string GetString(const std::string& strSection, const std::string& strKey,
                          const std::string& strDefault) const;
    // Decimal text: leading blanks, optional sign, digits up to the first
    // other character; 0 when there are none. Out of range saturates.
    int GetInt(const std::string& strSection, const std::string& strKey, int nDefault) const;
    // As GetInt, but 32 bits unsigned ("-1" is 4294967295, like strtoul).
    UINT GetUInt(const std::string& strSection, const std::string& strKey, UINT nDefault) const;

    // Adds the section and key when missing. Marks the model modified only
    // when the value read back differs (by the case rule): a case change
    // alone is stored but does not by itself cause a rewrite, and setting the
    // value already read leaves the file's line, comment included, as it is.
    void SetString(const std::string& strSection, const std::string& strKey,
                   const std::string& strValue);
    void SetInt(const std::string& strSection, const std::string& strKey, int nValue);
    void SetUInt(const std::string& strSection, const std::string& strKey, UINT nValue);

    // Writes the file when modified: completely to "<file>.tmp" first, then
    // put in place of the old one, which stays intact on any failure. With
    // bWithBackup the old file is first copied to a numbered backup
    // ("<file>.001", ...; chosen once per loaded file). Returns the backup
    // path (empty without one), or an empty path when nothing was written.
    std::filesystem::path Save(BOOL bWithBackup);

    // Empty model, no file, not modified.
    void Clear();

    // Slot of the first section of that name, or -1. Slot 0 is nameless.
    int FindSection(const std::string& strName) const;
    // Index of the last entry of that key in the slot, or -1.
    int FindKey(int nSection, const std::string& strKey) const;

    BOOL IsModified() const { return m_bModified; }
    const std::filesystem::path& GetFilePath() const { return m_filePath; }

    // Directory part of a program path, or the current directory.
    static std::filesystem::path ProgramDirectory(const std::filesystem::path& programPath);
    // The conversions of GetInt and GetUInt.
    static int ParseInt(const std::string& strText);
    static UINT ParseUInt(const std::string& strText);

protected:
    // "<file>.NNN", one above the highest number formed by the last three
    // characters of the names that begin like the file without its extension.
    std::filesystem::path MakeBackupName() const;

private:
    struct CEntry {
        std::string strKey;
        std::string strValue;  // as in the file, comment included
        bool bHasEquals;       // FALSE for a line without "="
    };
    struct CSection {
        std::string strName;
        std::vector<CEntry> aEntries;  // file order
    };

    BOOL Equal(const std::string& a, const std::string& b) const;
    void Parse(const std::string& strText);
    std::string Format() const;
    int AddSection(const std::string& strName);

    std::vector<CSection> m_aSections;  // always holds slot 0
    int m_nGrowBy;                      // slots are reserved in steps of this
    BOOL m_bIgnoreCase;
    BOOL m_bSaveOnDestroy;
    std::filesystem::path m_backupPath;
    std::filesystem::path m_filePath;
    BOOL m_bMakeBackup;
    BOOL m_bModified;
};
