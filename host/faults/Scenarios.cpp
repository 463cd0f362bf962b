// The probe's scenarios, each played as a listener would, and the three
// adversaries: forged and stale timer ticks, a player that runs its message
// loop inside a step of the fade while the listener starts anew, and a
// settings file that another program holds while the player starts.

#include <stdio.h>

#include "host/faults/FaultRun.h"
#include "plugin/PlayerMessages.h"
#include "settings/Settings.h"

// Every scenario, in the order the probe reports them.
const FaultRun::Scenario FaultRun::scenarios[] = {
    {"songs", &FaultRun::songsThenStop},
    {"wait-quit", &FaultRun::minuteThenWaitAndQuit},
    {"fade-halt", &FaultRun::minuteThenFadeAndHalt},
    {"fade-pause", &FaultRun::minuteThenUntimedFadeAndPause},
    {"stop-dialog", &FaultRun::endWithTheDialogOpen},
    {"restart", &FaultRun::stopAndStartAgain},
    {"quit-mid", &FaultRun::quitMidCountdown},
    {"idle-close", &FaultRun::closeTheDialogIdle},
    {"quit-dialog", &FaultRun::quitFromTheDialog},
    {"sleep", &FaultRun::sleepOnADesktop},
    {"standby", &FaultRun::sleepOnModernStandby},
    {"icon-menu", &FaultRun::iconThenQuitInItsMenu},
    {"timer-flood", &FaultRun::forgedTicks},
    {"fade-pump", &FaultRun::listenerInsideTheFade},
    {"held-start", &FaultRun::heldWhileStarting},
};
const size_t FaultRun::scenarioCount = sizeof scenarios / sizeof scenarios[0];

void FaultRun::play(const std::string& name) {
    for (const Scenario& scenario : scenarios) {
        if (name == scenario.name) {
            player.play();
            player.repeat = true;
            (this->*scenario.play)();
            report();
            return;
        }
    }
    printf("crash: no scenario %s\n", name.c_str());
}

void FaultRun::reopenThenQuit() {
    reopen();
    quit();
}

// One song counted (the first track ends within ten ticks), then stop
// playing; repeat, off, is switched on to follow the song's end and off
// again at the end.
void FaultRun::songsThenStop() {
    player.seek(240000);
    player.repeat = false;
    if (start(settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 1, 10))) {
        startFromDialog();
        playTicks(40);
        facts.push_back(std::string("repeat ") + (player.repeat ? "left on" : "off") + " afterwards");
        reopenThenQuit();
    }
}

// A minute, then the song waited for (it ends three seconds after the
// minute), then the player told to quit.
void FaultRun::minuteThenWaitAndQuit() {
    player.seek(183000);
    if (start(settingsBytes(CountMode::Minutes, StopMethod::WaitForSongEnd, FinalAction::QuitPlayer, 3, 1))) {
        startFromDialog();
        playTicks(ProbeTicksPerMinute + 20);
        MSG quitMessage;
        facts.push_back(PeekMessageA(&quitMessage, NULL, WM_QUIT, WM_QUIT, PM_REMOVE) ? "the player was told to quit"
                                                                                     : "no quit reached the player");
        reopenThenQuit();
    }
}

// A minute, then the song shaded out over five seconds (ten ticks, and
// its own faster timer's steps between), then a power-off.
void FaultRun::minuteThenFadeAndHalt() {
    player.volume = 40;
    if (start(settingsBytes(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::HaltComputer, 3, 1))) {
        startFromDialog();
        timeTheFade();
        playTicks(ProbeTicksPerMinute + 20);
        player.insideMessage = nullptr;
        facts.push_back("volume " + std::to_string(player.volume) + " afterwards");
        reopenThenQuit();
    }
}

// A minute, then thirty seconds of fade whose own timer the system refuses
// (the countdown's ticks step it, and it ends at its time all the same),
// then a pause, and back to where the fade began.
void FaultRun::minuteThenUntimedFadeAndPause() {
    player.volume = 120;
    if (start(settingsBytes(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::Pause, 3, 1, 30))) {
        startFromDialog();
        // The next timer asked for is the fade's (unless every one is refused already).
        if (failing != "SetTimer") {
            host->failCall("SetTimer");
        }
        timeTheFade();
        playTicks(ProbeTicksPerMinute + 80);
        player.insideMessage = nullptr;
        facts.push_back(std::string(player.state == PlayerModel::Paused ? "paused" : "not paused") +
                        (player.positionMs == fadeBeganAtMs ? " where the fade began" : " elsewhere") + ", volume " +
                        std::to_string(player.volume));
        reopenThenQuit();
    }
}

