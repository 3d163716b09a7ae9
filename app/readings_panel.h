// What the main window shows: the display fields and the status line, laid
// out in the window, the fields blinking in step while in error. Channel 0
// always has its field; a channel not in use has none (its field is hidden
// and the others share the window).
#pragma once

#include "app/main_layout.h"
#include "common/field_index.h"
#include "framework/controls.h"
#include "instrument/channels.h"
#include "ui/reading_view.h"

#include <string>

class CDataExchange;

class CReadingsPanel {
public:
    enum { kFields = 9 };

    // The field of channel 0 to 8.
    CReadingView& Field(int nChannel) { return m_fields[FieldOfChannel(nChannel)]; }
    // The fields in the settings' and the dialogs' order: channels 1 to 8, then channel 0.
    CReadingView& FieldAt(int nIndex) { return m_fields[nIndex]; }
    const CReadingView& FieldAt(int nIndex) const { return m_fields[nIndex]; }

    // The dialog's controls, and once they exist, the quantities, labels,
    // fonts and the status line's height.
    void Bind(CDataExchange* pDX);
    void Prepare(const CChannelSet& channels);
    // The fields' titles (the channels' names) and which channels have a
    // field; before the window exists only kept. The owner lays out again.
    void TakeChannelConfig(const ChannelConfig& config);
    bool HasField(int nChannel) const { return nChannel == 0 || (m_channelsShown >> (nChannel - 1) & 1u) != 0; }
    // Moves the status line and the fields for a client area of cx by cy.
    void LayOut(int cx, int cy);

    // Every field in the resolution its channel has.
    void ShowResolution(const CChannelSet& channels);
    // The field of one channel shows what the channel set holds.
    void ShowChannel(const CChannelSet& channels, int nChannel);
    void ShowAllChannels(const CChannelSet& channels);
    // All alerting fields share one phase, so they blink in step.
    void Blink(const CChannelSet& channels);
    bool BlinkPhase() const { return m_bBlinkPhase; }
    // The channel in alarm whose field holds point (the window's client
    // coordinates), or -1.
    int AlarmFieldAt(const CChannelSet& channels, HWND hWindow, POINT point);

    // The status line's text; redrawn only when it differs.
    void ShowStatus(const std::string& text);
    // Shown at once, while the window is busy (it is closing).
    void ShowStatusNow(const std::string& text);
    const std::string& Status() const { return m_strStatus; }
    int StatusHeight() const { return m_nStatusHeight; }

private:
    CReadingView m_fields[kFields];                // channels 1 to 8, then channel 0
    unsigned m_channelsShown = kAllChannelFields;  // bit k - 1: channel k has a field
    CEdit m_editStatus;
    std::string m_strStatus;
    int m_nStatusHeight = 0;
    bool m_bBlinkPhase = false;
};
