// How long each call into the plug-in holds the player's thread, beside the
// same system calls made alone (its floor): pluginInit beside a 20-byte
// read; the dialog's opening beside a bare dialog of the same template; each
// button beside the same click on the bare dialog, with the form's greying
// and a safe save where the handler does them; Esc beside the bare dialog's
// Esc and a safe save; each kind of tick beside its messages (and, for the
// finish, a timer's kill, a 20-byte read and a notification icon's removal);
// pluginQuit beside the freeing of its four objects. The floors go through the module's own imports, the
// host's replacements, so both sides carry the rig's cost. A benchmark: it
// prints median and worst in milliseconds and the ratio of the medians.

#include <stdio.h>

#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "benchmarks/HoldRig.h"
#include "benchmarks/Stopwatch.h"
#include "dialog/resource.h"
#include "engine/CountdownEngine.h"
#include "host/DialogDriver.h"
#include "plugin/PlayerMessages.h"
#include "settings/Settings.h"
#include "tests/HostFixture.h"

namespace {

const int Repeats = 31;       // of each dialog handler, init, quit and finish
const int TickRepeats = 401;  // of each other kind of tick

void print(const char* call, const Samples& held, const char* floorName, const Samples& floor) {
    double ratio = floor.median() > 0 ? held.median() / floor.median() : 0;
    printf("Hold: %-26s median %8.3f ms, worst %8.3f ms | floor: %-32s median %8.3f ms, worst %8.3f ms | ratio %.2f\n",
           call, held.median(), held.worst(), floorName, floor.median(), floor.worst(), ratio);
    fflush(stdout);
}

struct Radio {
    int id;
    const char* name;
};
// In an order that keeps each enabled when clicked: the stop methods while
// minutes are counted.
const Radio Radios[] = {
    {IDC_COUNT_MINUTES, "count minutes"}, {IDC_FADE_OUT, "shade out"},    {IDC_STOP_NOW, "stop the song"},
    {IDC_WAIT_SONG_END, "wait for the end"}, {IDC_COUNT_SONGS, "count songs"}, {IDC_QUIT_PLAYER, "quit the player"},
    {IDC_HALT_COMPUTER, "halt"},          {IDC_STOP_PLAYING, "stop playing"},
};
const size_t RadioCount = sizeof Radios / sizeof Radios[0];

void CALLBACK noTick(HWND, UINT, UINT_PTR, DWORD) {}

}  // namespace

class ThreadHold : public HostFixture {
protected:
    // The ordinary heap: the guard heap's pages would be timed too.
    void start(const std::vector<unsigned char>& record) {
        writeSettingsBytes(record);
        ASSERT_TRUE(host->load(PluginHost::besideProgram("gen_Nightcap.dll")));
        host->fakeModuleName = true;
        host->moduleName = folder + "\\gen_Nightcap.dll";
        host->appDataFolder = appData;
        host->attach(playerWindow->handle());
        calls.reset(new Imports(host->module()));
        ASSERT_TRUE(calls->complete());
        host->trace.enabled = false;
    }

    void startCountdown() {
        player.play();
        DialogDriver driver(playerWindow->handle(), host.get());
        driver.then([](DialogDriver& d) { d.click(IDC_START_STOP); });
        driver.run([&] { host->config(); });
    }

    // The countdown's tick, as the message loop delivers it.
    void deliverTick() {
        for (const PluginHost::Timer& timer : host->timers) {
            if (timer.alive) {
                timer.proc(NULL, WM_TIMER, timer.id, 0);
                return;
            }
        }
    }

    double timedTick() {
        Stopwatch clock;
        deliverTick();
        return clock.elapsedMs();
    }

    std::string floorPath() const { return folder + "\\floor.dat"; }

    std::unique_ptr<Imports> calls;
};

