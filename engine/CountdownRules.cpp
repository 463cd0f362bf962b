#include "engine/CountdownRules.h"

#include "settings/SettingsRecord.h"

TrackMove trackMove(int lastMs, int positionMs, long long lengthMs) {
    if (positionMs < lastMs) {
        if (positionMs >= TrackStartWindowMs || lengthMs <= 0) {
            return JumpWithinTrack;
        }
        return static_cast<long long>(lastMs) + TrackEndWindowMs > lengthMs ? TrackChanged : JumpWithinTrack;
    }
    return positionMs > lastMs ? PositionForward : PositionStill;
}

int extensionFor(int countMode) {
    if (countMode == CountMode::Minutes) {
        return ExtendMinutes;
    }
    return countMode == CountMode::Songs ? ExtendSongs : 0;
}

int extendedCount(int count, int more) {
    const int Largest = 2147483647;
    if (more <= 0) {
        return count;
    }
    return count > Largest - more ? Largest : count + more;
}
