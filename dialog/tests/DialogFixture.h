#pragma once
// The configuration dialog driven as a user drives it: the real module, the
// system's dialog manager, clicks, keys and pasted text; checked through what
// the user sees and what reaches the settings file and the engine. What the
// dialog's tests share: the fixture and the screen read as words.

#include <gtest/gtest-spi.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dialog/resource.h"
#include "host/DialogDriver.h"
#include "settings/Settings.h"
#include "tests/HostFixture.h"

const int TicksPerMinute = 120;

const char SongsZero[] = "Songs should not be ZERO under current configuration! :)";
const char NothingPlays[] = "Nightcap MAY NOT work as you expect! \nBecause no songs are singing NOW! :)";
const char MinutesZeroSilent[] =
    "Minutes should not be ZERO under current configuration,\nbecause no songs are singing NOW! :)";
const char MinutesZero[] = "Minutes should not be ZERO under current configuration! :)";

// Each control's enabled state, 'e' or '-', in template order (the id-less
// group box and labels included).
inline std::string enabledStates(DialogDriver& d) {
    std::string states;
    for (HWND child = GetWindow(d.dialog(), GW_CHILD); child != NULL; child = GetWindow(child, GW_HWNDNEXT)) {
        states += IsWindowEnabled(child) ? 'e' : '-';
    }
    return states;
}

const char IdleSongs[] = "eeeee-ee----eeeeeeee";
const char IdleMinutes[] = "eeee-eeeeeeeeeeeeeee";
const char Running[] = "ee----------e------e";

// The checked radio buttons, by name.
inline std::string checkedButtons(DialogDriver& d) {
    static const struct {
        int id;
        const char* name;
    } buttons[] = {
        {IDC_COUNT_SONGS, "songs"},    {IDC_COUNT_MINUTES, "minutes"},    {IDC_WAIT_SONG_END, "wait"},
        {IDC_FADE_OUT, "fade"},        {IDC_STOP_NOW, "stop-now"},        {IDC_STOP_PLAYING, "stop-playing"}, {IDC_PAUSE, "pause"},
        {IDC_QUIT_PLAYER, "quit"},     {IDC_HALT_COMPUTER, "halt"},       {IDC_SLEEP, "sleep"},
        {IDC_HIBERNATE, "hibernate"},
    };
    std::string names;
    for (const auto& button : buttons) {
        if (d.checked(button.id)) {
            names += names.empty() ? "" : " ";
            names += button.name;
        }
    }
    return names;
}

class DialogTest : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        driver.reset(new DialogDriver(playerWindow->handle(), host.get()));
    }

    // Opens the dialog as the player does, playing the queued steps.
    void open() {
        driver->run([this] { host->config(); });
    }

    // Loads and initialises the plug-in with the player playing or stopped;
    // the trace then holds only what follows.
    void startWithPlayer(bool playing) {
        startPlugin();
        if (playing) {
            player.play();
        } else {
            player.stop();
        }
        host->trace.clear();
    }

    // A fresh host, and a driver that ticks it, for the next start.
    void restartHost() {
        host.reset(new PluginHost());
        driver.reset(new DialogDriver(playerWindow->handle(), host.get()));
    }

    std::vector<TraceEvent> boxes() const { return host->trace.ofKind(TraceEvent::MessageBox); }

    // The one box shown, as the dialog's boxes all are: owned by the dialog,
    // an OK button and no icon (MB_OK, 0), ANSI texts.
    void expectOneBox(const std::string& caption, const std::string& text, HWND dialog) const {
        std::vector<TraceEvent> shown = boxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, caption);
        EXPECT_EQ(shown[0].text, text);
        EXPECT_EQ(shown[0].message, 0u) << "MB_OK, no icon";
        EXPECT_EQ(shown[0].window, dialog) << "owned by the dialog";
        EXPECT_FALSE(shown[0].wide);
    }

    int linesLike(const std::string& line) const {
        std::vector<std::string> lines = host->trace.lines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }

    // Saves the five values, starts the plug-in with the player playing, and
    // starts the countdown from the dialog.
    void startPlaying(int countMode, int stopMethod, int finalAction, int songs, int minutes) {
        writeSettings(countMode, stopMethod, finalAction, songs, minutes);
        player.play();
        startPlugin();
        startFromDialog();
    }

    // Starts a countdown through the dialog with the settings already saved.
    void startFromDialog() {
        driver->then([](DialogDriver& d) { d.click(IDC_START_STOP); });
        open();
        ASSERT_EQ(host->liveTimers(), 1);
    }

    std::unique_ptr<DialogDriver> driver;
};
