#include "recording/recorder.h"

#include "framework/text.h"
#include "recording/binary_log.h"
#include "recording/file_period.h"
#include "recording/log_names.h"
#include "recording/recording_rules.h"
#include "recording/report_file.h"

#include <cstdio>

namespace {

const char kReportUnavailable[] = "Wybrany plik rejestracji wynik\xF3w pomiaru jest niedost\xEApny.";
const char kBinaryUnavailable[] = "Wybrany plik binarny jest niedost\xEApny.";
const char kAppendOrErase[] = " ju\xBF istnieje.\r\nWybierz Tak aby dopisywa\xE6 wyniki do poprzednich,\r\n"
                              "wybierz Nie aby skasowa\xE6 poprzedni\xB9 zawarto\x9C\xE6 pliku.";
const char kReportExists[] = "Plik rejestracji pomiar\xF3w";
const char kBinaryExists[] = "Plik binarny";

// A write that fails is told once; the row or record waits and goes in
// with the next one that succeeds.
const char kReportWriteFailed[] = "Nie mo\xBFna zapisa\xE6 wynik\xF3w pomiaru do pliku rejestracji:";
const char kBinaryWriteFailed[] = "Nie mo\xBFna zapisa\xE6 do pliku binarnego:";
const char kWriteRetried[] = "Pomiary i rejestracja trwaj\xB9 dalej. Zapis jest ponawiany przy ka\xBF"
                             "dym kolejnym pomiarze, "
                             "a zaleg\xB3"
                             "e dane zostan\xB9 dopisane, gdy tylko zapis si\xEA uda.";
const char kReportWriteWorks[] = "Zapis do pliku rejestracji wynik\xF3w pomiaru znowu dzia\xB3"
                                 "a:";
const char kBinaryWriteWorks[] = "Zapis do pliku binarnego znowu dzia\xB3"
                                 "a:";
const char kNothingLost[] = "Zaleg\xB3"
                            "e dane zosta\xB3y dopisane.";
const char kSomeLost[] = "Zaleg\xB3"
                         "e dane zosta\xB3y dopisane; najstarszych zapis\xF3w, kt\xF3re nie zmie\x9C"
                         "ci\xB3y "
                         "si\xEA w pami\xEA"
                         "ci, przepad\xB3o: %llu.";

// A channel with no probe is written as one without a value: the binary
// log has no group for it, whatever the instrument sends there.
void TakeSamples(const CChannelSet& channels, ChannelSamples samples) {
    for (int channel = 0; channel < CChannelSet::kChannels; ++channel) {
        const ChannelState& reading = channels[channel];
        const BOOL bNoValue = reading.bNoValue || !channels.Config()[channel].bInUse;
        samples[channel] = {reading.dValue, bNoValue, reading.bAlert, reading.bFineResolution};
    }
}

}  // namespace

CRecorder::CRecorder(Host& host, const CChannelSet& channels) : m_host(host), m_channels(channels) {}

bool CRecorder::IsFailing() const {
    return (m_pReportFile && m_pReportFile->IsFailing()) || (m_pBinaryFile && m_pBinaryFile->IsFailing()) ||
           !m_retired.empty();
}

void CRecorder::SetRecordTimer() {
    if (m_nRecordTimer != 0)
        m_host.KillTimer(kRecordTimerId);
    m_settings.nInterval = ClampRecordInterval(m_settings.nInterval);
    m_nRecordTimer = m_host.SetTimer(kRecordTimerId, static_cast<UINT>(m_settings.nInterval) * 1000u);
    m_nTimerInterval = m_settings.nInterval;
}

void CRecorder::OnRecordTimer() {
    m_now = m_host.Now();
    FollowPeriod();
    WriteReportRow();
    WriteBinaryRecord();
    RetryRetired();
    if ((m_nSecondsToDiskCheck -= m_nTimerInterval) <= 0)
        CheckDiskSpace();
    ShowNotices();
}

