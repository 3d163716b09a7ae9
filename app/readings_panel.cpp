#include "app/readings_panel.h"

#include "app/main_layout.h"
#include "framework/dialog.h"
#include "res/resource.h"

namespace {
// Fields are redrawn channel 0 first when the resolution changes, and
// channel 1 to 8 then channel 0 everywhere else.
const int kChannelsZeroFirst[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
const int kChannelsZeroLast[9] = {1, 2, 3, 4, 5, 6, 7, 8, 0};
}  // namespace

void CReadingsPanel::Bind(CDataExchange* pDX) {
    for (int i = 0; i < 8; ++i)
        DDX_Control(pDX, IDC_TEMP1 + i, m_fields[i]);
    DDX_Control(pDX, IDC_TEMP0, m_fields[8]);
    DDX_Control(pDX, IDC_STATUS, m_editStatus);
}

void CReadingsPanel::Prepare(const CChannelSet& channels) {
    RECT rcStatus;
    ::GetWindowRect(m_editStatus, &rcStatus);
    m_nStatusHeight = rcStatus.bottom - rcStatus.top;

    for (int i = 0; i < kFields; ++i) {
        const int nQuantity = channels[ChannelOfField(i)].nQuantity;
        m_fields[i].SetQuantity(nQuantity, nQuantity, TRUE);
    }
    for (CReadingView& field : m_fields)
        field.m_fontValue.CreateFontIndirect(&field.m_lfValue);
    TakeChannelConfig(channels.Config());
}

void CReadingsPanel::TakeChannelConfig(const ChannelConfig& config) {
    m_channelsShown = 0;
    for (int channel = 1; channel < CChannelSet::kChannels; ++channel) {
        if (config[channel].bInUse)
            m_channelsShown |= 1u << (channel - 1);
    }
    for (int channel = 0; channel < CChannelSet::kChannels; ++channel) {
        CReadingView& field = Field(channel);
        field.m_strLabel = config.Title(channel);
        if (field.GetSafeHwnd() != nullptr)
            ::ShowWindow(field, HasField(channel) ? SW_SHOWNA : SW_HIDE);
    }
}

void CReadingsPanel::LayOut(int cx, int cy) {
    const MainLayout layout =
        ComputeMainLayout(cx, cy, ClampLayoutGap(GetSystemMetrics(SM_CXDLGFRAME)), m_nStatusHeight, m_channelsShown);
    m_editStatus.MoveWindow(layout.status.x, layout.status.y, layout.status.cx, layout.status.cy);
    for (int index : kLayoutMoveOrder) {
        if (!layout.shown[index])
            continue;
        const LayoutRect& r = layout.fields[index];
        m_fields[index].MoveWindow(r.x, r.y, r.cx, r.cy, TRUE);
        m_fields[index].RedrawNow();
    }
}

void CReadingsPanel::ShowResolution(const CChannelSet& channels) {
    for (int channel : kChannelsZeroFirst)
        Field(channel).SetFineResolution(channels[channel].bFineResolution);
}

void CReadingsPanel::ShowChannel(const CChannelSet& channels, int nChannel) {
    const ChannelState& channel = channels[nChannel];
    CReadingView& field = Field(nChannel);
    field.SetAlert(channel.bAlert);
    if (channel.bNoValue)
        field.SetNoValue();
    else
        field.SetValue(channel.dValue);
}

void CReadingsPanel::ShowAllChannels(const CChannelSet& channels) {
    for (int channel : kChannelsZeroLast)
        ShowChannel(channels, channel);
}

void CReadingsPanel::Blink(const CChannelSet& channels) {
    m_bBlinkPhase = !m_bBlinkPhase;
    for (int channel : kChannelsZeroLast) {
        if (!channels[channel].bAlert || !HasField(channel))
            continue;
        CReadingView& field = Field(channel);
        field.m_bHidden = m_bBlinkPhase;
        field.RedrawValue();  // the title strip stays as it is
    }
}

int CReadingsPanel::AlarmFieldAt(const CChannelSet& channels, HWND hWindow, POINT point) {
    for (int c = 0; c < CChannelSet::kChannels; ++c) {
        if (channels[c].alarm.nState == kAlarmNone || !HasField(c))
            continue;
        RECT rc;
        ::GetWindowRect(Field(c), &rc);
        ::MapWindowPoints(nullptr, hWindow, reinterpret_cast<POINT*>(&rc), 2);
        if (PtInRect(&rc, point))
            return c;
    }
    return -1;
}

void CReadingsPanel::ShowStatus(const std::string& text) {
    if (text == m_strStatus)
        return;
    m_strStatus = text;
    m_editStatus.SetWindowText(text);
    Field(HasField(1) ? 1 : 0).SetFocus();
}

void CReadingsPanel::ShowStatusNow(const std::string& text) {
    m_strStatus = text;
    m_editStatus.SetWindowText(text);
    ::UpdateWindow(m_editStatus);
}
