// How a serial port's settings treat the modem lines: the instrument's
// hardware handshake, or no flow control with DTR and RTS held up or down.
// XON/XOFF is never used: the instrument's bytes are data.
#pragma once

#include <windows.h>

enum class PortLines { Handshake, Raised, Dropped };

inline void SetPortLines(DCB& dcb, PortLines lines) {
    const bool bHandshake = lines == PortLines::Handshake;
    dcb.fOutxCtsFlow = bHandshake;
    dcb.fOutxDsrFlow = bHandshake;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fDtrControl = bHandshake                   ? DTR_CONTROL_HANDSHAKE
                      : lines == PortLines::Raised ? DTR_CONTROL_ENABLE
                                                   : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = bHandshake                   ? RTS_CONTROL_HANDSHAKE
                      : lines == PortLines::Raised ? RTS_CONTROL_ENABLE
                                                   : RTS_CONTROL_DISABLE;
}
