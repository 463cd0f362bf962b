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

namespace {

// e^-y for y >= 0, by halving y until the series converges fast, then
// squaring back: no library call, so the module imports nothing for it.
double expNegative(double y) {
    int halvings = 0;
    while (y > 0.125) {
        y /= 2;
        ++halvings;
    }
    // 1 - y + y^2/2! - ... to y^8/8!: below 1e-13 for y <= 0.125.
    double term = 1;
    double sum = 1;
    for (int n = 1; n <= 8; ++n) {
        term *= -y / n;
        sum += term;
    }
    while (halvings-- > 0) {
        sum *= sum;
    }
    return sum;
}

const double TwoLn10 = 4.605170185988091;  // 10^-2x = e^(-2 ln 10 x)

}  // namespace

int fadeLevel(int from, long long elapsedMs, long long lengthMs) {
    if (from <= 1 || elapsedMs <= 0) {
        return from;
    }
    double part = elapsedMs >= lengthMs ? 1.0 : static_cast<double>(elapsedMs) / static_cast<double>(lengthMs);
    double level = from * expNegative(TwoLn10 * part) + 0.5;
    int rounded = static_cast<int>(level);
    return rounded < 1 ? 1 : rounded;
}

unsigned int fadeStepMs(int from, long long lengthMs) {
    if (from <= 1 || lengthMs <= 0) {
        return FadeStepMaxMs;
    }
    // The curve falls fastest at its start: from × 2 ln 10 / length levels a
    // millisecond.
    double perLevel = static_cast<double>(lengthMs) / (from * TwoLn10);
    if (perLevel <= FadeStepMinMs) {
        return FadeStepMinMs;
    }
    return perLevel >= FadeStepMaxMs ? FadeStepMaxMs : static_cast<unsigned int>(perLevel);
}

long long msUntilEnd(const CountdownClock& clock) {
    const long long MsPerTick = 500;
    const long long TicksInAMinute = 120;
    bool waitsForSong = clock.countMode == CountMode::Minutes && clock.stopMethod == StopMethod::WaitForSongEnd;
    long long songLeft = -1;
    if (clock.trackKnown && clock.trackLengthMs > 0) {
        long long left = clock.trackLengthMs - (clock.positionMs > 0 ? clock.positionMs : 0);
        songLeft = left > 0 ? left : 0;
    }
    if (clock.countMode == CountMode::Songs) {
        if (clock.songs <= 0) {
            return 0;
        }
        return clock.songs == 1 ? songLeft : -1;
    }
    if (clock.countMode != CountMode::Minutes) {
        return -1;
    }
    if (clock.minutes > 0) {
        if (waitsForSong) {
            return -1;
        }
        long long ticks = clock.minutes * TicksInAMinute - clock.minuteTicks;
        long long toSpent = (ticks > 0 ? ticks : 0) * MsPerTick;
        return clock.stopMethod == StopMethod::ShadeOut ? toSpent + clock.fadeLengthMs : toSpent;
    }
    if (waitsForSong) {
        return songLeft;
    }
    if (clock.stopMethod == StopMethod::ShadeOut) {
        return clock.fading ? (clock.fadeMsLeft > 0 ? clock.fadeMsLeft : 0) : clock.fadeLengthMs;
    }
    return 0;
}
