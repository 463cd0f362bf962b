#include "engine/VolumeFade.h"

#include "engine/CountdownRules.h"
#include "plugin/PlayerMessages.h"

namespace {

// The player's own volume scale tops out here; an answer above it fades
// from the top of the scale.
const int LoudestLevel = 255;

int onScale(int volume) {
    return volume > LoudestLevel ? LoudestLevel : volume;
}

int notNegative(int position) {
    return position < 0 ? 0 : position;
}

}  // namespace

VolumeFade::VolumeFade()
    : active(false),
      pendingGiveBack(false),
      startTick(0),
      length(0),
      listenerVolume(0),
      lastLevel(0),
      segmentFrom(0),
      segmentStartMs(0),
      startPosition(0),
      lastPosition(0),
      keptPlace(true) {}

void VolumeFade::begin(long long lengthMs) {
    listenerVolume = playerVolume();
    lastLevel = listenerVolume;
    segmentFrom = onScale(listenerVolume);
    segmentStartMs = 0;
    startPosition = notNegative(playerPositionMs());
    lastPosition = startPosition;
    keptPlace = true;
    length = lengthMs;
    // Unsigned: the difference of two readings is right across the counter's
    // wrap after 49.7 days.
    startTick = GetTickCount();
    active = true;
    pendingGiveBack = false;
}

long long VolumeFade::msLeft() const {
    if (!active) {
        return 0;
    }
    long long elapsed = static_cast<DWORD>(GetTickCount() - startTick);
    return elapsed >= length ? 0 : length - elapsed;
}

unsigned int VolumeFade::stepMs() const {
    return fadeStepMs(segmentFrom, length);
}

bool VolumeFade::step() {
    if (!active) {
        return false;
    }
    long long elapsed = static_cast<DWORD>(GetTickCount() - startTick);
    if (elapsed >= length) {
        return true;
    }
    int level = fadeLevel(segmentFrom, elapsed - segmentStartMs, length - segmentStartMs);
    if (level == lastLevel) {
        return false;
    }
    int now = playerVolume();
    if (now != lastLevel) {
        // The listener moved it: down from there over the time left, and
        // theirs is the volume given back.
        listenerVolume = now;
        lastLevel = now;
        segmentFrom = onScale(now);
        segmentStartMs = elapsed;
        return false;
    }
    setPlayerVolume(level);
    lastLevel = level;
    return false;
}

void VolumeFade::watchPlace() {
    int position = notNegative(playerPositionMs());
    if (position < lastPosition) {
        keptPlace = false;
    }
    lastPosition = position;
}

void VolumeFade::complete() {
    if (active) {
        active = false;
        pendingGiveBack = true;
    }
}

void VolumeFade::giveBack() {
    if (active || pendingGiveBack) {
        active = false;
        pendingGiveBack = false;
        setPlayerVolume(listenerVolume);
    }
}

void VolumeFade::forget() {
    active = false;
    pendingGiveBack = false;
}
