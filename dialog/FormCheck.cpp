#include "dialog/FormCheck.h"

#include <stddef.h>

namespace {

const char MistakeCaption[] = "!mistake";
const char NoticeCaption[] = "!notice";
const char SongsZeroText[] = "Songs should not be ZERO under current configuration! :)";
const char NothingPlaysText[] = "Nightcap MAY NOT work as you expect! \nBecause no songs are singing NOW! :)";
const char MinutesZeroSilentText[] =
    "Minutes should not be ZERO under current configuration,\nbecause no songs are singing NOW! :)";
const char MinutesZeroText[] = "Minutes should not be ZERO under current configuration! :)";

}  // namespace

FormProblem checkForm(const SettingsValues& form, const EndingAbility* ending, bool (*isPlaying)()) {
    if (ending != NULL && !ending->possible) {
        return EndingImpossible;
    }
    if (form.countMode == CountMode::Songs) {
        if (form.songs == 0) {
            return SongsZero;
        }
        // A warning only: the listener may mean to press play afterwards.
        return isPlaying() ? FormAccepted : NothingPlaysNotice;
    }
    if (form.countMode == CountMode::Minutes && form.minutes == 0) {
        if (form.stopMethod != StopMethod::WaitForSongEnd) {
            return MinutesZero;
        }
        // No minutes and waiting for the song: the current song is the
        // countdown, which needs one to be playing.
        return isPlaying() ? FormAccepted : MinutesZeroSilent;
    }
    return FormAccepted;
}

bool formStarts(FormProblem problem) {
    return problem == FormAccepted || problem == NothingPlaysNotice;
}

FormBox boxFor(FormProblem problem, const EndingAbility* ending) {
    FormBox box = {MistakeCaption, NULL};
    switch (problem) {
    case FormAccepted:
        break;
    case NothingPlaysNotice:
        box.caption = NoticeCaption;
        box.text = NothingPlaysText;
        break;
    case EndingImpossible:
        box.text = ending != NULL ? ending->whyNot : NULL;
        break;
    case SongsZero:
        box.text = SongsZeroText;
        break;
    case MinutesZeroSilent:
        box.text = MinutesZeroSilentText;
        break;
    case MinutesZero:
        box.text = MinutesZeroText;
        break;
    }
    return box;
}
