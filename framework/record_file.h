// A recording file (report or binary log): its handle, opened the one way
// recording files are opened, and the sink that appends whole rows or
// records to it and keeps them back while the file does not take them.
#pragma once

#include "common/civil_time.h"
#include "common/record_sink.h"
#include "framework/handles.h"

#include <windows.h>

#include <memory>
#include <string>

class CRecordFile : private CRecordFileIo {
public:
    // Opens (or creates) strPath, Windows-1250, for reading and writing,
    // others may only read it meanwhile. nullptr when it cannot be opened or
    // is no disk file (a device name such as "COM1" or "NUL"); *pbExisted:
    // the file was there before.
    static std::unique_ptr<CRecordFile> Open(const std::string& strPath, BOOL* pbExisted, DWORD* pdwError);
    // Opens strPath to append to it; one that cannot be opened now is tried
    // again at each write, what is written meanwhile waiting (IsFailing).
    static std::unique_ptr<CRecordFile> OpenToAppend(const std::string& strPath, BOOL* pbExisted);
    ~CRecordFile() override;  // one last try for what waits, then the handle goes

    // Continues the file after its content, or empties it.
    BOOL SeekToEnd();
    BOOL Empty();

    // TRUE when the piece and everything that waited went in (see CRecordSink).
    BOOL Append(const std::string& strContext, const std::string& strBytes);
    BOOL IsFailing() const { return m_sink.IsFailing(); }
    BOOL Retry() { return m_sink.Retry(); }
    const CRecordSink& Sink() const { return m_sink; }
    const std::string& GetPath() const { return m_strPath; }
    // Windows' error code of the last call that failed.
    DWORD GetLastError() const { return m_dwLastError; }

private:
    CRecordFile(CHandle hFile, const std::string& strPath);
    static CHandle OpenHandle(const std::string& strPath, BOOL* pbExisted, DWORD* pdwError);
    bool Failed();

    bool Write(const std::string& bytes) override;
    bool Flush() override;
    bool SetEnd(std::uint64_t nSize) override;
    bool Reopen(std::uint64_t* pnSize) override;

    CHandle m_hFile;  // empty while a reopen fails
    std::string m_strPath;
    CRecordSink m_sink;
    DWORD m_dwLastError;

    CRecordFile(const CRecordFile&) = delete;
    CRecordFile& operator=(const CRecordFile&) = delete;
};

// strPath (Windows-1250) with the current folder and drive filled in, as
// it names a file now: kept so, a later change of the current folder (a
// file dialog makes one) cannot move a reopen or the next start elsewhere.
// As it is when it cannot be told or written in Windows-1250.
std::string AbsoluteFilePath(const std::string& strPath);
// The same for a path as Windows names it; as it is when it cannot be told.
std::wstring AbsoluteFilePath(const std::wstring& strPath);

// A small file written whole (replacing what it held) or read whole (at
// most nMaxBytes; false when it cannot be opened or is longer).
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
bool ReadSmallFile(const std::wstring& path, std::size_t nMaxBytes, std::string* pBytes);

// Windows' text for an error code, Windows-1250, without its line end.
std::string SystemErrorText(DWORD dwError);

// The PC's local wall-clock time to the second, as every report row, binary
// record and alarm-log line carries it.
RecordTime LocalRecordTime();
