// Recording: the report file and the binary log opened from the settings
// shortly after start or from the settings dialog, one report row and one
// binary record per tick, and the user told when writing fails and when it
// works again. The main window owns one and is reached through Host for
// what only a window does (its timers, message boxes, the dialog, the status
// line), so the rules run and are tested without a window.
#pragma once

#include "common/timer_host.h"
#include "common/timer_ids.h"
#include "config/recording_settings.h"
#include "instrument/channels.h"
#include "framework/record_file.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CRecorder {
public:
    enum { kRecordTimerId = timer_id::kRecordTick, kStartTimerId = timer_id::kRecordStart, kStartDelayMs = 10000 };

    class Host : public CTimerHost {
    public:
        // A message box (text Windows-1250); the button that closed it.
        virtual int ShowMessage(const std::string& strText, UINT nType) = 0;
        // Runs the settings dialog on the values; true at OK, with the
        // confirmed ones in them.
        virtual bool EditSettings(RecordingSettings& settings, std::string& strComment) = 0;
        // The settings changed and are written to the configuration file now.
        virtual void SaveSettings() = 0;
        // Whether it records, at what interval or failing changed.
        virtual void StatusChanged() = 0;
        // The start-up opening is over: the settings command may be used.
        virtual void EnableSettingsCommand() = 0;
        // Windows started the program: nobody is at the screen to answer a box.
        virtual bool StartedWithWindows() const = 0;
        // The instrument number the binary log and the opening block carry.
        virtual int InstrumentNumber() const = 0;
        // The local time a row is written at; tests set it.
        virtual RecordTime Now() const { return LocalRecordTime(); }
        // The disk that holds strPath (its root) and its free bytes; false
        // when that cannot be told (a share away).
        virtual bool DiskOf(const std::string& strPath, std::string* pstrDisk, std::uint64_t* pnFree) const;
    };

    // channels: the window's readings, which each tick writes.
    CRecorder(Host& host, const CChannelSet& channels);

    const RecordingSettings& Settings() const { return m_settings; }
    // The settings read at start, in force from the start-up opening on.
    void TakeSettings(const RecordingSettings& settings) { m_settings = settings; }

    // The files configured are opened kStartDelayMs after this.
    void ScheduleStart() { m_host.SetTimer(kStartTimerId, kStartDelayMs); }
    void OnStartTimer();
    void OnRecordTimer();
    // The channels' names, inputs in use or corrections changed (the channels
    // dialog): a report open gets a fresh header at once when its columns
    // changed, and a binary log open its names file anew.
    void OnChannelConfigChanged();
    // "Rejestracja do pliku": the dialog comes back while a chosen file
    // cannot be opened, until the user chooses a usable one or cancels.
    void OnSettingsCommand();

    bool IsRecording() const { return m_nRecordTimer != 0; }
    // The status line's warning while a recording file's disk has less than
    // a week of recording left (Windows-1250, ending with ". "); empty: none.
    const std::string& DiskWarning() const { return m_strDiskWarning; }
    // A file does not take what is written to it.
    bool IsFailing() const;
    const CRecordFile* ReportFile() const { return m_pReportFile.get(); }
    const CRecordFile* BinaryFile() const { return m_pBinaryFile.get(); }

private:
    struct Notice {
        std::string strText;
        UINT nType;
    };

    bool RunDialog();  // true: a file could not be opened, run it again
    // Opens the report (bReport) or the binary log at its path; an existing
    // file is appended to, or, when bAsk, appended to or erased as the user
    // chooses. nullptr, after no box, when it cannot be opened or its end or
    // start cannot be set.
    std::unique_ptr<CRecordFile> OpenFile(bool bReport, bool bAsk, bool* pbAppending);
    // base: the chosen name the file follows.
    void Adopt(bool bReport, std::unique_ptr<CRecordFile> file, const std::string& base);
    void KeepInForce();
    void SetRecordTimer();
    void WriteReportRow();
    // The report's columns now (the selection and the inputs in use) and
    // their header line.
    std::string ReportHeader(BOOL columns[9]) const;
    void WriteBinaryRecord();
    void WriteLogNames();
    // The files of a new day, week or month, or the report's next part
    // past the row limit, from this tick on; see recorder_period.cpp.
    void FollowPeriod();
    void FollowPeriod(bool bReport);
    bool OfPeriodInForce(bool bReport) const;
    std::string PeriodNow() const;
    std::string PathToOpen(bool bReport, const std::string& base);
    void Switch(bool bReport);
    void RetryRetired();
    // Looked at when files open and every hour; see recorder_disk.cpp.
    void CheckDiskSpace();
    void Append(CRecordFile& file, const std::string& strContext, const std::string& strBytes);
    // A file began or stopped failing: the status line and a box say so.
    void TellWrite(const CRecordFile& file, bool bReport, BOOL bWasFailing);
    void ShowNotices();

    Host& m_host;
    const CChannelSet& m_channels;
    RecordingSettings m_settings;
    std::string m_strComment;                      // the report's opening block; not stored
    std::unique_ptr<CRecordFile> m_pReportFile;    // exists only while bLogReport is set
    std::unique_ptr<CRecordFile> m_pBinaryFile;    // likewise with bLogBinary
    int m_nReportFileSeparator = 0;                // the separator the open report file was opened with
    std::string m_strHeader;                       // the last report header written; "" forces one
    std::string m_strNamesWritten;                 // the names file this run wrote, if any
    RecordTime m_now = {};                         // the time of the rows being written
    std::string m_strReportBase, m_strBinaryBase;  // the chosen names the open files follow
    std::string m_strPeriod;                       // the period of the files open ("" with one file)
    int m_nPeriodSplit = 0;                        // the split choice m_strPeriod is of
    int m_nReportPart = 1;                         // 2 and on: "_2" ... past the row limit
    std::uint64_t m_nReportRows = 0;               // data rows in the open report
    std::size_t m_nRowBytes[2] = {};             // the last report row and binary record written
    int m_nSecondsToDiskCheck = 0;
    std::string m_strDiskWarning;
    // Files of an earlier period still holding rows their disk did not take.
    std::vector<std::pair<bool, std::unique_ptr<CRecordFile>>> m_retired;  // bReport, the file
    UINT_PTR m_nRecordTimer = 0;
    int m_nTimerInterval = 0;       // the interval the timer runs at
    std::vector<Notice> m_notices;  // to show once the writes are done
};
