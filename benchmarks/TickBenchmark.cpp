// What a tick costs beside the messages it sends to the player, whether it
// touches the heap or a file, and how long a shade-out holds the player's
// thread against a tick of the countdown. A benchmark: it prints, and fails
// only when it cannot run at all.

#include <stdio.h>

#include <algorithm>
#include <functional>

#include "benchmarks/Stopwatch.h"
#include "dialog/resource.h"
#include "host/DialogDriver.h"
#include "host/ImportPatch.h"
#include "plugin/PlayerMessages.h"
#include "settings/Settings.h"
#include "tests/HostFixture.h"

namespace {

// Many short batches, the best of each kind kept: Wine's timing wanders by
// a tenth from run to run, short stretches less.
const int TicksPerBatch = 20000;
const int Batches = 35;

const char* const HeapCalls[] = {"malloc", "calloc", "realloc", "free"};
const char* const FileCalls[] = {"CreateFileA",      "ReadFile",          "WriteFile",          "FlushFileBuffers",
                                 "CloseHandle",      "GetFileAttributesA", "DeleteFileA",        "MoveFileExA",
                                 "CreateDirectoryA", "SHGetFolderPathA"};

// Counted whether the trace records or not.
template <size_t Count>
int callsOf(const PluginHost& host, const char* const (&functions)[Count]) {
    int calls = 0;
    for (const char* function : functions) {
        calls += host.callsOf(function);
    }
    return calls;
}

}  // namespace

class TickBenchmark : public HostFixture {
protected:
    // From a fresh pluginInit on the settings given, as the player starts.
    void startCountdown(int countMode, int stopMethod, int finalAction, int songs, int minutes, int fadeSeconds = 5) {
        writeSettings(countMode, stopMethod, finalAction, songs, minutes, fadeSeconds);
        if (host->module() == NULL) {
            startPlugin();
        } else {
            if (host->initialised()) {
                host->quit();
            }
            ASSERT_EQ(host->init(), 0);
        }
        DialogDriver driver(playerWindow->handle(), host.get());
        driver.then([](DialogDriver& d) { d.click(IDC_START_STOP); });
        driver.run([&] { host->config(); });
        ASSERT_EQ(host->liveTimers(), 1) << "the dialog did not start the countdown";
    }

    // Each call into the plug-in, timed as the host delivers it (the trace
    // off), over count ticks or until no timer is left.
    Samples holds(int count, const std::function<void()>& beforeEach = nullptr) {
        Samples held;
        Stopwatch clock;
        host->trace.enabled = false;
        host->beforeTick = [&] { clock.restart(); };
        host->afterTick = [&] { held.add(clock.elapsedMs()); };
        for (int i = 0; i < count && host->liveTimers() > 0; ++i) {
            if (beforeEach) {
                beforeEach();
            }
            host->tick();
        }
        host->beforeTick = nullptr;
        host->afterTick = nullptr;
        host->trace.enabled = true;
        return held;
    }
};

// Counting songs through one very long track: every tick asks the position,
// the repeat mode and (the position having moved) the length, and counts
// nothing. The same messages, sent bare from here the way the module sends
// them, are the yardstick.
TEST_F(TickBenchmark, TickAgainstItsMessages) {
    player.playlist = {{"Very long", 2000000}};
    player.state = PlayerModel::Playing;
    player.positionMs = 1000;
    player.repeat = true;
    startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 1000000, 10);

    // The tick as the message loop delivers it: the timer's own callback.
    const PluginHost::Timer timer = *std::find_if(host->timers.begin(), host->timers.end(),
                                                  [](const PluginHost::Timer& t) { return t.alive; });
    timer.proc(NULL, WM_TIMER, timer.id, 0);  // primes the detector
    host->trace.clear();
    player.positionMs += 500;
    timer.proc(NULL, WM_TIMER, timer.id, 0);
    std::vector<TraceEvent> sends = host->trace.ofKind(TraceEvent::Send);
    ASSERT_FALSE(sends.empty());
    std::string sent;
    for (const TraceEvent& send : sends) {
        sent += (sent.empty() ? "" : ", ") + Trace::describe(send);
    }

    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Message> messages;
    for (const TraceEvent& send : sends) {
        messages.push_back({send.message, send.wParam, send.lParam});
    }

    host->trace.enabled = false;
    HWND playerHandle = playerWindow->handle();
    // The bare messages take the module's own way to the player, through the
    // host's replacement, so the yardstick carries the rig's cost too.
    typedef LRESULT(WINAPI * SendFunction)(HWND, UINT, WPARAM, LPARAM);
    SendFunction sendAsTheModule =
        reinterpret_cast<SendFunction>(importedAddress(host->module(), "SendMessageA"));
    ASSERT_NE(sendAsTheModule, nullptr);
    int heapBefore = callsOf(*host, HeapCalls);
    int fileBefore = callsOf(*host, FileCalls);
    double bestTickNs = 1e30;
    double bestBareNs = 1e30;
    for (int batch = 0; batch < Batches; ++batch) {
        player.positionMs = 1000;
        timer.proc(NULL, WM_TIMER, timer.id, 0);  // settles after the jump back
        Stopwatch ticking;
        for (int i = 0; i < TicksPerBatch; ++i) {
            player.positionMs += 500;
            timer.proc(NULL, WM_TIMER, timer.id, 0);
        }
        bestTickNs = std::min(bestTickNs, ticking.elapsedMs() * 1e6 / TicksPerBatch);

        player.positionMs = 1000;
        Stopwatch bare;
        for (int i = 0; i < TicksPerBatch; ++i) {
            player.positionMs += 500;
            for (const Message& m : messages) {
                sendAsTheModule(playerHandle, m.message, m.wParam, m.lParam);
            }
        }
        bestBareNs = std::min(bestBareNs, bare.elapsedMs() * 1e6 / TicksPerBatch);
    }
    int heapCalls = callsOf(*host, HeapCalls) - heapBefore;
    int fileCalls = callsOf(*host, FileCalls) - fileBefore;
    host->trace.enabled = true;
    ASSERT_EQ(host->liveTimers(), 1);

    double ratio = bestTickNs / bestBareNs;
    printf("Tick: sends %s\n", sent.c_str());
    printf("Tick: %.0f ns per tick, %.0f ns for its %d bare messages: ratio %.2f (goal at most 1.5: %s)\n",
           bestTickNs, bestBareNs, static_cast<int>(sends.size()), ratio, ratio <= 1.5 ? "met" : "MISSED");
    printf("Tick: over %d ticks, %d heap allocations and %d file calls (goal none: %s)\n",
           Batches * (TicksPerBatch + 1), heapCalls, fileCalls, heapCalls == 0 && fileCalls == 0 ? "met" : "MISSED");
}