// A header goes before the row whenever the columns or their titles differ
// from the last header's: the selection, the inputs in use, the names.
void CRecorder::WriteReportRow() {
    if (!m_pReportFile)
        return;
    ChannelSamples samples;
    TakeSamples(m_channels, samples);
    const RecordingSettings& s = m_settings;
    BOOL columns[9];
    std::string header = ReportHeader(columns);
    if (header == m_strHeader)
        header.clear();
    else
        m_strHeader = header;
    const std::string row = FormatReportRow(m_now, samples, columns, s.nSeparator, s.bDecimalComma);
    m_nRowBytes[0] = row.size();
    Append(*m_pReportFile, header, row);
    ++m_nReportRows;
}

std::string CRecorder::ReportHeader(BOOL columns[9]) const {
    const RecordingSettings& s = m_settings;
    ReportColumns(s.bRecord, m_channels.Config(), columns);
    return ReportHeaderLine(columns, s.nSeparator, s.bHeaderNames ? &m_channels.Config() : nullptr);
}

void CRecorder::OnChannelConfigChanged() {
    m_now = m_host.Now();
    FollowPeriod();
    BOOL columns[9];
    if (m_pReportFile && ReportHeader(columns) != m_strHeader)
        WriteReportRow();
    if (m_pBinaryFile)
        WriteLogNames();
    ShowNotices();
}

// Beside the log, replaced whole; none while no channel has a name. The
// names are a help to the reader of the log, so a failure to write them
// does not stop recording and is not told. Only a file this run wrote is
// taken away when the names go: one a user wrote for an older log stays.
void CRecorder::WriteLogNames() {
    const std::string path = LogNamesPath(m_pBinaryFile->GetPath());
    const std::string text = FormatLogNames(m_channels.Config());
    if (text.empty()) {
        if (path == m_strNamesWritten)
            DeleteFileW(afx::Widen1250(path).c_str());
        m_strNamesWritten.clear();
        return;
    }
    if (WriteWholeFile(afx::Widen1250(path), text))
        m_strNamesWritten = path;
}

void CRecorder::WriteBinaryRecord() {
    if (!m_pBinaryFile)
        return;
    ChannelSamples samples;
    TakeSamples(m_channels, samples);
    const std::string record = FormatBinaryRecord(m_now, samples, m_host.InstrumentNumber());
    m_nRowBytes[1] = record.size();
    Append(*m_pBinaryFile, std::string(), record);
}

// A failure episode starts or ends: the status line says so at once, and a
// message box explains it once the writes of this occasion are done, so
// that a box waiting for the user holds up neither file.
void CRecorder::Append(CRecordFile& file, const std::string& strContext, const std::string& strBytes) {
    const BOOL bWasFailing = file.IsFailing();
    file.Append(strContext, strBytes);
    TellWrite(file, &file == m_pReportFile.get(), bWasFailing);
}

void CRecorder::TellWrite(const CRecordFile& file, bool bReport, BOOL bWasFailing) {
    const BOOL bFailing = file.IsFailing();
    if (bFailing == bWasFailing)
        return;
    m_host.StatusChanged();
    std::string text;
    if (bFailing) {
        text = std::string(bReport ? kReportWriteFailed : kBinaryWriteFailed) + "\r\n" + file.GetPath() + "\r\n" +
               SystemErrorText(file.GetLastError()) + "\r\n\r\n" + kWriteRetried;
        m_notices.push_back({text, MB_ICONEXCLAMATION});
        return;
    }
    text = std::string(bReport ? kReportWriteWorks : kBinaryWriteWorks) + "\r\n" + file.GetPath() + "\r\n\r\n";
    const unsigned long long nLost = file.Sink().DroppedPieces();
    if (nLost == 0) {
        text += kNothingLost;
    } else {
        char szLost[256];
        std::snprintf(szLost, sizeof szLost, kSomeLost, nLost);
        text += szLost;
    }
    m_notices.push_back({text, MB_ICONINFORMATION});
}

