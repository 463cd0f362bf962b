#pragma once
// What this computer can do at the end of a countdown, read from the
// system's power capabilities: a plain rule, so that the dialog can grey an
// ending the computer cannot make and say why.

#include <windows.h>

// Whether this computer can make an ending, and if not, why: a sentence for
// the listener that names the ending.
struct EndingAbility {
    bool possible;
    const char* whyNot;  // NULL when possible
};

struct PowerAbilities {
    EndingAbility sleep;
    EndingAbility hibernate;
    // Modern Standby: no sleep state of the classic kind; the computer
    // sleeps when its display goes off.
    bool sleepTurnsDisplayOff;
};

// Everything possible: what stands while the system has not said.
PowerAbilities unknownAbilities();
PowerAbilities abilitiesFrom(const SYSTEM_POWER_CAPABILITIES& capabilities);
