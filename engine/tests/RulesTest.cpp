// The countdown's plain rules, row by row: how the play position moved
// between two ticks, what "more" gives, and which endings the computer's
// power capabilities allow.

#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

#include <cmath>

#include "engine/CountdownRules.h"
#include "engine/PowerAbilities.h"
#include "settings/SettingsRecord.h"

namespace {

TEST(RulesTest, HowThePositionMovedOnA245SecondTrack) {
    const long long Length = 245000;
    const struct {
        int lastMs;
        int positionMs;
        long long lengthMs;
        TrackMove move;
    } rows[] = {
        {244700, 300, Length, TrackChanged},       // the end of the track, the next one just begun
        {100000, 500, Length, JumpWithinTrack},    // back to the start from mid-song
        {120000, 40000, Length, JumpWithinTrack},  // a seek backwards
        {240000, 0, Length, TrackChanged},         // restarted from the last seconds: counts like a change
        {235209, 0, Length, JumpWithinTrack},      // 235209 + 9791 is not more than 245000
        {235210, 0, Length, TrackChanged},
        {244000, 2999, Length, TrackChanged},      // the landing must be below 3000
        {244000, 3000, Length, JumpWithinTrack},
        {244000, 300, 0, JumpWithinTrack},         // no length known yet
        {230000, 0, -245000, JumpWithinTrack},     // a length the player gave as negative
        {1500, 0, 5000, TrackChanged},             // shorter than the end window: any jump back below 3 s
        {INT_MAX, 0, Length, TrackChanged},        // 9791 ms past the largest position: computed wide
        {244700, 300, 4294968000LL, JumpWithinTrack},  // a length past 32 bits is no wrapped short one
        {300, 800, Length, PositionForward},
        {300, 300, Length, PositionStill},
        {0, 0, 0, PositionStill},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(trackMove(row.lastMs, row.positionMs, row.lengthMs), row.move)
            << row.lastMs << " -> " << row.positionMs << " of " << row.lengthMs;
    }
}

TEST(RulesTest, MoreIsTenMinutesOrOneSongAndNeverWraps) {
    EXPECT_EQ(extensionFor(CountMode::Minutes), 10);
    EXPECT_EQ(extensionFor(CountMode::Songs), 1);
    EXPECT_EQ(extensionFor(0), 0);
    EXPECT_EQ(extensionFor(3), 0);
    const struct {
        int count;
        int more;
        int result;
    } rows[] = {
        {0, 10, 10}, {3, 1, 4}, {-5, 10, 5}, {INT_MAX - 10, 10, INT_MAX}, {INT_MAX - 9, 10, INT_MAX},
        {INT_MAX, 1, INT_MAX}, {INT_MIN, 10, INT_MIN + 10}, {7, 0, 7},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(extendedCount(row.count, row.more), row.result) << row.count << " + " << row.more;
    }
}

// The curve against its formula, written here on its own: round(V ×
// 10^(−2t/L)), at least 1, from V at the start to a hundredth at the end.
TEST(RulesTest, TheFadeFallsByEqualStepsOfLoudness) {
    for (int from : {255, 200, 10}) {
        for (long long length : {5000LL, 600000LL}) {
            for (long long at : {0LL, length / 10, length / 4, length / 2, 3 * length / 4, length - 1, length,
                                 length + 500}) {
                double part = at >= length ? 1.0 : static_cast<double>(at) / static_cast<double>(length);
                long long expected = std::lround(from * std::pow(10.0, -2.0 * part));
                EXPECT_EQ(fadeLevel(from, at, length), expected < 1 ? 1 : expected)
                    << from << " at " << at << " of " << length;
            }
        }
    }
    // Half-way is a tenth, 20 dB down; the end a hundredth, never 0.
    EXPECT_EQ(fadeLevel(255, 2500, 5000), 26);
    EXPECT_EQ(fadeLevel(255, 5000, 5000), 3);
    EXPECT_EQ(fadeLevel(10, 5000, 5000), 1);
    // Nothing to fade from: left as it is.
    EXPECT_EQ(fadeLevel(1, 2500, 5000), 1);
    EXPECT_EQ(fadeLevel(0, 2500, 5000), 0);
    EXPECT_EQ(fadeLevel(-5, 2500, 5000), -5);
}

TEST(RulesTest, AFadeStepsAboutALevelAtATime) {
    const struct {
        int from;
        long long lengthMs;
        unsigned int stepMs;
    } rows[] = {
        {255, 5000, 20},     // the fastest the system's timers are worth asking for
        {255, 60000, 51},
        {255, 120000, 102},
        {255, 600000, 500},  // as slow as the countdown's own ticks
        {10, 5000, 108},
        {1, 5000, 500},      // nothing to step
        {255, 0, 500},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(fadeStepMs(row.from, row.lengthMs), row.stepMs) << row.from << " over " << row.lengthMs;
    }
}

// When the computer goes or the player quits, as a tick sees it: the moment
// the minutes are spent, the fade's end, or the end of the song that ends
// the countdown; unknown while that song is not yet playing.
TEST(RulesTest, WhenTheEndComes) {
    using namespace CountMode;
    using namespace StopMethod;
    const long long Song = 245000;
    const struct {
        CountdownClock clock;
        long long ms;
    } rows[] = {
        // count mode, stop method, songs, minutes, minute ticks, fade, fading, fade left, song known, length, position
        {{Minutes, StopNow, 3, 1, 0, 5000, false, 0, false, 0, 0}, 60000},
        {{Minutes, StopNow, 3, 1, 1, 5000, false, 0, false, 0, 0}, 59500},
        {{Minutes, StopNow, 3, 2, 60, 5000, false, 0, false, 0, 0}, 90000},
        {{Minutes, StopNow, 3, 0, 0, 5000, false, 0, false, 0, 0}, 0},
        {{Minutes, ShadeOut, 3, 1, 0, 600000, false, 0, false, 0, 0}, 660000},
        {{Minutes, ShadeOut, 3, 0, 0, 600000, true, 60000, false, 0, 0}, 60000},   // nine minutes into ten
        {{Minutes, ShadeOut, 3, 0, 0, 30000, false, 0, false, 0, 0}, 30000},       // about to begin
        {{Minutes, WaitForSongEnd, 3, 1, 0, 5000, false, 0, true, Song, 1000}, -1},  // the last song not known yet
        {{Minutes, WaitForSongEnd, 3, 0, 0, 5000, false, 0, true, Song, 60000}, 185000},
        {{Minutes, WaitForSongEnd, 3, 0, 0, 5000, false, 0, true, Song, 185000}, 60000},
        {{Minutes, WaitForSongEnd, 3, 0, 0, 5000, false, 0, false, Song, 185000}, -1},  // length not read since it began
        {{Minutes, WaitForSongEnd, 3, 0, 0, 5000, false, 0, true, Song, 250000}, 0},
        {{Songs, WaitForSongEnd, 2, 10, 0, 5000, false, 0, true, Song, 200000}, -1},
        {{Songs, WaitForSongEnd, 1, 10, 0, 5000, false, 0, true, Song, 200000}, 45000},
        {{Songs, WaitForSongEnd, 1, 10, 0, 5000, false, 0, true, 0, 200000}, -1},
        {{Songs, WaitForSongEnd, 0, 10, 0, 5000, false, 0, false, 0, 0}, 0},
        {{Minutes, StopNow, 3, INT_MAX, 0, 5000, false, 0, false, 0, 0}, INT_MAX * 60000LL},
        {{7, StopNow, 3, 1, 0, 5000, false, 0, false, 0, 0}, -1},
    };
    for (const auto& row : rows) {
        const CountdownClock& c = row.clock;
        EXPECT_EQ(msUntilEnd(c), row.ms) << "mode " << c.countMode << " method " << c.stopMethod << " songs " << c.songs
                                         << " minutes " << c.minutes << " position " << c.positionMs;
    }
}

SYSTEM_POWER_CAPABILITIES capabilities(bool s1, bool s2, bool s3, bool s4, bool hiberFile, bool modernStandby) {
    SYSTEM_POWER_CAPABILITIES c;
    memset(&c, 0, sizeof c);
    c.SystemS1 = s1;
    c.SystemS2 = s2;
    c.SystemS3 = s3;
    c.SystemS4 = s4;
    c.HiberFilePresent = hiberFile;
    c.spare2[2] = modernStandby ? 1 : 0;
    return c;
}

TEST(RulesTest, EndingsFromThePowerCapabilities) {
    const struct {
        SYSTEM_POWER_CAPABILITIES caps;
        bool sleeps;
        bool displayOff;
        bool hibernates;
        const char* hibernateWhyNot;   // part of the reason
    } rows[] = {
        {capabilities(false, false, true, true, true, false), true, false, true, nullptr},
        {capabilities(true, false, false, true, true, false), true, false, true, nullptr},   // S1 alone
        {capabilities(false, true, false, false, false, false), true, false, false, "cannot hibernate"},  // S2 alone
        {capabilities(false, false, false, true, false, false), false, false, false, "hibernation is turned off"},
        {capabilities(false, false, false, true, true, true), true, true, true, nullptr},     // Modern Standby
        {capabilities(false, false, false, false, false, false), false, false, false, "cannot hibernate"},
    };
    for (const auto& row : rows) {
        PowerAbilities abilities = abilitiesFrom(row.caps);
        EXPECT_EQ(abilities.sleep.possible, row.sleeps);
        EXPECT_EQ(abilities.sleep.whyNot != nullptr, !row.sleeps);
        EXPECT_EQ(abilities.sleepTurnsDisplayOff, row.displayOff);
        EXPECT_EQ(abilities.hibernate.possible, row.hibernates);
        if (row.hibernateWhyNot != nullptr) {
            ASSERT_NE(abilities.hibernate.whyNot, nullptr);
            EXPECT_NE(strstr(abilities.hibernate.whyNot, row.hibernateWhyNot), nullptr);
        }
    }
}

}  // namespace