void CRecorder::ShowNotices() {
    // Taken out first: ticks go on while a box is shown and may add more.
    std::vector<Notice> notices;
    notices.swap(m_notices);
    for (const Notice& notice : notices)
        m_host.ShowMessage(notice.strText, notice.nType);
}

std::unique_ptr<CRecordFile> CRecorder::OpenFile(bool bReport, bool bAsk, bool* pbAppending) {
    BOOL bExisted = FALSE;
    DWORD dwError = ERROR_SUCCESS;
    std::unique_ptr<CRecordFile> file = CRecordFile::Open(
        PathToOpen(bReport, bReport ? m_settings.strReportPath : m_settings.strBinaryPath), &bExisted, &dwError);
    *pbAppending = file && bExisted;
    if (bReport && !*pbAppending)
        m_nReportRows = 0;
    if (!*pbAppending)
        return file;
    if (bAsk) {
        const std::string question = std::string(bReport ? kReportExists : kBinaryExists) + kAppendOrErase;
        *pbAppending = m_host.ShowMessage(question, MB_ICONQUESTION | MB_YESNO) == IDYES;
        if (bReport && !*pbAppending)
            m_nReportRows = 0;
    }
    // Appending where the end cannot be found would write over the old rows.
    if (*pbAppending ? !file->SeekToEnd() : !file->Empty())
        file.reset();
    return file;
}

// A new report starts with a header whatever the last one held.
void CRecorder::Adopt(bool bReport, std::unique_ptr<CRecordFile> file, const std::string& base) {
    (bReport ? m_strReportBase : m_strBinaryBase) = base;
    if (!bReport) {
        m_pBinaryFile = std::move(file);
        if (m_pBinaryFile)
            WriteLogNames();
        return;
    }
    m_pReportFile = std::move(file);
    m_nReportFileSeparator = m_settings.nSeparator;
    m_strHeader.clear();
}

void CRecorder::OnStartTimer() {
    m_host.KillTimer(kStartTimerId);
    m_now = m_host.Now();
    m_settings.strReportPath = AbsoluteFilePath(m_settings.strReportPath);
    m_settings.strBinaryPath = AbsoluteFilePath(m_settings.strBinaryPath);
    // Started with Windows, a file that cannot be opened yet (a network
    // drive still connecting) is tried again, without a box nobody answers.
    bool bRetry = false;
    for (const bool bReport : {true, false}) {
        // Tested per kind as it comes: the dialog a report that cannot be opened brings up may change the rest.
        const RecordingSettings& s = m_settings;
        if ((bReport ? s.strReportPath : s.strBinaryPath).empty() || !(bReport ? s.bLogReport : s.bLogBinary) ||
            (bReport ? m_pReportFile : m_pBinaryFile))
            continue;
        bool bAppending = false;
        std::unique_ptr<CRecordFile> file = OpenFile(bReport, false, &bAppending);
        if (!file && m_host.StartedWithWindows()) {
            bRetry = true;
        } else if (!file) {
            m_host.ShowMessage(bReport ? kReportUnavailable : kBinaryUnavailable, MB_ICONEXCLAMATION);
            OnSettingsCommand();
        } else {
            Adopt(bReport, std::move(file), bReport ? m_settings.strReportPath : m_settings.strBinaryPath);
            if (bReport)
                WriteReportRow();
            else
                WriteBinaryRecord();
            SetRecordTimer();
        }
    }
    m_host.EnableSettingsCommand();
    CheckDiskSpace();
    ShowNotices();
    if (bRetry)
        m_host.SetTimer(kStartTimerId, kStartDelayMs);
}

void CRecorder::OnSettingsCommand() {
    while (RunDialog()) {
    }
}

