#pragma once
// Whether the form may start a countdown, and which box says why not: a
// plain rule over the form's values, with the player asked whether it plays
// only where the answer matters.

#include "engine/PowerAbilities.h"
#include "settings/SettingsRecord.h"

enum FormProblem {
    FormAccepted,
    NothingPlaysNotice,   // songs mode while nothing plays: a warning, then it starts
    EndingImpossible,     // the computer cannot make the chosen ending
    SongsZero,
    MinutesZeroSilent,    // no minutes, waiting for a song, and none plays
    MinutesZero,
};

// ending: the chosen ending's ability, NULL for an ending always possible.
FormProblem checkForm(const SettingsValues& form, const EndingAbility* ending, bool (*isPlaying)());

bool formStarts(FormProblem problem);

// The box a problem shows, owned by the dialog, OK only; no text for none.
struct FormBox {
    const char* caption;
    const char* text;
};
FormBox boxFor(FormProblem problem, const EndingAbility* ending);
