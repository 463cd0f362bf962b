// The countdown's plain rules, row by row: how the play position moved
// between two ticks, what "more" gives, and which endings the computer's
// power capabilities allow.

#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

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