// From the fade's first volume query (the plug-in asks the volume only to
// fade it) to its stop or pause command, on the simulated clock: a fact
// said when the countdown ends.
void FaultRun::timeTheFade() {
    fadeStartMs = -1;
    player.insideMessage = [this](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == PlayerMessage && lParam == VolumeMessage && wParam == VolumeQuery && fadeStartMs == -1) {
            fadeStartMs = host->clockMs;
            fadeBeganAtMs = player.positionMs;
        } else if (message == WM_COMMAND && fadeStartMs >= 0) {
            facts.push_back("the fade lasted " + std::to_string(host->clockMs - fadeStartMs) + " ms");
            fadeStartMs = -2;  // told
        }
    };
}

// The countdown ends while the dialog is open: it must show the end.
void FaultRun::endWithTheDialogOpen() {
    if (start(settingsBytes(CountMode::Minutes, StopMethod::StopNow, FinalAction::StopPlaying, 3, 1))) {
        startFromDialog();
        std::string shown;
        inDialog({[](DialogDriver& d) { d.tick(ProbeTicksPerMinute + 1); },
                  [&](DialogDriver& d) {
                      shown = d.text(IDC_START_STOP) + " " + d.text(IDC_MINUTES);
                      d.escape();
                  }});
        facts.push_back("the open dialog showed \"" + shown + "\" after the end");
        reopenThenQuit();
    }
}

// A countdown stopped and started again from the dialog, then played out.
void FaultRun::stopAndStartAgain() {
    player.seek(100000);
    if (start(settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 1, 10))) {
        startFromDialog();
        playTicks(10);
        inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); }, [](DialogDriver& d) { d.click(IDC_START_STOP); }});
        player.seek(240000);
        playTicks(40);
        reopenThenQuit();
    }
}

// The player quits in the middle of a countdown.
void FaultRun::quitMidCountdown() {
    if (start(settingsBytes(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::HaltComputer, 3, 2))) {
        startFromDialog();
        playTicks(100);
        quit();
    }
}

// A count typed into the idle dialog, closed with Esc, is there when it
// opens again.
void FaultRun::closeTheDialogIdle() {
    if (start(settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, 3, 10))) {
        inDialog({[](DialogDriver& d) { d.paste(IDC_SONGS, "7"); }, [](DialogDriver& d) { d.escape(); }});
        std::string shown;
        inDialog({[&](DialogDriver& d) {
            shown = d.text(IDC_SONGS);
            d.escape();
        }});
        facts.push_back("reopened, the dialog showed " + shown + " songs");
        reopenThenQuit();
    }
}

void FaultRun::quitFromTheDialog() {
    if (start(settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, 2, 10))) {
        quitInsideTheDialog();
    }
}

// A desktop's sleep (S3), or a Modern Standby computer's (the display off).
void FaultRun::sleepOnADesktop() {
    sleepAfterOneSong(false);
}

void FaultRun::sleepOnModernStandby() {
    sleepAfterOneSong(true);
}

void FaultRun::sleepAfterOneSong(bool modernStandby) {
    player.seek(240000);
    if (start(settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::Sleep, 1, 10))) {
        host->sleepStates = !modernStandby;
        host->modernStandby = modernStandby;
        startFromDialog();
        playTicks(40);
        reopenThenQuit();
    }
}

void FaultRun::iconThenQuitInItsMenu() {
    if (start(settingsBytes(CountMode::Minutes, StopMethod::StopNow, FinalAction::HaltComputer, 3, 2))) {
        startFromDialog();
        useTheIconThenQuitInItsMenu();
    }
}

