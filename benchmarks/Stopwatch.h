#pragma once
// Wall time for the benchmarks, from the performance counter, and the
// samples they take of it.

#include <windows.h>

#include <algorithm>
#include <vector>

class Stopwatch {
public:
    Stopwatch() {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        perSecond = static_cast<double>(frequency.QuadPart);
        restart();
    }
    void restart() { QueryPerformanceCounter(&started); }
    double elapsedMs() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - started.QuadPart) * 1000.0 / perSecond;
    }

private:
    double perSecond;
    LARGE_INTEGER started;
};

// Durations in milliseconds, read as their median and their worst.
class Samples {
public:
    void add(double ms) { values.push_back(ms); }
    size_t size() const { return values.size(); }
    double at(size_t i) const { return values[i]; }
    double median() const {
        if (values.empty()) {
            return 0;
        }
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        size_t middle = sorted.size() / 2;
        return sorted.size() % 2 != 0 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
    }
    double worst() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
    // Sample by sample, the sum of these and other's (as many as the fewer).
    Samples plus(const Samples& other) const {
        Samples sum;
        for (size_t i = 0; i < values.size() && i < other.values.size(); ++i) {
            sum.add(values[i] + other.values[i]);
        }
        return sum;
    }

private:
    std::vector<double> values;
};
