#pragma once
// What the end of a countdown asks of the system: to power the computer off,
// put it to sleep or hibernate it, each with the shutdown privilege; and what
// this computer can do, so that the dialog can grey an ending it cannot make.

#include "engine/PowerAbilities.h"

// Asks the system to switch the computer off, with the shutdown privilege.
void powerOff();

// Puts the computer to sleep (on a Modern Standby computer: turns the
// display off, which is how it goes to sleep), or hibernates it; a box says
// so when the system refuses. Returns when the computer is awake again.
void sleepComputer();
void hibernateComputer();

// From the system's power capabilities, asked anew at each call.
PowerAbilities powerAbilities();