bool CRecorder::RunDialog() {
    RecordingSettings chosen = m_settings;
    const int nWasSplit = FileSplitInForce(m_settings.nFileSplit);
    std::string strComment = m_strComment;
    const BOOL bWasReport = m_settings.bLogReport;
    const BOOL bWasBinary = m_settings.bLogBinary;

    if (!m_host.EditSettings(chosen, strComment)) {
        if (!m_pReportFile)
            m_settings.bLogReport = FALSE;
        if (!m_pBinaryFile)
            m_settings.bLogBinary = FALSE;
        KeepInForce();
        m_host.StatusChanged();
        m_host.SaveSettings();
        return false;
    }

    m_settings = chosen;
    m_settings.strReportPath = AbsoluteFilePath(chosen.strReportPath);
    m_settings.strBinaryPath = AbsoluteFilePath(chosen.strBinaryPath);
    m_strComment = strComment;
    // Confirmed settings survive a crash or a power cut from here on.
    m_host.SaveSettings();
    m_now = m_host.Now();

    const RecordingSettings& s = m_settings;
    if (!s.bLogReport || !s.bLogBinary) {
        if (!s.bLogReport && !s.bLogBinary && m_nRecordTimer != 0)
            m_host.KillTimer(kRecordTimerId);
        if (m_pReportFile && !s.bLogReport)
            m_pReportFile.reset();
        if (m_pBinaryFile && !s.bLogBinary)
            m_pBinaryFile.reset();
        m_nRecordTimer = 0;
        if (!s.bLogReport && !s.bLogBinary) {
            m_strDiskWarning.clear();
            m_host.StatusChanged();
            return false;
        }
    }

    for (const bool bReport : {true, false}) {
        if (!(bReport ? s.bLogReport : s.bLogBinary))
            continue;
        std::unique_ptr<CRecordFile>& open = bReport ? m_pReportFile : m_pBinaryFile;
        const std::string& base = bReport ? m_strReportBase : m_strBinaryBase;
        const OpenRecordFile was = {open != nullptr, open ? base : "", bReport ? m_nReportFileSeparator : 0};
        // Another split names the open file anew.
        const bool bReopen = (open && FileSplitInForce(s.nFileSplit) != nWasSplit) ||
                             (bReport ? ReportNeedsReopen(was, bWasReport != FALSE, s.strReportPath, s.nSeparator)
                                      : BinaryNeedsReopen(was, bWasBinary != FALSE, s.strBinaryPath));
        if (bReopen) {
            open.reset();
            bool bAppending = false;
            std::unique_ptr<CRecordFile> file = OpenFile(bReport, true, &bAppending);
            if (!file) {
                m_host.ShowMessage(bReport ? kReportUnavailable : kBinaryUnavailable, MB_ICONEXCLAMATION);
                ShowNotices();
                return true;
            }
            Adopt(bReport, std::move(file), bReport ? m_settings.strReportPath : m_settings.strBinaryPath);
            if (bReport && s.bAddComment) {
                const std::string block =
                    FormatOpeningBlock(bAppending, m_strComment, s.bAddSerial, m_host.InstrumentNumber());
                if (!block.empty())
                    Append(*m_pReportFile, std::string(), block);
            }
        } else {
            FollowPeriod(bReport);
        }
        if (bReport)
            WriteReportRow();
        else
            WriteBinaryRecord();
    }

    SetRecordTimer();
    CheckDiskSpace();
    m_host.StatusChanged();
    ShowNotices();
    return false;
}

// After a run that failed to open a file, a cancelled dialog leaves the
// values of the files still open and of the running timer in force, not
// those typed in the failed run.
void CRecorder::KeepInForce() {
    if (m_pReportFile) {
        m_settings.strReportPath = m_strReportBase;
        m_settings.nSeparator = m_nReportFileSeparator;
    }
    if (m_pBinaryFile)
        m_settings.strBinaryPath = m_strBinaryBase;
    if (m_nRecordTimer != 0)
        m_settings.nInterval = m_nTimerInterval;
    // A failed run may have left the timer running with no file to write.
    if (!m_pReportFile && !m_pBinaryFile) {
        m_host.KillTimer(kRecordTimerId);
        m_nRecordTimer = 0;
    }
}
