// Thousands of ticks against a player that answers arbitrary 32-bit values and
// with arbitrary settings, in the build that traps undefined behaviour and in
// the shipped code (with the settings probe): no crash, no count below zero,
// at most four messages to the player in a call of a timer's (a tick, or a
// step of the fade) that does not end the countdown, no heap or file call in
// such a call, no pause anywhere, and never a volume set without a look at
// the volume first.

#include <limits.h>
#include <stdio.h>

#include <random>

#include "dialog/resource.h"
#include "host/DialogDriver.h"
#include "plugin/PlayerMessages.h"
#include "settings/Settings.h"
#include "tests/HostFixture.h"

namespace {

const unsigned Seed = 20240611;
const int TicksPerBuild = 12000;
const int TicksPerRound = 400;

// Values where arithmetic on the answers goes wrong first.
const int Extremes[] = {INT_MIN, INT_MIN + 1, -666, -1, 0, 1, 2999, 3000, 255, 256, INT_MAX - 9791, INT_MAX};

class Chooser {
public:
    explicit Chooser(unsigned seed) : random(seed) {}

    bool chance(int percent) { return between(0, 99) < percent; }
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    int anyInt() {
        if (chance(30)) {
            return Extremes[between(0, static_cast<int>(sizeof Extremes / sizeof Extremes[0]) - 1)];
        }
        return static_cast<int>(std::uniform_int_distribution<unsigned>(0, UINT_MAX)(random));
    }
    // Mostly a small value, sometimes any.
    int smallOrAny(int low, int high) { return chance(80) ? between(low, high) : anyInt(); }

private:
    std::mt19937 random;
};

// A player whose answers are arbitrary, mixed with stretches of a plausible
// playlist, so that track changes, song ends and fades do happen.
class ArbitraryPlayer {
public:
    explicit ArbitraryPlayer(Chooser& choose) : choose(choose) {}

    bool answer(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        result = 0;
        if (message != WM_USER) {
            return true;
        }
        if (lParam == PositionQuery && wParam == PositionInMs) {
            result = position();
        } else if (lParam == PositionQuery && wParam == LengthInSeconds) {
            result = choose.chance(70) ? lengthSeconds : choose.anyInt();
        } else if (lParam == IsPlayingQuery) {
            result = choose.chance(60) ? choose.between(0, 1) : choose.anyInt();
        } else if (lParam == RepeatQuery) {
            result = choose.chance(70) ? choose.between(0, 1) : choose.anyInt();
        } else if (lParam == VolumeMessage && wParam == VolumeQuery) {
            result = choose.chance(50) ? choose.between(0, 255) : choose.anyInt();
        }
        return true;
    }

private:
    int position() {
        if (choose.chance(8)) {
            return choose.anyInt();
        }
        if (choose.chance(3)) {
            return -1;  // stopped
        }
        if (choose.chance(5)) {
            positionMs = choose.between(0, 2999);
            lengthSeconds = choose.between(1, 400);
        } else if (!choose.chance(10)) {  // now and then the position stands still
            positionMs += 500;
            if (positionMs >= lengthSeconds * 1000) {
                positionMs = choose.between(0, 2999);
                lengthSeconds = choose.between(1, 400);
            }
        }
        return positionMs;
    }

    Chooser& choose;
    int positionMs = 0;
    int lengthSeconds = 120;
};

bool countKeptOrLoweredByOne(int before, int after) {
    return after == before || (before > 0 && after == before - 1);
}

LiveSettings valuesFromFile(const std::vector<unsigned char>& bytes) {
    int fields[6] = {0, 0, 0, 0, 0, 5};
    for (size_t i = 0; i < 6 && bytes.size() >= 4 * (i + 1); ++i) {
        unsigned bits = 0;
        for (size_t b = 0; b < 4; ++b) {
            bits |= static_cast<unsigned>(bytes[i * 4 + b]) << (8 * b);
        }
        fields[i] = static_cast<int>(bits);
    }
    // The file keeps the choices first, the counts last.
    return LiveSettings{fields[3], fields[4], fields[0], fields[1], fields[2], fields[5]};
}

}  // namespace

class RobustnessTest : public HostFixture, public ::testing::WithParamInterface<const char*> {
protected:
    // What the rounds went through, to show that the ends were reached.
    int countdowns = 0;
    int refused = 0;
    int ends = 0;
    int fades = 0;