// The shade-out from volume 255 over 5 s and over a minute: each call into
// the plug-in from the fade's first to its last, timed as the host delivers
// it. Its steps between (its own timer's and the countdown's ticks) against
// as many ordinary ticks counting songs through a long track (three
// messages each); the first call (the minute's end: the fade's timer armed,
// the icon told) and the last (the countdown's finish) apart. The longest
// of a run is the system's as much as the plug-in's: the median of the
// longest over several runs is compared. A first fade, not counted, warms
// the code up. The fade that paused between its steps held the thread 4.9 s
// at once.
TEST_F(TickBenchmark, FadeHoldsThePlayerNoLongerThanATick) {
    const int Runs = 7;
    for (int seconds : {5, 60}) {
        Samples longestSteps, longestTicks, stepMedians, tickMedians, firsts, lasts;
        double longestStep = 0;
        double longestTick = 0;
        size_t stepCount = 0;
        for (int run = 0; run <= Runs; ++run) {
            player.playlist = {{"Very long", 2000000}};
            player.state = PlayerModel::Playing;
            player.positionMs = 1000;
            player.volume = 255;
            startCountdown(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::StopPlaying, 3, -1, seconds);
            Samples fade = holds(1000000);
            ASSERT_EQ(host->liveTimers(), 0) << "the fade did not end";
            ASSERT_GT(fade.size(), 2u);
            Samples steps;
            for (size_t i = 1; i + 1 < fade.size(); ++i) {
                steps.add(fade.at(i));
            }
            startCountdown(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 1000000, 10);
            Samples ticks = holds(static_cast<int>(steps.size()), [this] { player.positionMs += 500; });
            ASSERT_EQ(host->liveTimers(), 1);
            host->quit();
            if (run == 0) {
                continue;
            }
            stepCount = steps.size();
            longestSteps.add(steps.worst());
            longestTicks.add(ticks.worst());
            stepMedians.add(steps.median());
            tickMedians.add(ticks.median());
            firsts.add(fade.at(0));
            lasts.add(fade.at(fade.size() - 1));
            longestStep = std::max(longestStep, steps.worst());
            longestTick = std::max(longestTick, ticks.worst());
        }
        printf("Fade: %2d s from volume 255, %d fades of %u steps: the longest step held the player's thread %.3f ms "
               "(median of the runs; of all %.3f ms; a step's median %.3f ms) | an ordinary tick, as many: the longest "
               "%.3f ms (of all %.3f ms; median %.3f ms) | goal: no longer than a tick's: %s | the tick that began "
               "it %.3f ms, the one that ended it and the countdown %.3f ms (medians)\n",
               seconds, Runs, static_cast<unsigned>(stepCount), longestSteps.median(), longestStep,
               stepMedians.median(), longestTicks.median(), longestTick, tickMedians.median(),
               longestSteps.median() <= longestTicks.median() ? "met" : "MISSED", firsts.median(), lasts.median());
        fflush(stdout);
    }
}
