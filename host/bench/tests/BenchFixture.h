#pragma once
// The bench tests' fixture: a bench player on the simulated clock, playing a
// scripted session through to the player's close, and the means to read its
// log.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include "host/bench/BenchPlayer.h"
#include "host/bench/BenchSession.h"
#include "plugin/PlayerMessages.h"
#include "settings/Settings.h"
#include "tests/HostFixture.h"

inline Scenario songs(int count, int finalAction) {
    Scenario scenario;
    scenario.count = count;
    scenario.finalAction = finalAction;
    return scenario;
}

inline Scenario minutes(int count, int stopMethod, int finalAction = FinalAction::StopPlaying, int fadeSeconds = 0) {
    Scenario scenario = songs(count, finalAction);
    scenario.countMode = CountMode::Minutes;
    scenario.stopMethod = stopMethod;
    scenario.fadeSeconds = fadeSeconds;
    return scenario;
}

// A line's time stamp, in ms of play.
inline long long stampMs(const std::string& line) {
    return static_cast<long long>(atof(line.c_str()) * 1000 + 0.5);
}

// The log line of the given tick of the countdown, or "" when it left none.
inline std::string tickLine(const BenchLog& log, int tick) {
    std::string mark = "tick " + std::to_string(tick) + ": ";
    for (const std::string& line : log.lines) {
        if (line.find(mark) != std::string::npos) {
            return line.substr(line.find(mark) + mark.size());
        }
    }
    return std::string();
}

// Index of the first line containing text, or -1.
inline int lineIndex(const BenchLog& log, const std::string& text, int from = 0) {
    for (size_t i = static_cast<size_t>(from); i < log.lines.size(); ++i) {
        if (log.lines[i].find(text) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

inline std::string allLines(const BenchLog& log) {
    std::string all;
    for (const std::string& line : log.lines) {
        all += line + "\n";
    }
    return all;
}

// The plug-in keeps its settings in the test's own folder; the fixture's
// player window and host go unused: the bench player brings its own.
class BenchTest : public HostFixture {
protected:
    void TearDown() override {
        session.reset();
        bench.reset();
        HostFixture::TearDown();
    }

    // A bench player on the simulated clock, without a session.
    void makePlayer(const std::string& playlistPath = std::string()) {
        BenchOptions options;
        options.simulated = true;
        options.ticksPerHeartbeat = 10;
        options.homeFolder = folder;
        options.homeRefuses = homeRefuses;
        options.sleepStates = !modernStandby;
        options.modernStandby = modernStandby;
        options.appDataFolder = appData;
        options.showMessageBoxes = false;
        options.echo = false;
        options.playlistPath = playlistPath;
        bench.reset();
        bench.reset(new BenchPlayer(options));
    }

    // The loop, until the player closes; it leaves nothing running.
    void runToClose() {
        bench->run();
        EXPECT_EQ(bench->window(), static_cast<HWND>(NULL)) << "the player window is gone";
        EXPECT_TRUE(bench->facts.pluginQuitCalled) << "pluginQuit when the player closes";
        EXPECT_EQ(bench->host.liveTimers(), 0);
    }

    // Plays the scenario through to the end; the player has closed after it.
    // Whatever the end, the player is given back as the listener had it:
    // the session's success asks for the volume, and for repeat off again
    // when Nightcap switched it on, which the log says in that order.
    void play(const Scenario& scenario) {
        makePlayer();
        Scenario bounded = scenario;
        bounded.limitRealMs = 60000;
        session.reset(new BenchSession(*bench, bounded));
        std::string error;
        ASSERT_TRUE(bench->start(error)) << error;
        runToClose();
        ASSERT_TRUE(session->succeeded()) << session->outcome() << "\n" << allLines(bench->log);
        int on = lineIndex(bench->log, "switched repeat on");
        if (on >= 0) {
            EXPECT_GT(lineIndex(bench->log, "switched repeat off", on), on) << allLines(bench->log);
            EXPECT_FALSE(bench->model.repeat);
        }
    }

    std::unique_ptr<BenchPlayer> bench;
    std::unique_ptr<BenchSession> session;
    bool homeRefuses = false;
    bool modernStandby = false;
};
