#pragma once
// The six values that describe a countdown, and the rules of the record
// that keeps them: plain functions, no file and no window.

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
// Pauses instead of stopping, so that the listener's place is kept.
const int Pause = 6;
}  // namespace FinalAction

// How long the shade-out lasts, in seconds: one of these; any other value is
// shown and used as the first, five seconds.
const int FadeLengths[] = {5, 30, 60, 120, 300, 600, 1200, 1800};
const int FadeLengthCount = sizeof FadeLengths / sizeof FadeLengths[0];
const int DefaultFadeSeconds = 5;
// value when it is one of FadeLengths, else DefaultFadeSeconds.
int usableFadeSeconds(int value);

struct SettingsValues {
    int countMode;
    int stopMethod;
    int finalAction;
    int songs;
    int minutes;
    int fadeSeconds;
};

// 3 songs, 10 minutes, count songs, wait until the song completes, power
// off, a fade of five seconds.
SettingsValues defaultSettings();

// Signed 32-bit little-endian integers: the three choices first, the counts,
// then the fade's length. Every older Nightcap wrote the first five alone,
// and reads only those of a longer record; a record of those five holds a
// fade of five seconds.
const int SettingsFileSize = 20;             // the shortest whole record
const int SettingsRecordSize = 24;           // what a save writes
void encodeSettings(const SettingsValues& values, unsigned char* record);
// size: the bytes read, SettingsFileSize up to SettingsRecordSize.
SettingsValues decodeSettings(const unsigned char* record, int size);

// A record read late (another program held it), and the values the listener
// has chosen meanwhile over what stood in for it (unchosen): each value the
// listener changed goes over the stored one, the rest are the record's.
SettingsValues mergeChanges(const SettingsValues& stored, const SettingsValues& unchosen,
                            const SettingsValues& chosen);

bool sameSettings(const SettingsValues& a, const SettingsValues& b);