TEST_F(ThreadHold, InitAndQuit) {
    start(settingsBytes(1, 1, 1, 3, 10));
    Samples init, quit, read, frees;
    for (int i = 0; i < Repeats; ++i) {
        Stopwatch clock;
        ASSERT_EQ(host->init(), 0);
        init.add(clock.elapsedMs());
        clock.restart();
        host->quit();
        quit.add(clock.elapsedMs());
        read.add(calls->read(settingsPath()));
        void* blocks[4] = {calls->allocate(16), calls->allocate(16), calls->allocate(48), calls->allocate(32)};
        clock.restart();
        for (void* block : blocks) {
            calls->release(block);
        }
        frees.add(clock.elapsedMs());
    }
    print("pluginInit", init, "a 20-byte read", read);
    print("pluginQuit", quit, "four blocks freed", frees);
}

TEST_F(ThreadHold, DialogHandlers) {
    start(settingsBytes(1, 1, 1, 3, 10));
    ASSERT_EQ(host->init(), 0);
    player.play();
    HWND owner = playerWindow->handle();
    IdleSteps idle(owner);
    Samples open, bareOpen, escape, bareEscape, saves, greyings, stop, startNow, bareButton;
    Samples radios[RadioCount], bareRadios[RadioCount];
    Stopwatch clock;
    double escapedAt = 0;
    auto cycle = [&](bool bare) {
        std::vector<IdleSteps::Step> steps;
        // The first wait comes as the dialog is shown; the next, once what
        // showing it brought (its painting) has been handled.
        steps.push_back([](HWND) {});
        steps.push_back([&, bare](HWND) { (bare ? bareOpen : open).add(clock.elapsedMs()); });
        for (size_t i = 0; i < RadioCount; ++i) {
            steps.push_back([&, bare, i](HWND d) { (bare ? bareRadios : radios)[i].add(click(d, Radios[i].id)); });
        }
        if (bare) {
            steps.push_back([&](HWND d) { bareButton.add(click(d, IDC_START_STOP)); });
            steps.push_back([&](HWND d) { greyings.add(calls->greyForm(d)); });
        }
        steps.push_back([&](HWND d) {
            pressEscape(d);
            escapedAt = clock.elapsedMs();
        });
        clock.restart();
        idle.run(steps, [&] {
            if (bare) {
                calls->dialogBox(host->module(), MAKEINTRESOURCEA(IDD_CONFIG), owner, bareDialog, 0);
            } else {
                host->config();
            }
        });
        (bare ? bareEscape : escape).add(clock.elapsedMs() - escapedAt);
        saves.add(calls->save(floorPath()));
    };
    for (int i = 0; i < Repeats; ++i) {
        cycle(false);
        cycle(true);
    }

    // Running: "stop", then "start now", which closes the dialog.
    startCountdown();
    ASSERT_EQ(host->liveTimers(), 1);
    for (int i = 0; i < Repeats; ++i) {
        double pressedAt = 0;
        clock.restart();
        idle.run({[](HWND) {},
                  [&, i](HWND d) {
                      if (i == 0) {
                          EXPECT_EQ(greyedControls(d), std::vector<int>(std::begin(FormControls), std::end(FormControls)))
                              << "the floors of stop and start now grey other controls than the dialog";
                      }
                  },
                  [&](HWND d) { stop.add(click(d, IDC_START_STOP)); },
                  [&](HWND d) {
                      pressedAt = clock.elapsedMs();
                      SendMessageA(GetDlgItem(d, IDC_START_STOP), BM_CLICK, 0, 0);
                  }},
                 [&] { host->config(); });
        startNow.add(clock.elapsedMs() - pressedAt);
    }
    ASSERT_EQ(host->liveTimers(), 1);

    print("dialog open, until idle", open, "a bare dialog's", bareOpen);
    for (size_t i = 0; i < RadioCount; ++i) {
        std::string name = std::string("button: ") + Radios[i].name;
        print(name.c_str(), radios[i], "the same click, bare", bareRadios[i]);
    }
    print("button: stop", stop, "a click, bare, and greying", bareButton.plus(greyings));
    print("button: start now, closed", startNow, "bare Esc, save, greying", bareEscape.plus(saves).plus(greyings));
    print("Esc, closed", escape, "bare Esc, and a safe save", bareEscape.plus(saves));
}

