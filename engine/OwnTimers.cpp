#include "engine/OwnTimers.h"

namespace {

// Only a timer whose kill failed stays here once its countdown is over, so
// a few places are plenty; were they all taken, the oldest is forgotten (its
// ticks then do nothing).
const int RememberedTimers = 8;
UINT_PTR ownTimers[RememberedTimers];
int nextForgotten = 0;

void rememberTimer(UINT_PTR timer) {
    for (UINT_PTR& slot : ownTimers) {
        if (slot == 0) {
            slot = timer;
            return;
        }
    }
    ownTimers[nextForgotten] = timer;
    nextForgotten = (nextForgotten + 1) % RememberedTimers;
}

// A timer that was killed is gone, and the system may give its id to
// another timer of the thread, which must then not be killed in its place.
void forgetTimer(UINT_PTR timer) {
    for (UINT_PTR& slot : ownTimers) {
        if (slot == timer) {
            slot = 0;
        }
    }
}

}  // namespace

UINT_PTR armOwnTimer(UINT periodMs, TIMERPROC proc) {
    UINT_PTR timer = SetTimer(NULL, 0, periodMs, proc);
    if (timer != 0) {
        rememberTimer(timer);
    }
    return timer;
}

bool isOwnTimer(UINT_PTR timer) {
    for (UINT_PTR slot : ownTimers) {
        if (timer != 0 && slot == timer) {
            return true;
        }
    }
    return false;
}

bool killOwnTimer(UINT_PTR timer) {
    if (!KillTimer(NULL, timer)) {
        return false;
    }
    forgetTimer(timer);
    return true;
}