    // One countdown with arbitrary values; returns the ticks it took.
    int round(Chooser& choose) {
        host.reset(new PluginHost());
        ArbitraryPlayer arbitrary(choose);
        player.answerOverride = [&](UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
            return arbitrary.answer(message, wParam, lParam, result);
        };

        // The file's values go through the dialog, which keeps the counts
        // but stores only listed choices; the engine then gets any choice.
        int countMode =
            choose.chance(90) ? (choose.chance(60) ? CountMode::Minutes : CountMode::Songs) : choose.anyInt();
        int stopMethod = choose.chance(40) ? StopMethod::ShadeOut : choose.smallOrAny(1, 3);  // fades, with any volume
        LiveSettings file = {choose.smallOrAny(-2, 4), choose.smallOrAny(-1, 1), countMode, stopMethod,
                               choose.smallOrAny(1, 5)};
        if (choose.chance(25)) {
            // Straight to the shade-out, whatever volume the player answers.
            file.countMode = CountMode::Minutes;
            file.stopMethod = StopMethod::ShadeOut;
            file.minutes = -choose.between(1, 3);
        }
        writeSettings(file.countMode, file.stopMethod, file.finalAction, file.songs, file.minutes);
        startPlugin(GetParam());
        EXPECT_TRUE(moduleSettings() == file);
        DialogDriver driver(playerWindow->handle(), host.get());
        driver.then([&](DialogDriver& d) {
            d.click(IDC_START_STOP);
            if (host->liveTimers() != 1) {
                d.escape();  // refused: the dialog stays open with its box answered
            }
        });
        driver.run([&] { host->config(); });
        ++countdowns;
        if (host->liveTimers() != 1) {
            ++refused;
            return 0;
        }
        LiveSettings saved = valuesFromFile(readSettingsBytes());
        LiveSettings engineGets = moduleSettings();
        engineGets.countMode = choose.chance(85) ? engineGets.countMode : choose.anyInt();
        engineGets.stopMethod = choose.chance(80) ? engineGets.stopMethod : choose.anyInt();
        engineGets.finalAction = choose.chance(60) ? engineGets.finalAction : choose.anyInt();
        engineGets.fadeSeconds = choose.chance(70) ? FadeLengths[choose.between(0, FadeLengthCount - 1)] : choose.anyInt();
        setModuleSettings(engineGets);

        // Each call of a timer's, on its own.
        LiveSettings before = moduleSettings();
        bool fadeSeen = false;
        host->beforeTick = [&] {
            before = moduleSettings();
            host->trace.clear();
        };
        host->afterTick = [&] {
            LiveSettings after = moduleSettings();
            int sends = 0;
            int volumeLooks = 0;
            int volumeSets = 0;
            for (const TraceEvent& send : host->trace.ofKind(TraceEvent::Send)) {
                ++sends;
                if (send.lParam == VolumeMessage) {
                    (send.wParam == VolumeQuery ? volumeLooks : volumeSets) += 1;
                }
            }
            fadeSeen = fadeSeen || volumeLooks > 0;
            EXPECT_EQ(host->trace.count(TraceEvent::Sleep), 0);
            if (host->liveTimers() > 0) {
                EXPECT_LE(sends, 4);
                EXPECT_LE(volumeSets, volumeLooks) << "a level set without a look at the volume";
                EXPECT_EQ(host->trace.count(TraceEvent::Heap), 0);
                EXPECT_EQ(host->trace.count(TraceEvent::File), 0);
                EXPECT_TRUE(countKeptOrLoweredByOne(before.songs, after.songs))
                    << before.songs << " -> " << after.songs;
                EXPECT_TRUE(countKeptOrLoweredByOne(before.minutes, after.minutes))
                    << before.minutes << " -> " << after.minutes;
                EXPECT_TRUE(after.songs == before.songs || after.minutes == before.minutes);
            } else {
                EXPECT_LE(volumeSets, volumeLooks + 1) << "the last step, and the volume given back";
                EXPECT_TRUE(after == saved) << "the end reloads the saved values";
            }
        };
        int ticks = 0;
        while (ticks < TicksPerRound && host->liveTimers() > 0) {
            host->tick();
            ++ticks;
            if (host->liveTimers() == 0) {
                ++ends;
                fades += fadeSeen ? 1 : 0;
            }
            if (HasFailure()) {
                ADD_FAILURE() << "round with count mode " << engineGets.countMode << ", stop method "
                              << engineGets.stopMethod << ", final action " << engineGets.finalAction << ", songs "
                              << engineGets.songs << ", minutes " << engineGets.minutes << ", tick " << ticks;
                break;
            }
        }

        host->beforeTick = nullptr;
        host->afterTick = nullptr;
        host->trace.clear();
        host->quit();
        // Nothing but the timers killed, a fade's volume given back, and the
        // repeat the countdown switched on switched off.
        for (const TraceEvent& event : host->trace.events) {
            bool allowed = event.isResource() || event.isNotificationArea() || event.kind == TraceEvent::KillTimer ||
                           (event.kind == TraceEvent::Send && event.message == PlayerMessage &&
                            (event.lParam == VolumeMessage || (event.lParam == SetRepeat && event.wParam == 0)));
            EXPECT_TRUE(allowed) << Trace::describe(event);
        }
        EXPECT_EQ(host->liveTimers(), 0);
        takeQuitMessage();
        player.answerOverride = nullptr;
        return ticks;
    }
};

TEST_P(RobustnessTest, ArbitraryAnswersAndSettings) {
    Chooser choose(Seed);
    int ticks = 0;
    while (ticks < TicksPerBuild && !HasFailure()) {
        ticks += round(choose);
    }
    printf("%s: %d ticks; %d countdowns, %d refused by the dialog, %d ended, %d of them with a fade\n", GetParam(),
           ticks, countdowns, refused, ends, fades);
}

// The shipped code, and the same sources with undefined behaviour trapped.
INSTANTIATE_TEST_SUITE_P(Builds, RobustnessTest, ::testing::Values(CheckedModule, ProbeModule));
