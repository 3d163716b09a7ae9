#include "instrument/instrument.h"

// The channel set is written first; the readers then see what it holds.
void CInstrument::ApplyReading(BOOL ok) {
    const bool bGood = ok != FALSE;
    const CLineDecoder& decoder = m_lineAssembly.Decoder();
    if (bGood != m_bLinkUp || decoder.m_bFine != m_channels[0].bFineResolution) {
        m_bLinkUp = bGood;
        m_channels.SetFineResolution(decoder.m_bFine);
        for (Reader* reader : m_readers)
            reader->OnLinkChanged(*this);
    }
    int nChannel = kNoChannel;
    if (bGood) {
        // An accepted line always names channel 0 to 8.
        nChannel = m_nLastChannel;
        const BOOL bAlert = decoder.m_bCalibrationError[nChannel] != 0 || decoder.m_bValueError[nChannel] != 0;
        if (nChannel == 0)
            m_channels.StoreMean(bAlert);
        else
            m_channels.StoreValue(nChannel, decoder.m_dValues[nChannel], bAlert);
    } else {
        m_channels.LoseAll();
    }
    for (Reader* reader : m_readers)
        reader->OnReading(*this, nChannel);
}
