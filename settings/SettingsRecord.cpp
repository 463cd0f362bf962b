#include "settings/SettingsRecord.h"

#include <string.h>

namespace {

void putInt(unsigned char* at, int value) {
    unsigned int bits = static_cast<unsigned int>(value);
    at[0] = static_cast<unsigned char>(bits);
    at[1] = static_cast<unsigned char>(bits >> 8);
    at[2] = static_cast<unsigned char>(bits >> 16);
    at[3] = static_cast<unsigned char>(bits >> 24);
}

int getInt(const unsigned char* at) {
    unsigned int bits = static_cast<unsigned int>(at[0]) | (static_cast<unsigned int>(at[1]) << 8) |
                        (static_cast<unsigned int>(at[2]) << 16) | (static_cast<unsigned int>(at[3]) << 24);
    int value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

int changed(int stored, int unchosen, int chosen) {
    return chosen != unchosen ? chosen : stored;
}

}  // namespace

int usableFadeSeconds(int value) {
    for (int length : FadeLengths) {
        if (length == value) {
            return value;
        }
    }
    return DefaultFadeSeconds;
}

SettingsValues defaultSettings() {
    SettingsValues values = {CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, 3, 10,
                             DefaultFadeSeconds};
    return values;
}

void encodeSettings(const SettingsValues& values, unsigned char* record) {
    putInt(record + 0, values.countMode);
    putInt(record + 4, values.stopMethod);
    putInt(record + 8, values.finalAction);
    putInt(record + 12, values.songs);
    putInt(record + 16, values.minutes);
    putInt(record + 20, values.fadeSeconds);
}

SettingsValues decodeSettings(const unsigned char* record, int size) {
    SettingsValues values = {getInt(record + 0),  getInt(record + 4),
                             getInt(record + 8),  getInt(record + 12),
                             getInt(record + 16), size >= SettingsRecordSize ? getInt(record + 20) : DefaultFadeSeconds};
    return values;
}

SettingsValues mergeChanges(const SettingsValues& stored, const SettingsValues& unchosen,
                            const SettingsValues& chosen) {
    SettingsValues merged = {
        changed(stored.countMode, unchosen.countMode, chosen.countMode),
        changed(stored.stopMethod, unchosen.stopMethod, chosen.stopMethod),
        changed(stored.finalAction, unchosen.finalAction, chosen.finalAction),
        changed(stored.songs, unchosen.songs, chosen.songs),
        changed(stored.minutes, unchosen.minutes, chosen.minutes),
        changed(stored.fadeSeconds, unchosen.fadeSeconds, chosen.fadeSeconds),
    };
    return merged;
}

bool sameSettings(const SettingsValues& a, const SettingsValues& b) {
    return a.countMode == b.countMode && a.stopMethod == b.stopMethod && a.finalAction == b.finalAction &&
           a.songs == b.songs && a.minutes == b.minutes && a.fadeSeconds == b.fadeSeconds;
}
