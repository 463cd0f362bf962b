#pragma once
// The countdown's pure rules: how the play position moved between two ticks,
// how much "more" gives, the fade's curve, and when the end comes. Plain
// functions, no player and no timer.

const int TrackStartWindowMs = 3000;         // a track change lands below this position
const int TrackEndWindowMs = 9791;           // ...coming from this close to the end

// How the play position moved since the last tick.
enum TrackMove {
    PositionForward,      // playing on: the track's length is worth asking again
    PositionStill,        // not moving: stopped, paused, or a slow tick
    JumpWithinTrack,      // backwards, but not from a track's end to a start
    TrackChanged,         // from the last seconds of a track to the start of one
};

// lastMs and positionMs are never negative (a negative answer reads as 0);
// lengthMs is the track's length as last answered, 0 or less when unknown,
// which no backward jump counts against.
TrackMove trackMove(int lastMs, int positionMs, long long lengthMs);

// "10 more minutes" or "One more song": what the running countdown's mode
// gets, 0 for a mode that counts nothing.
const int ExtendMinutes = 10;
const int ExtendSongs = 1;
int extensionFor(int countMode);
// count plus more, up to the largest count and not past it: the listener's
// "more" must not wrap round into an end.
int extendedCount(int count, int more);

// --- the shade-out ---

// The volume on the fade's curve: from `from`, down by equal steps of
// loudness to a hundredth of it (40 dB) over lengthMs, never below 1:
// round(from × 10^(−2 × elapsed / length)). from below 1 stays as it is.
int fadeLevel(int from, long long elapsedMs, long long lengthMs);
// How often a fade from `from` over lengthMs needs a step for each to
// change the volume by about one level where the curve is steepest (its
// start): between FadeStepMinMs and FadeStepMaxMs.
const unsigned int FadeStepMinMs = 20;
const unsigned int FadeStepMaxMs = 500;
unsigned int fadeStepMs(int from, long long lengthMs);

// --- when the end comes ---

// What the countdown knows of its end, as a tick leaves it.
struct CountdownClock {
    int countMode;
    int stopMethod;
    int songs;
    int minutes;
    int minuteTicks;           // ticks counted towards the current minute
    long long fadeLengthMs;    // the chosen fade's length
    bool fading;
    long long fadeMsLeft;      // while fading
    bool trackKnown;           // the song's length has been read since it began
    long long trackLengthMs;
    int positionMs;
};

// Milliseconds until the computer goes or the player quits (the end of the
// song that ends the countdown, of the fade, or the moment the count is
// spent), or -1 while it depends on a song not yet playing.
long long msUntilEnd(const CountdownClock& clock);
// A warning a minute ahead: due when the end is this near.
const long long EndWarningMs = 60000;