TEST_F(ThreadHold, Ticks) {
    const std::vector<Track> veryLong = {{"Very long", 2000000}};
    player.playlist = veryLong;
    start(settingsBytes(CountMode::Minutes, StopMethod::StopNow, FinalAction::StopPlaying, 1000000, 1000));
    ASSERT_EQ(host->init(), 0);
    player.repeat = true;
    HWND owner = playerWindow->handle();
    auto open = [&] { host->config(); };
    IdleSteps idle(owner);
    Samples ordinary, bareOrdinary, minute, bareMinute, change, bareChange, finish, bareFinish;

    // Minutes, with the dialog open, which each minute is told of.
    startCountdown();
    ASSERT_EQ(host->liveTimers(), 1);
    idle.run({[&](HWND dialog) {
                  for (int count = 0; count < TickRepeats; ++count) {
                      for (int i = 1; i < TicksPerMinute; ++i) {
                          deliverTick();
                      }
                      minute.add(timedTick());
                      Stopwatch clock;
                      calls->post(dialog, WM_NULL, 0, 0);
                      bareMinute.add(clock.elapsedMs());
                  }
              },
              pressEscape},
             open);

    // Songs: stopped, counting songs, started again.
    idle.run({[](HWND) {}, [](HWND d) { click(d, IDC_START_STOP); }, [](HWND d) { click(d, IDC_COUNT_SONGS); },
              [](HWND d) { click(d, IDC_START_STOP); }},
             open);
    ASSERT_EQ(host->liveTimers(), 1);
    // Ordinary ticks through a very long song, then track changes, with
    // the dialog open.
    idle.run({[&](HWND dialog) {
                  player.trackIndex = 0;
                  player.positionMs = 1000;
                  deliverTick();
                  for (int i = 0; i < TickRepeats; ++i) {
                      player.positionMs += 500;
                      ordinary.add(timedTick());
                      Stopwatch clock;
                      calls->send(owner, PlayerMessage, PositionInMs, PositionQuery);
                      calls->send(owner, PlayerMessage, 0, RepeatQuery);
                      calls->send(owner, PlayerMessage, LengthInSeconds, PositionQuery);
                      bareOrdinary.add(clock.elapsedMs());
                  }
                  player.playlist = PlayerModel::defaultPlaylist();  // 245 s first
                  for (int i = 0; i < TickRepeats; ++i) {
                      player.positionMs = 244000;
                      deliverTick();
                      player.positionMs = 300;
                      change.add(timedTick());
                      Stopwatch clock;
                      calls->send(owner, PlayerMessage, PositionInMs, PositionQuery);
                      calls->send(owner, PlayerMessage, 0, RepeatQuery);
                      calls->post(dialog, WM_NULL, 0, 0);
                      bareChange.add(clock.elapsedMs());
                  }
              },
              pressEscape},
             open);

    // The end of a countdown with no songs left, then stop playing, and no
    // dialog open: each from a start of its own.
    for (int i = 0; i < Repeats && !HasFailure(); ++i) {
        host->quit();
        writeSettingsBytes(settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, -1, 10));
        ASSERT_EQ(host->init(), 0);
        startCountdown();
        ASSERT_EQ(host->liveTimers(), 1);
        finish.add(timedTick());
        ASSERT_EQ(host->liveTimers(), 0);
        UINT_PTR timer = calls->setTimer(NULL, 0, TickIntervalMs, noTick);
        Stopwatch clock;
        calls->killTimer(NULL, timer);
        double killMs = clock.elapsedMs();
        double readMs = calls->read(settingsPath());
        clock.restart();
        calls->send(owner, WM_COMMAND, StopCommand, 0);
        double stopMs = clock.elapsedMs();
        bareFinish.add(killMs + readMs + stopMs + calls->removeIcon());
    }

    print("tick: ordinary", ordinary, "its 3 messages", bareOrdinary);
    print("tick: minute boundary", minute, "its notice to the dialog", bareMinute);
    print("tick: song change", change, "its 2 messages and notice", bareChange);
    print("tick: finish", finish, "kill, read, stop, icon removed", bareFinish);
}
