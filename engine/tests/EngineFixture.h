#pragma once
// The countdown engine in the real module: ticks fired by the host, the
// player played by a PlayerModel, the countdown started from the dialog. The
// module is the shipped code with the settings probe, so tests can follow the
// live counts and give the engine choices the dialog never stores.

#include <limits.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "dialog/resource.h"
#include "host/DialogDriver.h"
#include "plugin/PlayerMessages.h"
#include "settings/Settings.h"
#include "tests/HostFixture.h"

const char* const StopSent = "send 273 40047 0";
const char* const PositionAsked = "send 1024 0 105";
const char* const RepeatAsked = "send 1024 0 251";
const char* const RepeatSwitchedOn = "send 1024 1 253";
const char* const LengthAsked = "send 1024 1 105";
const char* const PlayStateAsked = "send 1024 0 104";
const char* const VolumeAsked = "send 1024 -666 122";
const char* const CountsChanged = "post 1025 1 0";
const char* const Finished = "post 1025 2 0";

const char PrivilegeText[] = u8"错误：无法获得关机权限，请手动退出操作系统";
const char PowerOffText[] = u8"错误：关闭计算机失败，请手动退出操作系统";

typedef std::vector<std::string> Lines;

inline void CALLBACK playersOwnTimer(HWND, UINT, UINT_PTR, DWORD) {}

inline std::string volumeLine(int volume) {
    return "send 1024 " + std::to_string(volume) + " 122";
}

const char* const RepeatSwitchedOff = "send 1024 0 253";
const char* const PauseSent = "send 273 40046 0";

// The fade's curve, written here on its own: from `from`, a hundredth of it
// (40 dB) down at the end, equal steps of loudness between, never below 1.
inline int curveLevel(int from, long long elapsedMs, long long lengthMs) {
    double part = elapsedMs >= lengthMs ? 1.0 : static_cast<double>(elapsedMs) / static_cast<double>(lengthMs);
    int level = static_cast<int>(std::lround(from * std::pow(10.0, -2.0 * part)));
    return level < 1 ? 1 : level;
}

class EngineTest : public HostFixture {
protected:
    // Saves the six values (the fade's length from fadeSeconds), loads and
    // initialises the module, and starts the countdown from the dialog as the
    // user would. Afterwards the trace holds only what the countdown does.
    void startCountdown(int countMode, int stopMethod, int finalAction, int songs, int minutes,
                        const char* dll = ProbeModule) {
        writeSettings(countMode, stopMethod, finalAction, songs, minutes, fadeSeconds);
        startPlugin(dll);
        inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); }});
        ASSERT_TRUE(armed()) << "the dialog did not start the countdown";
        host->trace.clear();
    }

    // Opens the dialog as the player does and plays the steps in it; the
    // last one must close it.
    void inDialog(const std::vector<DialogDriver::Step>& steps) {
        DialogDriver driver(playerWindow->handle(), host.get());
        for (const DialogDriver::Step& step : steps) {
            driver.then(step);
        }
        driver.run([&] { host->config(); });
    }

    // Stop and start again: the engine is disarmed and armed anew.
    void restartFromDialog() {
        inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); }, [](DialogDriver& d) { d.click(IDC_START_STOP); }});
    }

    // A fresh host for the next start; the player keeps its state.
    void restartHost() { host.reset(new PluginHost()); }

    bool armed() const { return host->liveTimers() == 1; }
    int fadeSeconds = 5;

    // One tick; returns what it did.
    Lines tick() {
        host->trace.clear();
        host->tick();
        return host->trace.lines();
    }

    // Ticks with the player's position standing at each of positions in turn;
    // returns how far the songs count fell.
    int songsCountedAt(const std::vector<int>& positions) {
        int before = moduleSettings().songs;
        for (int position : positions) {
            player.positionMs = position;
            host->tick();
        }
        return before - moduleSettings().songs;
    }

    // Lets the player play for count ticks, one tick every 500 ms.
    void play(int count) {
        for (int i = 0; i < count; ++i) {
            player.advance(500);
            host->tick();
        }
    }

    void playing(int positionMs, size_t track = 0) {
        player.trackIndex = track;
        player.state = PlayerModel::Playing;
        player.positionMs = positionMs;
    }

    // Whether the module shows a countdown as running, read from the dialog.
    std::string startButtonAfterwards() {
        std::string caption;
        inDialog({[&](DialogDriver& d) {
            caption = d.text(IDC_START_STOP);
            d.escape();
        }});
        return caption;
    }
};
