#pragma once
// The shade-out: the player's volume falls on a curve that sounds even
// (fadeLevel) over the chosen length, a step at a time from timer messages,
// never by waiting on the player's thread. Each step's level comes from the
// time since the fade began, so a late timer skips levels rather than
// stretching the fade. The volume is the listener's: a move of theirs
// during the fade is followed (down from their volume over the time left),
// and whatever ends the fade gives their volume back.

#include <windows.h>

class VolumeFade {
public:
    VolumeFade();

    // Asks the player's volume and place, and starts the clock.
    void begin(long long lengthMs);
    bool running() const { return active; }
    long long lengthMs() const { return length; }
    long long msLeft() const;
    // How often the fade wants a step.
    unsigned int stepMs() const;

    // One step: the level for the time now, set when it changed (after a
    // look at the volume, to see whether the listener moved it). True once
    // the length has passed.
    bool step();
    // The place as a tick sees it: a jump back means another song, or a
    // seek, and the place the fade began is then no longer where to go back.
    void watchPlace();

    // The fade is over; the volume is not given back yet (pause, jump,
    // then the volume). Where it began, when that is still in this song.
    void complete();
    bool placeKept() const { return keptPlace; }
    int startPositionMs() const { return startPosition; }
    // The listener's volume back, and the fade done with.
    void giveBack();
    // Done with, the player told nothing (it quit the plug-in).
    void forget();
    // A fade completed and waiting for its volume to be given back.
    bool awaitingGiveBack() const { return pendingGiveBack; }

private:
    bool active;
    bool pendingGiveBack;
    DWORD startTick;
    long long length;
    int listenerVolume;        // the volume to give back, as the player answered it
    int lastLevel;             // what the player's volume is now, as far as the fade knows
    // The curve runs from segmentFrom at segmentStartMs to its end at length;
    // a listener's move starts a new segment.
    int segmentFrom;
    long long segmentStartMs;
    int startPosition;
    int lastPosition;
    bool keptPlace;
};
