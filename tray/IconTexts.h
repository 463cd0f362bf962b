#pragma once
// What the notification-area icon says: its tooltip, and the warning
// balloon before an ending that takes the player or the computer away.
// Plain functions of the countdown's values, no window.

#include <stddef.h>

#include "settings/SettingsRecord.h"

const int IconTipChars = 128;

// "Nightcap: 25 minutes left, then power off", into text of IconTipChars;
// during a fade longer than the shortest, fadeMsLeft (else -1) says how
// much of it is left: "Nightcap: fading out, 9 minutes left, then ...".
void describeCountdown(const SettingsValues& countdown, long long fadeMsLeft, char* text);

// What the balloon says a minute before the end: nothing for an ending that
// leaves the player and the computer on; "one minute left" where a clock
// decides the end, "the last song" where a song's end does.
enum IconWarning { NoWarning, OneMinuteLeft, LastSong };
IconWarning warningFor(const SettingsValues& countdown);

// The balloon's title and text for a warning, into title and text of the
// sizes the shell takes (titleChars, textChars with their terminators).
void describeWarning(IconWarning warning, int finalAction, char* title, size_t titleChars, char* text,
                     size_t textChars);

// text, cut to fit size bytes with its terminator.
void copyText(char* to, size_t size, const char* text);
