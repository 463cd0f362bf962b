// The settings record's plain rules, row by row: the values as bytes and
// back, and what a record read late keeps of the listener's changes.

#include <gtest/gtest.h>

#include <limits.h>

#include <vector>

#include "settings/SettingsRecord.h"

namespace {

typedef std::vector<unsigned char> Bytes;

TEST(RecordTest, ChoicesFirstCountsLastLittleEndian) {
    const struct {
        SettingsValues values;
        Bytes bytes;
    } rows[] = {
        {defaultSettings(), {1, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 10, 0, 0, 0}},
        {{2, 3, 1, 4, 30}, {2, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 30, 0, 0, 0}},
        {{7, 0, 5, -5, INT_MAX},
         {7, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0xFB, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
        {{INT_MIN, -1, 0x01020304, 0, 256},
         {0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 0, 0, 0, 0, 0, 1, 0, 0}},
    };
    for (const auto& row : rows) {
        Bytes record(SettingsFileSize);
        encodeSettings(row.values, record.data());
        EXPECT_EQ(record, row.bytes);
        EXPECT_TRUE(sameSettings(decodeSettings(row.bytes.data()), row.values)) << "read back";
    }
}

// The listener's changes since the record was found held go over the record
// read later; what they left as it stood comes from the record.
TEST(RecordTest, ARecordReadLateKeepsOnlyTheListenersChanges) {
    const SettingsValues stood = defaultSettings();  // {1, 1, 3, 3, 10}
    const SettingsValues stored = {2, 3, 1, 4, 30};
    const struct {
        SettingsValues chosen;
        SettingsValues merged;
    } rows[] = {
        {stood, stored},                               // nothing changed
        {{1, 1, 4, 3, 10}, {2, 3, 4, 4, 30}},          // sleep chosen
        {{2, 1, 3, 3, 45}, {2, 3, 1, 4, 45}},          // minutes mode (as stored) and 45 minutes
        {{1, 2, 5, 0, 10}, {2, 2, 5, 0, 30}},          // a zero count is a change too
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(sameSettings(mergeChanges(stored, stood, row.chosen), row.merged))
            << row.chosen.countMode << " " << row.chosen.stopMethod << " " << row.chosen.finalAction << " "
            << row.chosen.songs << " " << row.chosen.minutes;
    }
}

}  // namespace
