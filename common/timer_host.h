// What a part that runs timers needs from the window it lives in: the
// window's timers, whose expiries the window hands back to the part.
#pragma once

#include "common/win_types.h"

class CTimerHost {
public:
    virtual ~CTimerHost() {}
    // Starts (or restarts) a periodic timer; returns its id, 0 on failure.
    virtual UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) = 0;
    virtual void KillTimer(UINT_PTR id) = 0;
};
