// What the main window does with each line: the channels' readings, the
// link state and the status line, and the blinking of channels in error.
#include "app/main_dialog.h"

#include "instrument/channel_mean.h"
#include "instrument/status_line.h"

namespace {
// Fields are redrawn channel 0 first when the resolution changes, and
// channel 1 to 8 then channel 0 everywhere else.
const int kChannelsZeroFirst[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
const int kChannelsZeroLast[9] = {1, 2, 3, 4, 5, 6, 7, 8, 0};
}  // namespace

void CMainDialog::ApplyReading(BOOL bGood) {
    const CLineDecoder& decoder = m_lineAssembly.Decoder();
    if (bGood != m_bLinkUp || decoder.m_bFine != Field(0).m_bFineResolution) {
        m_bLinkUp = bGood;
        for (int channel : kChannelsZeroFirst)
            Field(channel).SetFineResolution(decoder.m_bFine);
        RelayOut();
        RestartDdeServer();
    }
    UpdateStatusLine();

    if (bGood) {
        const int c = m_nLastChannel;
        if (c >= 1 && c <= 8) {
            Field(c).SetAlert(decoder.m_bCalibrationError[c] != 0 || decoder.m_bValueError[c] != 0);
            Field(c).SetValue(decoder.m_dValues[c]);
            SendReadingToDatabase(c);
        } else if (c == 0) {
            double values[8];
            BOOL noValue[8];
            for (int i = 0; i < 8; ++i) {
                values[i] = m_fields[i].m_dValue;
                noValue[i] = m_fields[i].m_bNoValue;
            }
            double mean = 0.0;
            const BOOL bHasMean = ComputeChannelMean(values, noValue, &mean);
            Field(0).SetAlert(decoder.m_bCalibrationError[0] != 0 || decoder.m_bValueError[0] != 0);
            // With no channel heard from there is no mean: "???" rather than NaN.
            if (m_bMeanPending || !bHasMean)
                Field(0).SetNoValue();
            else
                Field(0).SetValue(mean);
            m_bMeanPending = FALSE;
            SendReadingToDatabase(0);
        }
    } else {
        m_bMeanPending = TRUE;
        for (int channel : kChannelsZeroLast) {
            Field(channel).SetNoValue();
            Field(channel).SetAlert(TRUE);
        }
    }
    m_ddeServer.NotifyAll();
}

void CMainDialog::UpdateStatusLine() {
    if (m_hWnd == nullptr)
        return;
    const CLineDecoder& decoder = m_lineAssembly.Decoder();
    const int c = m_nLastChannel;
    const bool bChannelKnown = c >= 0 && c < CLineDecoder::kChannels;
    StatusLineState state;
    state.bLinkUp = m_bLinkUp;
    state.nSerialNumber = decoder.m_nSerialNumber;
    state.nLastChannel = c;
    state.nValueError = bChannelKnown ? decoder.m_bValueError[c] : 0;
    state.nCalibrationError = bChannelKnown ? decoder.m_bCalibrationError[c] : 0;
    state.bRecording = m_nRecordTimer != 0;
    state.nIntervalSeconds = m_nInterval;
    state.bRecordingFailing = IsRecordingFailing();
    state.bDatabaseFailing = m_dbSender.IsFailing();
    const std::string text = ComposeStatusLine(state);
    if (text == m_strStatus)
        return;
    m_strStatus = text;
    m_editStatus.SetWindowText(text);
    Field(1).SetFocus();
}

// All alerting fields share one phase, so they blink in step.
void CMainDialog::Blink() {
    m_bBlinkPhase = !m_bBlinkPhase;
    for (int channel : kChannelsZeroLast) {
        CReadingView& field = Field(channel);
        if (!field.m_bAlert)
            continue;
        field.m_bHidden = m_bBlinkPhase;
        field.RedrawNow();
    }
}
