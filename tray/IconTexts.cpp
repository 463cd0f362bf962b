#include "tray/IconTexts.h"

#include <windows.h>

#include <string.h>

namespace {

const char StopHint[] = " To stop it, right-click the moon and choose \"Stop the countdown\".";

// Each ending in the tooltip's words, and in the warning's (none: no
// warning, as the listener keeps the computer and the player).
struct Ending {
    int action;
    const char* tip;
    const char* warning;
};
const Ending Endings[] = {
    {FinalAction::StopPlaying, "stop playing", NULL},
    {FinalAction::Pause, "pause", NULL},
    {FinalAction::QuitPlayer, "quit Winamp", "quit Winamp"},
    {FinalAction::HaltComputer, "power off", "power off the computer"},
    {FinalAction::Sleep, "sleep", "put the computer to sleep"},
    {FinalAction::Hibernate, "hibernate", "hibernate the computer"},
};
const Ending OtherEnding = {0, "stop counting", NULL};

const Ending& endingFor(int action) {
    for (const Ending& ending : Endings) {
        if (ending.action == action) {
            return ending;
        }
    }
    return OtherEnding;
}

}  // namespace

void copyText(char* to, size_t size, const char* text) {
    size_t length = strlen(text);
    if (length >= size) {
        length = size - 1;
    }
    memcpy(to, text, length);
    to[length] = '\0';
}

void describeCountdown(const SettingsValues& countdown, long long fadeMsLeft, char* text) {
    const Ending& ending = endingFor(countdown.finalAction);
    if (fadeMsLeft >= 0) {
        // Whole units left, rounded up: "0 seconds" would say the end is now.
        const long long MsPerMinute = 60000;
        bool inMinutes = fadeMsLeft >= MsPerMinute;
        long long unitMs = inMinutes ? MsPerMinute : 1000;
        int left = static_cast<int>((fadeMsLeft + unitMs - 1) / unitMs);
        const char* unit = inMinutes ? (left == 1 ? "minute" : "minutes") : (left == 1 ? "second" : "seconds");
        wsprintfA(text, "Nightcap: fading out, %d %s left, then %s", left, unit, ending.tip);
        return;
    }
    bool minutes = countdown.countMode == CountMode::Minutes;
    int count = minutes ? countdown.minutes : countdown.songs;
    // The minutes are spent and the end waits for the song: "0 minutes left"
    // would say the end is now.
    if (minutes && count <= 0 && countdown.stopMethod == StopMethod::WaitForSongEnd) {
        wsprintfA(text, "Nightcap: until this song ends, then %s", ending.tip);
        return;
    }
    const char* unit = minutes ? (count == 1 ? "minute" : "minutes") : (count == 1 ? "song" : "songs");
    wsprintfA(text, "Nightcap: %d %s left, then %s", count, unit, ending.tip);
}

IconWarning warningFor(const SettingsValues& countdown) {
    if (endingFor(countdown.finalAction).warning == NULL) {
        return NoWarning;
    }
    if (countdown.countMode == CountMode::Songs ||
        (countdown.countMode == CountMode::Minutes && countdown.stopMethod == StopMethod::WaitForSongEnd)) {
        return LastSong;
    }
    return countdown.countMode == CountMode::Minutes ? OneMinuteLeft : NoWarning;
}

void describeWarning(IconWarning warning, int finalAction, char* title, size_t titleChars, char* text,
                     size_t textChars) {
    const char* what = endingFor(finalAction).warning;
    if (warning == NoWarning || what == NULL) {
        copyText(title, titleChars, "");
        copyText(text, textChars, "");
        return;
    }
    // Longer than any of the sentences below.
    char words[256];
    if (warning == OneMinuteLeft) {
        copyText(title, titleChars, "Nightcap: one minute left");
        wsprintfA(words, "Then Nightcap will %s.%s", what, StopHint);
    } else {
        copyText(title, titleChars, "Nightcap: the last song");
        wsprintfA(words, "When this song ends, Nightcap will %s.%s", what, StopHint);
    }
    copyText(text, textChars, words);
}