// The listener gives ten more minutes from the icon's menu and opens the
// dialog with a click; then the player quits the plug-in, and lets go of the
// module, from inside the icon's menu.
void FaultRun::useTheIconThenQuitInItsMenu() {
    host->onMenu = [this](const std::vector<std::string>&) { return host->menuCommand("10 more"); };
    if (!host->iconEvent(WM_CONTEXTMENU)) {
        facts.push_back("no icon to click");
        host->onMenu = nullptr;
        quit();
        return;
    }
    facts.push_back("after \"10 more minutes\" the icon said \"" +
                    (host->shellIcons.empty() ? std::string("(gone)") : host->shellIcons.front().tip) + "\"");
    std::string shown;
    inDialog({[&](DialogDriver& d) {
                  shown = d.text(IDC_MINUTES);
                  d.escape();
              }},
             [this] {
                 // The module opens it from its own message, as its loop runs.
                 host->iconEvent(NIN_SELECT);
                 MSG message;
                 while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
                     TranslateMessage(&message);
                     DispatchMessageA(&message);
                 }
             });
    facts.push_back("the icon's click opened the dialog with \"" + shown + "\" minutes");

    size_t quitAt = 0;
    host->onMenu = [&](const std::vector<std::string>&) {
        host->quit();
        quitAt = host->trace.events.size();
        host->releaseModule();
        return host->menuCommand("Stop");
    };
    host->iconEvent(WM_CONTEXTMENU);
    host->onMenu = nullptr;
    if (quitAt == 0) {
        facts.push_back("the icon's menu did not open again");
        quit();
        return;
    }
    checkNothingAfterQuit(quitAt);
    host->unload();
}

// The adversaries.
void FaultRun::forgedTicks() {
    player.seek(240000);
    if (start(settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 1, 10))) {
        floodWithForeignTicks();
        reopenThenQuit();
    }
}

void FaultRun::listenerInsideTheFade() {
    player.volume = 40;
    if (start(settingsBytes(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::HaltComputer, 3, 1))) {
        restartInsideTheFade();
        reopenThenQuit();
    }
}

void FaultRun::heldWhileStarting() {
    if (start(settingsBytes(CountMode::Minutes, StopMethod::StopNow, FinalAction::StopPlaying, 4, 30), true)) {
        readAfterAHeldStart();
        reopenThenQuit();
    }
}

namespace {

void CALLBACK playersOwnTimer(HWND, UINT, UINT_PTR, DWORD) {}

}  // namespace

// Forged ticks that name the player's own timer and made-up ids, and stale
// ones of the module's timers from a countdown stopped and started again,
// before, during and after the countdown: none may act, and the player's
// timer must live on. The countdown still ends as its real ticks say.
void FaultRun::floodWithForeignTicks() {
    startFromDialog();
    inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); }, [](DialogDriver& d) { d.click(IDC_START_STOP); }});
    UINT_PTR playersTimer = SetTimer(NULL, 0, 3600000, playersOwnTimer);
    std::vector<UINT_PTR> forged = {playersTimer, 0, 1, 0x7fff, 0x4e42, static_cast<UINT_PTR>(-1)};
    std::vector<UINT_PTR> ownIds;
    for (const PluginHost::Timer& timer : host->timers) {
        ownIds.push_back(timer.id);
    }
    TIMERPROC proc = host->timers.empty() ? nullptr : host->timers.front().proc;
    auto flood = [&](const char* when) {
        for (int round = 0; proc != nullptr && round < 50; ++round) {
            for (UINT_PTR id : forged) {
                size_t mark = host->trace.events.size();
                proc(NULL, WM_TIMER, id, GetTickCount());
                if (!effectsSince(mark).empty()) {
                    broken.push_back(std::string("a forged tick acted ") + when + ": " + joined(effectsSince(mark)));
                    return;
                }
            }
            // The module's own, once armed: a live one whose kill failed may
            // be killed now, and nothing else may come of it.
            // The latest timer, while alive, is the armed one: its tick is
            // the countdown's own.
            UINT_PTR armedId = host->timers.back().alive ? host->timers.back().id : 0;
            for (UINT_PTR id : ownIds) {
                if (id == armedId) {
                    continue;
                }
                size_t mark = host->trace.events.size();
                proc(NULL, WM_TIMER, id, GetTickCount());
                for (const std::string& effect : effectsSince(mark)) {
                    if (effect != "killtimer") {
                        broken.push_back(std::string("a stale tick acted ") + when + ": " + effect);
                        return;
                    }
                }
            }
        }
    };
    flood("before the countdown's ticks");
    playTicks(40);
    flood("after the countdown's end");
    if (playersTimer == 0 || !KillTimer(NULL, playersTimer)) {
        broken.push_back("the player's own timer was killed by a tick it sent the module");
    }
}

