// The settings record's plain rules, row by row: the values as bytes and
// back, and what a record read late keeps of the listener's changes.

#include <gtest/gtest.h>

#include <limits.h>

#include <vector>

#include "settings/SettingsRecord.h"

namespace {

typedef std::vector<unsigned char> Bytes;

TEST(RecordTest, ChoicesFirstCountsThenTheFadeLittleEndian) {
    const struct {
        SettingsValues values;
        Bytes bytes;
    } rows[] = {
        {defaultSettings(), {1, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 10, 0, 0, 0, 5, 0, 0, 0}},
        {{2, 3, 1, 4, 30, 600}, {2, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 30, 0, 0, 0, 0x58, 2, 0, 0}},
        {{7, 0, 5, -5, INT_MAX, 7},
         {7, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 7, 0, 0, 0}},
        {{INT_MIN, -1, 0x01020304, 0, 256, -1},
         {0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto& row : rows) {
        Bytes record(SettingsRecordSize);
        encodeSettings(row.values, record.data());
        EXPECT_EQ(record, row.bytes);
        EXPECT_TRUE(sameSettings(decodeSettings(row.bytes.data(), SettingsRecordSize), row.values)) << "read back";
    }
}

// Every older Nightcap wrote the first five values alone: such a record
// holds the shortest fade; the rest of it reads as ever.
TEST(RecordTest, AnOlderRecordMeansAFiveSecondFade) {
    const Bytes older = {2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 30, 0, 0, 0, 0x58, 2};
    for (int size : {20, 22}) {
        SettingsValues read = decodeSettings(older.data(), size);
        const SettingsValues expected = {2, 2, 1, 4, 30, 5};
        EXPECT_TRUE(sameSettings(read, expected)) << size << " bytes";
    }
}

TEST(RecordTest, OnlyTheListedFadeLengthsAreUsed) {
    const struct {
        int stored;
        int used;
    } rows[] = {{5, 5}, {30, 30}, {60, 60}, {120, 120}, {300, 300}, {600, 600}, {1200, 1200}, {1800, 1800},
                {0, 5},  {7, 5},   {-30, 5}, {3600, 5}, {INT_MIN, 5}};
    for (const auto& row : rows) {
        EXPECT_EQ(usableFadeSeconds(row.stored), row.used) << row.stored;
    }
}

// The listener's changes since the record was found held go over the record
// read later; what they left as it stood comes from the record.
TEST(RecordTest, ARecordReadLateKeepsOnlyTheListenersChanges) {
    const SettingsValues stood = defaultSettings();  // {1, 1, 3, 3, 10, 5}
    const SettingsValues stored = {2, 3, 1, 4, 30, 600};
    const struct {
        SettingsValues chosen;
        SettingsValues merged;
    } rows[] = {
        {stood, stored},                                 // nothing changed
        {{1, 1, 4, 3, 10, 5}, {2, 3, 4, 4, 30, 600}},    // sleep chosen
        {{2, 1, 3, 3, 45, 5}, {2, 3, 1, 4, 45, 600}},    // minutes mode (as stored) and 45 minutes
        {{1, 2, 5, 0, 10, 60}, {2, 2, 5, 0, 30, 60}},    // a zero count is a change too, and the fade
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(sameSettings(mergeChanges(stored, stood, row.chosen), row.merged))
            << row.chosen.countMode << " " << row.chosen.stopMethod << " " << row.chosen.finalAction << " "
            << row.chosen.songs << " " << row.chosen.minutes << " " << row.chosen.fadeSeconds;
    }
}

}  // namespace
