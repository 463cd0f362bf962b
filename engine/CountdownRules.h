#pragma once
// The countdown's pure rules: how the play position moved between two ticks,
// and how much "more" gives. Plain functions, no player and no timer.

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