// The player runs its message loop inside each of the fade's volume
// messages, and there, from the fifth step the fade's own timer or the
// countdown's ticks make, the listener, in the open dialog, stops the
// countdown and starts another (one song, then stop playing), a control at
// a time as each can be used (the stop gives the volume back, and the
// player's loop runs inside that too, while the form is still greyed): the
// old fade and end must carry out nothing more and leave the new countdown
// armed, and the new one ends as chosen.
void FaultRun::restartInsideTheFade() {
    startFromDialog();
    size_t restartedAt = 0;
    UINT_PTR newCountdownsTimer = 0;
    int steps = 0;
    struct Act {
        int control;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const Act acts[] = {{IDC_START_STOP, BM_CLICK, 0, 0}, {IDC_COUNT_SONGS, BM_CLICK, 0, 0},
                        {IDC_SONGS, EM_SETSEL, 0, -1},     {IDC_SONGS, WM_CHAR, '1', 1},
                        {IDC_STOP_PLAYING, BM_CLICK, 0, 0}, {IDC_START_STOP, BM_CLICK, 0, 0}};
    const size_t actCount = sizeof acts / sizeof acts[0];
    size_t acted = 0;
    inDialog({[&](DialogDriver& d) {
        d.tick(ProbeTicksPerMinute);  // the minute is spent
        HWND dialog = d.dialog();
        player.insideMessage = [&, dialog](UINT message, WPARAM wParam, LPARAM lParam) {
            if (message != PlayerMessage || lParam != VolumeMessage || wParam == VolumeQuery) {
                return;
            }
            ++steps;
            pumpWaitingMessages(window->handle());
            // A greyed control cannot be clicked (and a click posted to a
            // greyed radio button hangs Wine 8).
            while (steps >= 5 && acted < actCount && IsWindowEnabled(GetDlgItem(dialog, acts[acted].control))) {
                const Act& act = acts[acted++];
                PostMessageA(GetDlgItem(dialog, act.control), act.message, act.wParam, act.lParam);
                pumpWaitingMessages(window->handle());
            }
            if (acted == actCount && restartedAt == 0) {
                restartedAt = host->trace.events.size();
                newCountdownsTimer = latestCountdownTimer();
            }
        };
        // The end begins with the fade; its steps follow, tick by tick,
        // until the listener has started again: then no more ticks, whose
        // work would be the new countdown's.
        for (int tick = 0; tick < 40 && restartedAt == 0 && armed(); ++tick) {
            d.tick();
        }
        player.insideMessage = nullptr;
    }});
    player.insideMessage = nullptr;
    if (restartedAt == 0) {
        facts.push_back("the listener did not get to start again during the fade");
        return;
    }
    // A kill of a timer the module armed before and could not kill then
    // (the probe refused it) is the module's cleaning up, not the old end:
    // only a kill of the new countdown's timer is.
    for (size_t i = restartedAt; i < host->trace.events.size(); ++i) {
        const TraceEvent& event = host->trace.events[i];
        if (event.isResource()) {
            continue;
        }
        std::string effect = Trace::describe(event);
        bool killsTheNewCountdown = event.kind == TraceEvent::KillTimer && event.wParam == newCountdownsTimer;
        if (killsTheNewCountdown || effect == "send 273 40047 0" || effect == "opentoken" ||
            effect.compare(0, 11, "exitwindows") == 0) {
            broken.push_back("the old end went on after a new countdown began: " + joined(effectsSince(restartedAt)));
            break;
        }
    }
    facts.push_back(std::string(armed() ? "a countdown is armed" : "no countdown is armed") + " after the fade, volume " +
                    std::to_string(player.volume));
    player.seek(240000);
    playTicks(40);
}

// The settings file was held by another program while the player started,
// and is free again: the dialog shows the stored record, and its Esc
// leaves the file as it was.
void FaultRun::readAfterAHeldStart() {
    std::vector<unsigned char> stored = readFileBytes(settingsPath());
    std::string shown;
    inDialog({[&](DialogDriver& d) {
        shown = d.text(IDC_MINUTES) + " minutes" + (d.checked(IDC_STOP_PLAYING) ? ", then stop playing" : "");
        d.escape();
    }});
    facts.push_back("after a held start the dialog showed " + shown);
    if (readFileBytes(settingsPath()) != stored) {
        broken.push_back("a held start let the dialog's Esc write over the stored record");
    }
}

void runScenario(const std::string& scenario, const std::string& function, bool everyCall) {
    FaultRun run(function, everyCall);
    run.play(scenario);
}
