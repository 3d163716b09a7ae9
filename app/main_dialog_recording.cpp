// Recording: the settings command, the opening of the configured files
// shortly after start, the tick that writes one report row and one binary
// record, and telling the user when writing fails and when it works again.
#include "app/main_dialog.h"

#include "framework/win_app.h"
#include "recording/binary_log.h"
#include "recording/recording_dialog.h"
#include "recording/recording_rules.h"
#include "recording/report_file.h"
#include "res/resource.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

const char kReportUnavailable[] = "Wybrany plik rejestracji wynik\xF3w pomiaru jest niedost\xEApny.";
const char kBinaryUnavailable[] = "Wybrany plik binarny jest niedost\xEApny.";
const char kAppendOrErase[] =
    " ju\xBF istnieje.\r\nWybierz Tak aby dopisywa\xE6 wyniki do poprzednich,\r\n"
    "wybierz Nie aby skasowa\xE6 poprzedni\xB9 zawarto\x9C\xE6 pliku.";
const char kReportExists[] = "Plik rejestracji pomiar\xF3w";
const char kBinaryExists[] = "Plik binarny";

// A write that fails is told once; the row or record waits and goes in
// with the next one that succeeds.
const char kReportWriteFailed[] = "Nie mo\xBFna zapisa\xE6 wynik\xF3w pomiaru do pliku rejestracji:";
const char kBinaryWriteFailed[] = "Nie mo\xBFna zapisa\xE6 do pliku binarnego:";
const char kWriteRetried[] =
    "Pomiary i rejestracja trwaj\xB9 dalej. Zapis jest ponawiany przy ka\xBF" "dym kolejnym pomiarze, "
    "a zaleg\xB3" "e dane zostan\xB9 dopisane, gdy tylko zapis si\xEA uda.";
const char kReportWriteWorks[] = "Zapis do pliku rejestracji wynik\xF3w pomiaru znowu dzia\xB3" "a:";
const char kBinaryWriteWorks[] = "Zapis do pliku binarnego znowu dzia\xB3" "a:";
const char kNothingLost[] = "Zaleg\xB3" "e dane zosta\xB3y dopisane.";
const char kSomeLost[] = "Zaleg\xB3" "e dane zosta\xB3y dopisane; najstarszych zapis\xF3w, kt\xF3re nie zmie\x9C" "ci\xB3y "
                         "si\xEA w pami\xEA" "ci, przepad\xB3o: %llu.";

// Opens a recording file; nullptr when it cannot be opened.
std::unique_ptr<CRecordFile> OpenForRecording(const std::string& strPath, BOOL* pbExisted) {
    DWORD dwError = ERROR_SUCCESS;
    return CRecordFile::Open(strPath, pbExisted, &dwError);
}

}  // namespace

BOOL CMainDialog::IsRecordingFailing() const {
    return (m_pReportFile && m_pReportFile->IsFailing()) || (m_pBinaryFile && m_pBinaryFile->IsFailing());
}

void CMainDialog::TakeSamples(ChannelSamples samples) {
    for (int channel = 0; channel < 9; ++channel) {
        const ChannelState& reading = m_channels[channel];
        samples[channel] = {reading.dValue, reading.bNoValue, reading.bAlert, reading.bFineResolution};
    }
}

void CMainDialog::SetRecordTimer() {
    if (m_nRecordTimer != 0)
        KillTimer(kRecordTimerId);
    m_nInterval = ClampRecordInterval(m_nInterval);
    m_nRecordTimer = SetTimer(kRecordTimerId, static_cast<UINT>(m_nInterval) * 1000u);
    m_nTimerInterval = m_nInterval;
}

void CMainDialog::OnRecordTick() {
    WriteReportRow();
    WriteBinaryRecord();
    ShowRecordNotices();
}

void CMainDialog::WriteReportRow() {
    if (!m_pReportFile)
        return;
    ChannelSamples samples;
    TakeSamples(samples);
    const std::string header = FormatReportHeader(m_bRecord, m_nSeparator, m_nHeaderMask);
    const std::string row = FormatReportRow(LocalRecordTime(), samples, m_bRecord, m_nSeparator, m_bDecimalComma);
    const BOOL bWasFailing = m_pReportFile->IsFailing();
    m_pReportFile->Append(header, row);
    NoteRecordWrite(*m_pReportFile, bWasFailing, TRUE);
}

void CMainDialog::WriteBinaryRecord() {
    if (!m_pBinaryFile)
        return;
    ChannelSamples samples;
    TakeSamples(samples);
    const std::string record = FormatBinaryRecord(LocalRecordTime(), samples, Decoder().m_nSerialNumber);
    const BOOL bWasFailing = m_pBinaryFile->IsFailing();
    m_pBinaryFile->Append(std::string(), record);
    NoteRecordWrite(*m_pBinaryFile, bWasFailing, FALSE);
}

