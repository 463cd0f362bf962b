#pragma once
// The shade-out as the player meets it, told in words for the bench log:
// its start (the volume it falls from, the length chosen in the dialog),
// each tenth of that length with the volume then, its end, and the volume
// given back. It sees only what the plug-in sends the player and the time,
// on the plug-in's own clock (what GetTickCount answers it): the fade
// begins with the countdown's first volume query, as the plug-in asks the
// volume only to fade it.

#include <windows.h>

#include <functional>
#include <string>

class BenchFade {
public:
    // Told each remark, as it is made.
    std::function<void(const std::string&)> say;

    // A countdown was armed; lengthMs is the fade's length its dialog
    // showed then, 0 when none could be read.
    void countdownArmed(long long lengthMs);
    // The plug-in armed a timer faster than the countdown's: the fade's own.
    void stepTimerArmed(UINT periodMs);
    // A message the plug-in sent the player, with the player's answer;
    // nowMs on the plug-in's clock, realMs on the bench's.
    void sent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result, long long nowMs, double realMs);
    // After each tick: the start told, and each tenth passed, with the
    // player's volume.
    void ticked(long long nowMs, int volume);

    // From its first volume query to its stop or pause command.
    bool running() const { return stage == Fading; }
    long long chosenMs() const { return lengthMs; }
    // How much of the chosen length had passed at the last tick, 0 to 1.
    double progress() const;
    // The last fade that ran to its end: its length from the first volume
    // query to the stop or pause command, on the plug-in's clock and in
    // real time; -1 until one ended.
    long long measuredMs = -1;
    double measuredRealMs = -1;

    // "5 seconds", "1 minute", "30 minutes"
    static std::string lengthWords(long long ms);

private:
    enum Stage { Idle, Fading, Ended };
    void begin(int volume, long long nowMs, double realMs);
    void end(long long nowMs, double realMs, const char* how);

    Stage stage = Idle;
    long long lengthMs = 0;
    int fromVolume = 0;
    int level = 0;               // the last volume the plug-in set, or the start's
    int volumeChanges = 0;
    long long startMs = 0;
    double startRealMs = 0;
    long long lastTickMs = 0;
    int startPositionMs = -1;    // where the song was as the fade began
    bool positionAsked = false;
    bool startTold = true;
    UINT stepMs = 0;             // its own timer's period; 0: the countdown's ticks step it
    int tenthsTold = 0;
};
