// The dialog's plain rules, row by row: a count field's text read and
// written, and which box the form's values call for.

#include <gtest/gtest.h>

#include <limits.h>

#include <string>

#include "dialog/CountText.h"
#include "dialog/FormCheck.h"

namespace {

TEST(CountTextTest, ReadsTextAsACount) {
    const struct {
        const char* text;
        int count;
    } rows[] = {
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"   ", 0},
        {"  7", 7},
        {"\t\r\n\v\f 42", 42},
        {"0010", 10},
        {"-0", 0},
        {"2147483647", INT_MAX},
        {"2147483648", 0},
        {"12345678901", 0},
        {"00000000000000000000000002147483647", INT_MAX},
        {"99999999999999999999999999999999999999999999999999", 0},
        {"-3", -3},
        {"-2147483648", INT_MIN},
        {"-2147483649", 0},
        {"+5", 5},
        {"+", 0},
        {"-", 0},
        {"+-5", 0},
        {"- 5", 0},
        {"0x10", 0},
        {"12 34", 12},
        {"3.9", 3},
        {"\xb2", 0},   // a superscript two is no digit
        {"\xa0" "5", 0}, // nor is a no-break space white space
    };
    for (const auto& row : rows) {
        EXPECT_EQ(parseCount(row.text), row.count) << "'" << row.text << "'";
    }
}

TEST(CountTextTest, WritesCountsAsPlainDecimals) {
    const struct {
        int count;
        const char* text;
    } rows[] = {{0, "0"}, {7, "7"}, {-3, "-3"}, {1000, "1000"}, {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"}};
    for (const auto& row : rows) {
        char text[CountTextChars];
        formatCount(row.count, text);
        EXPECT_STREQ(text, row.text);
        EXPECT_EQ(parseCount(text), row.count) << "read back";
    }
}

// The player's answer to "is anything playing?", and how often it was asked.
bool playing = false;
int playingAsked = 0;
bool askPlaying() {
    ++playingAsked;
    return playing;
}

const EndingAbility Possible = {true, nullptr};
const EndingAbility Impossible = {false, "Sleep cannot be used on this computer."};

TEST(FormCheckTest, WhichBoxTheFormCallsFor) {
    using namespace CountMode;
    using namespace StopMethod;
    const struct {
        SettingsValues form;        // count mode, stop method, final action, songs, minutes
        const EndingAbility* ending;
        bool playing;
        FormProblem problem;
        int asked;                  // times the player was asked
    } rows[] = {
        {{Songs, WaitForSongEnd, 3, 0, 5, 5}, nullptr, true, SongsZero, 0},
        {{Songs, WaitForSongEnd, 3, 2, 0, 5}, nullptr, true, FormAccepted, 1},
        {{Songs, WaitForSongEnd, 3, -2, 0, 5}, nullptr, false, NothingPlaysNotice, 1},
        {{Minutes, WaitForSongEnd, 3, 0, 0, 5}, nullptr, true, FormAccepted, 1},
        {{Minutes, WaitForSongEnd, 3, 5, 0, 5}, nullptr, false, MinutesZeroSilent, 1},
        {{Minutes, ShadeOut, 3, 5, 0, 5}, nullptr, true, MinutesZero, 0},
        {{Minutes, StopNow, 3, 5, 0, 5}, nullptr, false, MinutesZero, 0},
        {{Minutes, StopNow, 3, 0, 1, 5}, nullptr, false, FormAccepted, 0},  // minutes left: the player is not asked
        {{Minutes, WaitForSongEnd, 3, 0, -1, 5}, nullptr, false, FormAccepted, 0},
        {{Songs, WaitForSongEnd, 4, 3, 10, 5}, &Possible, true, FormAccepted, 1},
        {{Songs, WaitForSongEnd, 4, 0, 10, 5}, &Impossible, true, EndingImpossible, 0},
        {{Minutes, StopNow, 5, 5, 0, 5}, &Impossible, true, EndingImpossible, 0},
        {{7, WaitForSongEnd, 3, 0, 0, 5}, nullptr, false, FormAccepted, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("mode " + std::to_string(row.form.countMode) + " method " + std::to_string(row.form.stopMethod) +
                     " songs " + std::to_string(row.form.songs) + " minutes " + std::to_string(row.form.minutes));
        playing = row.playing;
        playingAsked = 0;
        FormProblem problem = checkForm(row.form, row.ending, askPlaying);
        EXPECT_EQ(problem, row.problem);
        EXPECT_EQ(playingAsked, row.asked);
        EXPECT_EQ(formStarts(problem), problem == FormAccepted || problem == NothingPlaysNotice);
    }
}

TEST(FormCheckTest, EachProblemShowsItsOwnBox) {
    const struct {
        FormProblem problem;
        const char* caption;
        const char* text;
    } rows[] = {
        {SongsZero, "!mistake", "Songs should not be ZERO under current configuration! :)"},
        {NothingPlaysNotice, "!notice", "Nightcap MAY NOT work as you expect! \nBecause no songs are singing NOW! :)"},
        {MinutesZeroSilent, "!mistake",
         "Minutes should not be ZERO under current configuration,\nbecause no songs are singing NOW! :)"},
        {MinutesZero, "!mistake", "Minutes should not be ZERO under current configuration! :)"},
        {EndingImpossible, "!mistake", "Sleep cannot be used on this computer."},
    };
    for (const auto& row : rows) {
        FormBox box = boxFor(row.problem, &Impossible);
        EXPECT_STREQ(box.caption, row.caption);
        EXPECT_STREQ(box.text, row.text);
    }
    EXPECT_EQ(boxFor(FormAccepted, nullptr).text, nullptr);
}

}  // namespace
