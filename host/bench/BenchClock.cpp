#include "host/bench/BenchClock.h"

#include <windows.h>

#include <stdio.h>

namespace {

// One plug-in tick of play per simulated step.
const int SimulatedStepMs = 500;
// The play position is a 32-bit count: real time is played in bounded steps.
const long long LongestPlayMs = 60000;

long long counterNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

}  // namespace

BenchClock::BenchClock(bool simulated, double speed, int stepsPerBeat)
    : simulated(simulated), speed(speed), stepsPerBeat(stepsPerBeat) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    counterFrequency = frequency.QuadPart;
    startCounter = counterNow();
    lastSyncCounter = startCounter;
}

long long BenchClock::realMs() const {
    return (counterNow() - startCounter) * 1000 / counterFrequency;
}

double BenchClock::realMsExact() const {
    return static_cast<double>(counterNow() - startCounter) * 1000.0 / static_cast<double>(counterFrequency);
}

void BenchClock::catchUp() {
    long long now = counterNow();
    long long elapsed = now - lastSyncCounter;
    lastSyncCounter = now;
    if (simulated) {
        return;
    }
    double warped =
        static_cast<double>(elapsed) * 1000.0 / static_cast<double>(counterFrequency) * speed + remainder;
    long long whole = static_cast<long long>(warped);
    remainder = warped - static_cast<double>(whole);
    while (whole > 0) {
        int step = static_cast<int>(whole > LongestPlayMs ? LongestPlayMs : whole);
        clock += step;
        play(step);
        whole -= step;
    }
    moved();
}

void BenchClock::beat() {
    if (!simulated) {
        catchUp();
        return;
    }
    for (int i = 0; i < stepsPerBeat; ++i) {
        clock += SimulatedStepMs;
        play(SimulatedStepMs);
        moved();
        tick();
    }
}

std::string BenchClock::describe(bool simulated, double speed) {
    if (simulated) {
        return "simulated clock";
    }
    char text[32];
    snprintf(text, sizeof text, "speed x%g", speed);
    return text;
}
