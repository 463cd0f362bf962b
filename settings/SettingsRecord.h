#pragma once
// The five values that describe a countdown, and the rules of the 20-byte
// record that keeps them: plain functions, no file and no window.

// The three choices, held as plain 32-bit integers in memory and in the file.
// Values outside these lists are kept as they stand; each user says how it
// treats them.
namespace CountMode {
const int Songs = 1;
const int Minutes = 2;
}  // namespace CountMode

namespace StopMethod {
const int WaitForSongEnd = 1;
const int ShadeOut = 2;
const int StopNow = 3;
}  // namespace StopMethod

namespace FinalAction {
const int StopPlaying = 1;
const int QuitPlayer = 2;
const int HaltComputer = 3;
const int Sleep = 4;
const int Hibernate = 5;
}  // namespace FinalAction

struct SettingsValues {
    int countMode;
    int stopMethod;
    int finalAction;
    int songs;
    int minutes;
};

// 3 songs, 10 minutes, count songs, wait until the song completes, power off.
SettingsValues defaultSettings();

// Five signed 32-bit little-endian integers: the three choices first, the
// counts last.
const int SettingsFileSize = 20;
void encodeSettings(const SettingsValues& values, unsigned char* record);
SettingsValues decodeSettings(const unsigned char* record);

// A record read late (another program held it), and the values the listener
// has chosen meanwhile over what stood in for it (unchosen): each value the
// listener changed goes over the stored one, the rest are the record's.
SettingsValues mergeChanges(const SettingsValues& stored, const SettingsValues& unchosen,
                            const SettingsValues& chosen);

bool sameSettings(const SettingsValues& a, const SettingsValues& b);
