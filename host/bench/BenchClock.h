#pragma once
// The bench player's clock: how far the music has played, in player
// milliseconds. Real: it follows real time times the speed (the host warps
// the plug-in's timer and pauses by the same factor). Simulated: it moves
// only on heartbeats, each playing a few 500 ms steps with one of the
// plug-in's ticks after each, in lockstep: fast and deterministic, for tests.

#include <functional>
#include <string>

// The fastest real clock: the system's timers go no faster than 10 ms, and the
// plug-in's 500 ms tick must keep pace with the warped player clock.
const double MaxSpeed = 50.0;

class BenchClock {
public:
    BenchClock(bool simulated, double speed, int stepsPerBeat);

    // What the clock does to the player, told as it moves.
    std::function<void(int ms)> play;  // that much music plays (a minute at most at a time)
    std::function<void()> moved;       // after each step, or after each catch-up with real time
    std::function<void()> tick;        // simulated: the plug-in's tick, after each step

    long long playerMs() const { return clock; }
    // Real milliseconds since the clock was made.
    long long realMs() const;
    // The same, to the performance counter's resolution.
    double realMsExact() const;

    // Real clock: plays the time that passed since the last call. The
    // simulated clock does not follow real time: nothing.
    void catchUp();
    // One heartbeat: the simulated clock's steps, or the real clock's catch-up.
    void beat();

    // "simulated clock", "speed x20"
    static std::string describe(bool simulated, double speed);

private:
    bool simulated;
    double speed;
    int stepsPerBeat;
    long long clock = 0;
    long long counterFrequency = 1;
    long long startCounter = 0;
    long long lastSyncCounter = 0;
    double remainder = 0;  // warped time below one millisecond
};
