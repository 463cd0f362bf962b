#include "host/bench/BenchFade.h"

#include "host/bench/BenchLog.h"
#include "plugin/PlayerMessages.h"

std::string BenchFade::lengthWords(long long ms) {
    if (ms <= 0) {
        return "a length the bench could not read";
    }
    bool minutes = ms >= 60000 && ms % 60000 == 0;
    long long count = minutes ? ms / 60000 : (ms + 500) / 1000;
    return std::to_string(count) + (minutes ? (count == 1 ? " minute" : " minutes") : (count == 1 ? " second" : " seconds"));
}

void BenchFade::countdownArmed(long long chosen) {
    stage = Idle;
    lengthMs = chosen;
    startTold = true;
}

void BenchFade::stepTimerArmed(UINT periodMs) {
    if (stage == Fading) {
        stepMs = periodMs;
    }
}

double BenchFade::progress() const {
    if (stage != Fading || lengthMs <= 0) {
        return 0;
    }
    double part = static_cast<double>(lastTickMs - startMs) / static_cast<double>(lengthMs);
    return part < 0 ? 0 : (part > 1 ? 1 : part);
}

void BenchFade::begin(int volume, long long nowMs, double realMs) {
    stage = Fading;
    fromVolume = volume;
    level = volume;
    volumeChanges = 0;
    startMs = nowMs;
    startRealMs = realMs;
    lastTickMs = nowMs;
    startPositionMs = -1;
    positionAsked = false;
    startTold = false;
    stepMs = 0;
    tenthsTold = 0;
}

void BenchFade::end(long long nowMs, double realMs, const char* how) {
    stage = Ended;
    measuredMs = nowMs - startMs;
    measuredRealMs = realMs - startRealMs;
    say("the fade is over after " + BenchLog::formatTime(measuredMs) + " (" + lengthWords(lengthMs) +
        " chosen): " + std::to_string(volumeChanges) + " volume changes, down to " + std::to_string(level) +
        "; then the " + how + " command");
}

void BenchFade::sent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result, long long nowMs, double realMs) {
    bool command = message == WM_COMMAND && (LOWORD(wParam) == StopCommand || LOWORD(wParam) == PauseCommand);
    if (command && stage == Fading) {
        end(nowMs, realMs, LOWORD(wParam) == StopCommand ? "stop" : "pause");
        return;
    }
    if (message != PlayerMessage) {
        return;
    }
    int answer = static_cast<int>(result);
    if (lParam == VolumeMessage && wParam == VolumeQuery) {
        if (stage == Idle) {
            begin(answer, nowMs, realMs);
        } else if (stage == Fading && answer != level) {
            level = answer;
            say("the listener moved the volume to " + std::to_string(answer) + ": the fade goes on from there");
        }
    } else if (lParam == VolumeMessage) {
        int volume = static_cast<int>(wParam);
        if (stage == Fading && volume <= level) {
            level = volume;
            ++volumeChanges;
        } else if (stage == Fading) {
            // A fade only falls: this is the listener's volume, given back
            // before the fade's end (the countdown stopped, given more
            // time, or the player quitting).
            stage = Idle;
            say("the fade ends early, after " + BenchLog::formatTime(nowMs - startMs) + " of " + lengthWords(lengthMs) +
                ": the volume given back: " + std::to_string(volume));
        } else if (stage == Ended) {
            stage = Idle;
            say("the volume given back: " + std::to_string(volume));
        }
    } else if (lParam == PositionQuery && wParam == PositionInMs && stage == Fading && !positionAsked) {
        positionAsked = true;
        startPositionMs = answer;
    } else if (lParam == JumpToTime && startPositionMs >= 0 && static_cast<int>(wParam) == startPositionMs) {
        say("back to where the fade began (" + BenchLog::formatTime(startPositionMs) + ")");
    }
}

void BenchFade::ticked(long long nowMs, int volume) {
    if (stage != Fading) {
        return;
    }
    lastTickMs = nowMs;
    if (!startTold) {
        startTold = true;
        say("the fade begins: from volume " + std::to_string(fromVolume) + ", over " + lengthWords(lengthMs) +
            (stepMs > 0 ? ", a step every " + std::to_string(stepMs) + " ms on a timer of its own"
                        : std::string(", stepped by the countdown's ticks")));
    }
    // The tenths that have passed, the last one told with the fade's end.
    while (lengthMs > 0 && tenthsTold < 9 && (nowMs - startMs) * 10 >= lengthMs * (tenthsTold + 1)) {
        ++tenthsTold;
        say("fade " + std::to_string(tenthsTold * 10) + "% (" + BenchLog::formatTime(nowMs - startMs) + " of " +
            lengthWords(lengthMs) + "): volume " + std::to_string(volume));
    }
}
