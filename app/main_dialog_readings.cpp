// What the main window does with each line: the channels' readings, the
// link state and the status line, and the blinking of channels in error.
#include "app/main_dialog.h"

#include "instrument/status_line.h"

namespace {
// Fields are redrawn channel 0 first when the resolution changes, and
// channel 1 to 8 then channel 0 everywhere else.
const int kChannelsZeroFirst[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
const int kChannelsZeroLast[9] = {1, 2, 3, 4, 5, 6, 7, 8, 0};
}  // namespace

// The channel set is written first; the fields then paint what it holds.
void CMainDialog::ApplyReading(BOOL bGood) {
    const CLineDecoder& decoder = m_lineAssembly.Decoder();
    if (bGood != m_bLinkUp || decoder.m_bFine != m_channels[0].bFineResolution) {
        m_bLinkUp = bGood;
        m_channels.SetFineResolution(decoder.m_bFine);
        for (int channel : kChannelsZeroFirst)
            Field(channel).SetFineResolution(m_channels[channel].bFineResolution);
        LayOutAgain();
        m_dde.Restart();
    }
    UpdateStatusLine();

    if (bGood) {
        const int c = m_nLastChannel;
        if (c >= 0 && c <= 8) {
            const BOOL bAlert = decoder.m_bCalibrationError[c] != 0 || decoder.m_bValueError[c] != 0;
            if (c == 0)
                m_channels.StoreMean(bAlert);
            else
                m_channels.StoreValue(c, decoder.m_dValues[c], bAlert);
            ShowChannel(c);
            if (m_alarms.Judge(c))
                UpdateStatusLine();
            m_database.AddReading(m_channels, c, decoder.m_nSerialNumber);  // with the alarm state just judged
        }
    } else {
        m_channels.LoseAll();
        for (int channel : kChannelsZeroLast)
            ShowChannel(channel);
    }
    m_mqttFeed.OnReading(bGood, m_nLastChannel);
    m_dde.NotifyAll();
}

void CMainDialog::ShowChannel(int nChannel) {
    const ChannelState& channel = m_channels[nChannel];
    CReadingView& field = Field(nChannel);
    field.SetAlert(channel.bAlert);
    if (channel.bNoValue)
        field.SetNoValue();
    else
        field.SetValue(channel.dValue);
}

LRESULT CMainDialog::OnThreadFailed(WPARAM, LPARAM) {
    m_bThreadFailed = true;
    UpdateStatusLine();
    return 0;
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
    state.bRecording = m_recorder.IsRecording();
    state.nIntervalSeconds = m_recorder.Settings().nInterval;
    state.bRecordingFailing = m_recorder.IsFailing();
    ChannelAlarm alarms[CChannelSet::kChannels];
    for (int channel = 0; channel < CChannelSet::kChannels; ++channel)
        alarms[channel] = m_channels[channel].alarm;
    state.strAlarm = ComposeAlarmPiece(alarms) + ComposeRefusedLimitsPiece(m_alarms.Settings());
    state.bDatabaseFailing = m_database.IsFailing();
    state.strDatabaseReason = ShortSendFault(m_database.State());
    state.bMqttFailing = m_mqttFeed.IsFailing();
    state.bThreadFailed = m_bThreadFailed;
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
        if (!m_channels[channel].bAlert)
            continue;
        CReadingView& field = Field(channel);
        field.m_bHidden = m_bBlinkPhase;
        field.RedrawValue();  // the title strip stays as it is
    }
}
