// What the moon says, row by row: its tooltip for each countdown, and
// whether and how it warns.

#include <gtest/gtest.h>

#include <string>

#include "tray/IconTexts.h"

namespace {

using namespace CountMode;
using namespace StopMethod;
using namespace FinalAction;

std::string tipFor(const SettingsValues& countdown, long long fadeMsLeft = -1) {
    char text[IconTipChars];
    describeCountdown(countdown, fadeMsLeft, text);
    return text;
}

TEST(IconTextsTest, TheTooltipSaysWhatIsLeftAndWhatComesThen) {
    const struct {
        SettingsValues countdown;   // count mode, stop method, final action, songs, minutes
        const char* tip;
    } rows[] = {
        {{Minutes, StopNow, HaltComputer, 3, 25, 5}, "Nightcap: 25 minutes left, then power off"},
        {{Minutes, ShadeOut, StopPlaying, 3, 1, 5}, "Nightcap: 1 minute left, then stop playing"},
        {{Minutes, StopNow, QuitPlayer, 3, 0, 5}, "Nightcap: 0 minutes left, then quit Winamp"},
        {{Minutes, WaitForSongEnd, Sleep, 3, 0, 5}, "Nightcap: until this song ends, then sleep"},
        {{Minutes, WaitForSongEnd, Hibernate, 3, -4, 5}, "Nightcap: until this song ends, then hibernate"},
        {{Songs, WaitForSongEnd, Sleep, 2, 0, 5}, "Nightcap: 2 songs left, then sleep"},
        {{Songs, StopNow, Hibernate, 1, 0, 5}, "Nightcap: 1 song left, then hibernate"},
        {{Songs, StopNow, 9, 2147483647, 0, 5}, "Nightcap: 2147483647 songs left, then stop counting"},
        {{Songs, StopNow, Pause, 2, 0, 5}, "Nightcap: 2 songs left, then pause"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(tipFor(row.countdown), row.tip);
    }
}

// During a fade, what is left of it: whole minutes, then seconds, rounded up.
TEST(IconTextsTest, TheTooltipCountsTheFadeDown) {
    const SettingsValues fading = {Minutes, ShadeOut, HaltComputer, 3, 0, 600};
    const struct {
        long long msLeft;
        const char* tip;
    } rows[] = {
        {600000, "Nightcap: fading out, 10 minutes left, then power off"},
        {540001, "Nightcap: fading out, 10 minutes left, then power off"},
        {540000, "Nightcap: fading out, 9 minutes left, then power off"},
        {60000, "Nightcap: fading out, 1 minute left, then power off"},
        {59999, "Nightcap: fading out, 60 seconds left, then power off"},
        {1000, "Nightcap: fading out, 1 second left, then power off"},
        {1, "Nightcap: fading out, 1 second left, then power off"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(tipFor(fading, row.msLeft), row.tip);
    }
}

// A warning before every ending that takes the player or the computer away,
// and none before one that leaves both on; "one minute left" where a clock
// decides the end, "the last song" where a song's end does.
TEST(IconTextsTest, AWarningBeforeEachEndingThatTakesSomethingAway) {
    const struct {
        SettingsValues countdown;
        IconWarning warning;
        const char* what;           // the ending, in the warning's words
    } rows[] = {
        {{Minutes, StopNow, HaltComputer, 3, 1, 5}, OneMinuteLeft, "power off the computer."},
        {{Minutes, ShadeOut, Sleep, 3, 0, 600}, OneMinuteLeft, "put the computer to sleep."},
        {{Minutes, StopNow, Hibernate, 3, 1, 5}, OneMinuteLeft, "hibernate the computer."},
        {{Minutes, StopNow, QuitPlayer, 3, 1, 5}, OneMinuteLeft, "quit Winamp."},
        {{Minutes, WaitForSongEnd, Sleep, 3, 1, 5}, LastSong, "put the computer to sleep."},
        {{Songs, WaitForSongEnd, Sleep, 1, 5, 5}, LastSong, "put the computer to sleep."},
        {{Minutes, StopNow, StopPlaying, 3, 1, 5}, NoWarning, ""},
        {{Minutes, ShadeOut, Pause, 3, 1, 600}, NoWarning, ""},
        {{Songs, WaitForSongEnd, 0, 1, 1, 5}, NoWarning, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(tipFor(row.countdown));
        EXPECT_EQ(warningFor(row.countdown), row.warning);
        char title[64];
        char text[256];
        describeWarning(warningFor(row.countdown), row.countdown.finalAction, title, sizeof title, text, sizeof text);
        std::string expected;
        if (row.warning == OneMinuteLeft) {
            EXPECT_STREQ(title, "Nightcap: one minute left");
            expected = std::string("Then Nightcap will ") + row.what;
        } else if (row.warning == LastSong) {
            EXPECT_STREQ(title, "Nightcap: the last song");
            expected = std::string("When this song ends, Nightcap will ") + row.what;
        } else {
            EXPECT_STREQ(title, "");
        }
        if (!expected.empty()) {
            expected += " To stop it, right-click the moon and choose \"Stop the countdown\".";
        }
        EXPECT_EQ(text, expected);
    }
}

TEST(IconTextsTest, TextsAreCutToTheirPlace) {
    char small[8];
    copyText(small, sizeof small, "Nightcap: one minute left");
    EXPECT_STREQ(small, "Nightca");
}

}  // namespace