// A failure episode starts or ends: the status line says so at once, and a
// message box explains it once the writes of this occasion are done, so
// that a box waiting for the user holds up neither file.
void CMainDialog::NoteRecordWrite(const CRecordFile& file, BOOL bWasFailing, BOOL bReport) {
    const BOOL bFailing = file.IsFailing();
    if (bFailing == bWasFailing)
        return;
    UpdateStatusLine();
    std::string text;
    if (bFailing) {
        text = std::string(bReport ? kReportWriteFailed : kBinaryWriteFailed) + "\r\n" + file.GetPath() + "\r\n" +
               SystemErrorText(file.GetLastError()) + "\r\n\r\n" + kWriteRetried;
        m_recordNotices.push_back({text, MB_ICONEXCLAMATION});
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
    m_recordNotices.push_back({text, MB_ICONINFORMATION});
}

void CMainDialog::ShowRecordNotices() {
    // Taken out first: ticks go on while a box is shown and may add more.
    std::vector<RecordNotice> notices;
    notices.swap(m_recordNotices);
    for (const RecordNotice& notice : notices)
        AfxMessageBox(notice.strText, notice.nType);
}

void CMainDialog::StartRecordingAtLaunch() {
    KillTimer(kStartupRecordingTimerId);
    m_strReportPath = AbsoluteFilePath(m_strReportPath);
    m_strBinaryPath = AbsoluteFilePath(m_strBinaryPath);
    // Started with Windows, a file that cannot be opened yet (a network
    // drive still connecting) is tried again, without a box nobody answers.
    BOOL bRetry = FALSE;
    if (!m_strReportPath.empty() && m_bLogReport && !m_pReportFile) {
        BOOL bExisted = FALSE;
        std::unique_ptr<CRecordFile> file = OpenForRecording(m_strReportPath, &bExisted);
        // Appending where the end cannot be found would write over the old rows.
        if (file && bExisted && !file->SeekToEnd())
            file.reset();
        if (!file && m_bStartedWithWindows) {
            bRetry = TRUE;
        } else if (!file) {
            AfxMessageBox(kReportUnavailable, MB_ICONEXCLAMATION);
            OnRecording();
        } else {
            m_pReportFile = std::move(file);
            m_nReportFileSeparator = m_nSeparator;
            WriteReportRow();
            SetRecordTimer();
        }
    }
    if (!m_strBinaryPath.empty() && m_bLogBinary && !m_pBinaryFile) {
        BOOL bExisted = FALSE;
        std::unique_ptr<CRecordFile> file = OpenForRecording(m_strBinaryPath, &bExisted);
        if (file && bExisted && !file->SeekToEnd())
            file.reset();
        if (!file && m_bStartedWithWindows) {
            bRetry = TRUE;
        } else if (!file) {
            AfxMessageBox(kBinaryUnavailable, MB_ICONEXCLAMATION);
            OnRecording();
        } else {
            m_pBinaryFile = std::move(file);
            WriteBinaryRecord();
            SetRecordTimer();
        }
    }
    EnableMenuItem(GetMenu(m_hWnd), ID_RECORDING, MF_BYCOMMAND | MF_ENABLED);
    ShowRecordNotices();
    if (bRetry)
        SetTimer(kStartupRecordingTimerId, 10000);
}

void CMainDialog::OnRecording() {
    // A file that could not be opened brings the dialog back until the user
    // chooses a usable one or cancels.
    while (RunRecordingDialog()) {
    }
}

// Asks whether to append to or erase an existing file and does it; a file
// whose end or start cannot be set is given up (nullptr).
std::unique_ptr<CRecordFile> CMainDialog::OpenChosenFile(const std::string& strPath, const char* pszExists,
                                                         BOOL* pbAppending) {
    BOOL bExisted = FALSE;
    std::unique_ptr<CRecordFile> file = OpenForRecording(strPath, &bExisted);
    *pbAppending = FALSE;
    if (!file || !bExisted)
        return file;
    const std::string question = std::string(pszExists) + kAppendOrErase;
    if (AfxMessageBox(question, MB_ICONQUESTION | MB_YESNO) == IDYES) {
        *pbAppending = TRUE;
        if (!file->SeekToEnd())
            file.reset();
    } else if (!file->Empty()) {
        file.reset();
    }
    return file;
}

BOOL CMainDialog::RunRecordingDialog() {
    CRecordingDialog dlg(this);
    dlg.m_bLogReport = m_bLogReport;
    dlg.m_bLogBinary = m_bLogBinary;
    dlg.m_strReportPath = m_strReportPath;
    dlg.m_strBinaryPath = m_strBinaryPath;
    dlg.m_nInterval = m_nInterval;
    dlg.m_nSeparator = m_nSeparator;
    dlg.m_bDecimalComma = m_bDecimalComma;
    std::copy(std::begin(m_bRecord), std::end(m_bRecord), dlg.m_bRecord);
    dlg.m_bAddComment = m_bAddComment;
    dlg.m_bAddSerial = m_bAddSerial;
    dlg.m_strComment = m_strComment;
    const BOOL bWasReport = m_bLogReport;
    const BOOL bWasBinary = m_bLogBinary;

    if (dlg.DoModal() != IDOK) {
        if (!m_pReportFile)
            m_bLogReport = FALSE;
        if (!m_pBinaryFile)
            m_bLogBinary = FALSE;
        KeepRecordingInForce();
        UpdateStatusLine();
        SaveSettingsNow();
        return FALSE;
    }

    m_bLogReport = dlg.m_bLogReport;
    m_bLogBinary = dlg.m_bLogBinary;
    m_strReportPath = AbsoluteFilePath(dlg.m_strReportPath);
    m_strBinaryPath = AbsoluteFilePath(dlg.m_strBinaryPath);
    m_nInterval = dlg.m_nInterval;
    m_nSeparator = dlg.m_nSeparator;
    m_bDecimalComma = dlg.m_bDecimalComma;
    std::copy(std::begin(dlg.m_bRecord), std::end(dlg.m_bRecord), m_bRecord);
    m_bAddComment = dlg.m_bAddComment;
    m_bAddSerial = dlg.m_bAddSerial;
    m_strComment = dlg.m_strComment;
    // Confirmed settings survive a crash or a power cut from here on.
    SaveSettingsNow();

    if (!m_bLogReport || !m_bLogBinary) {
        if (!m_bLogReport && !m_bLogBinary && m_nRecordTimer != 0)
            KillTimer(kRecordTimerId);
        if (m_pReportFile && !m_bLogReport)
            m_pReportFile.reset();
        if (m_pBinaryFile && !m_bLogBinary)
            m_pBinaryFile.reset();
        m_nRecordTimer = 0;
        if (!m_bLogReport && !m_bLogBinary) {
            UpdateStatusLine();
            return FALSE;
        }
    }

    if (m_bLogReport) {
        const OpenRecordFile open = {m_pReportFile != nullptr, m_pReportFile ? m_pReportFile->GetPath() : "",
                                     m_nReportFileSeparator};
        if (ReportNeedsReopen(open, bWasReport != FALSE, m_strReportPath, m_nSeparator)) {
            m_pReportFile.reset();
            BOOL bAppending = FALSE;
            std::unique_ptr<CRecordFile> file = OpenChosenFile(m_strReportPath, kReportExists, &bAppending);
            if (!file) {
                AfxMessageBox(kReportUnavailable, MB_ICONEXCLAMATION);
                ShowRecordNotices();
                return TRUE;
            }
            m_nHeaderMask = kHeaderMaskNone;
            m_pReportFile = std::move(file);
            m_nReportFileSeparator = m_nSeparator;
            if (m_bAddComment) {
                const std::string block =
                    FormatOpeningBlock(bAppending != FALSE, m_strComment, m_bAddSerial, Decoder().m_nSerialNumber);
                if (!block.empty()) {
                    const BOOL bWasFailing = m_pReportFile->IsFailing();
                    m_pReportFile->Append(std::string(), block);
                    NoteRecordWrite(*m_pReportFile, bWasFailing, TRUE);
                }
            }
        }
        WriteReportRow();
    }

    if (m_bLogBinary) {
        const OpenRecordFile open = {m_pBinaryFile != nullptr, m_pBinaryFile ? m_pBinaryFile->GetPath() : "", 0};
        if (BinaryNeedsReopen(open, bWasBinary != FALSE, m_strBinaryPath)) {
            m_pBinaryFile.reset();
            BOOL bAppending = FALSE;
            std::unique_ptr<CRecordFile> file = OpenChosenFile(m_strBinaryPath, kBinaryExists, &bAppending);
            if (!file) {
                AfxMessageBox(kBinaryUnavailable, MB_ICONEXCLAMATION);
                ShowRecordNotices();
                return TRUE;
            }
            m_pBinaryFile = std::move(file);
        }
        WriteBinaryRecord();
    }

    SetRecordTimer();
    UpdateStatusLine();
    ShowRecordNotices();
    return FALSE;
}

// After a run that failed to open a file, a cancelled dialog leaves the
// values of the files still open and of the running timer in force, not
// those typed in the failed run.
void CMainDialog::KeepRecordingInForce() {
    if (m_pReportFile) {
        m_strReportPath = m_pReportFile->GetPath();
        m_nSeparator = m_nReportFileSeparator;
    }
    if (m_pBinaryFile)
        m_strBinaryPath = m_pBinaryFile->GetPath();
    if (m_nRecordTimer != 0)
        m_nInterval = m_nTimerInterval;
    // A failed run may have left the timer running with no file to write.
    if (!m_pReportFile && !m_pBinaryFile) {
        KillTimer(kRecordTimerId);
        m_nRecordTimer = 0;
    }
}
