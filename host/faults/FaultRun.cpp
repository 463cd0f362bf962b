#include "host/faults/FaultRun.h"

#include <stdio.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>

#include "dialog/resource.h"
#include "host/DialogDriver.h"
#include "host/PlayerModel.h"
#include "host/PlayerWindow.h"
#include "host/PluginHost.h"
#include "settings/Settings.h"

const char* const ScenarioNames[] = {"songs",   "wait-quit", "fade-halt",  "stop-dialog", "restart",
                                     "quit-mid", "idle-close", "quit-dialog", "sleep",      "standby"};
const size_t ScenarioCount = sizeof ScenarioNames / sizeof ScenarioNames[0];

namespace {

const int TicksPerMinute = 120;
// Ticks given to a timer still alive once its countdown has ended: long
// enough for a countdown of minutes to come round again.
const int TicksAfterTheEnd = 2 * TicksPerMinute + 10;

// "a, b x3, c": each kind of line once, in order, with how often it came, so
// that a fade's hundreds of volume steps and pauses stay short.
std::string joined(const std::vector<std::string>& lines) {
    std::vector<std::pair<std::string, int>> kinds;
    for (const std::string& line : lines) {
        std::string kind = line;
        if (line.compare(0, 6, "sleep ") == 0) {
            kind = "sleep";
        } else if (line.compare(0, 10, "send 1024 ") == 0 && line.size() > 4 &&
                   line.compare(line.size() - 4, 4, " 122") == 0 && line != "send 1024 -666 122") {
            kind = "set volume";
        }
        std::vector<std::pair<std::string, int>>::iterator found =
            std::find_if(kinds.begin(), kinds.end(), [&](const std::pair<std::string, int>& k) { return k.first == kind; });
        if (found == kinds.end()) {
            kinds.push_back(std::make_pair(kind, 1));
        } else {
            ++found->second;
        }
    }
    std::string all;
    for (const std::pair<std::string, int>& kind : kinds) {
        all += (all.empty() ? "" : ", ") + kind.first + (kind.second > 1 ? " x" + std::to_string(kind.second) : "");
    }
    return all;
}

class FaultRun {
public:
    FaultRun(const std::string& function, bool everyCall)
        : folder(newFolder("faults")), appData(newFolder("faults-appdata")) {
        failing = function;
        every = everyCall;
    }
    ~FaultRun() {
        host.reset();
        window.reset();
        removeFolder(folder);
        removeFolder(appData);
    }

    void play(const std::string& scenario);

private:
    // Writes the settings file, loads the module with the fault armed, and
    // calls pluginInit. False when the module did not come up.
    bool start(const std::vector<unsigned char>& record);
    void inDialog(const std::vector<DialogDriver::Step>& steps);
    void startFromDialog() { inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); }}); }
    // Lets the player play tick by tick until the countdown ends, and a few
    // ticks more if its timer lives on: those must not act.
    void playTicks(int limit);
    bool armed() const { return host->liveTimers() > 0; }
    // Effects of one tick, the killing of timers left out (said apart).
    std::vector<std::string> tickEffects(bool& killedATimer);
    // A later pluginConfig must still open the dialog.
    void reopen();
    void quit();
    void quitInsideTheDialog();
    void report();

    std::string folder;
    std::string appData;  // the user's application-data folder, as the module sees it
    std::string failing;
    bool every = false;
    PlayerModel player;
    std::unique_ptr<PlayerWindow> window;
    std::unique_ptr<PluginHost> host;
    std::vector<std::string> facts;
    std::vector<std::string> broken;
    std::vector<std::string> stuck;
    std::set<std::vector<unsigned char>> records;  // every whole record the module wrote
    bool ended = false;
};

bool FaultRun::start(const std::vector<unsigned char>& record) {
    writeFileBytes(folder + "\\gen_nightcap.dat", record);
    records.insert(record);
    window.reset(new PlayerWindow(player));
    host.reset(new PluginHost());
    host->guardHeap = true;
    host->fakeModuleName = true;
    host->moduleName = folder + "\\gen_Nightcap.dll";
    host->appDataFolder = appData;
    // A save writes a temporary file before moving it over: a whole record
    // in it, once closed, is one the settings file may hold afterwards.
    host->trace.onEvent = [this](const TraceEvent& event) {
        if (event.kind == TraceEvent::File && event.text == "CloseHandle") {
            for (const std::string& place : {folder, appData + "\\Nightcap"}) {
                std::vector<unsigned char> written = readFileBytes(place + "\\gen_nightcap.tmp");
                if (written.size() == SettingsFileSize) {
                    records.insert(written);
                }
            }
        }
    };
    if (!failing.empty()) {
        host->failCall(failing, 1, every);
    }
    if (!host->load(PluginHost::besideProgram("gen_Nightcap.dll"))) {
        facts.push_back("the module did not load");
        return false;
    }
    host->attach(window->handle());
    int result = host->init();
    if (result != 0) {
        facts.push_back("pluginInit returned " + std::to_string(result));
        return false;
    }
    return true;
}

// The scenario's steps, then Esc if the dialog is still open, as a listener
// would press it: a dialog that even then stays open is stuck, unless the
// system refused to end it.
void FaultRun::inDialog(const std::vector<DialogDriver::Step>& steps) {
    DialogDriver driver(window->handle(), host.get());
    std::vector<std::string> failures;
    DialogDriver::reportFailure = [&](const std::string& why) { failures.push_back(why); };
    for (const DialogDriver::Step& step : steps) {
        driver.then(step);
    }
    driver.then([](DialogDriver& d) { d.escape(); });
    int created = host->callsOf("DialogBoxParamA");
    int ends = host->callsOf("EndDialog");
    int refused = host->failedCalls;
    driver.run([this] { host->config(); });
    DialogDriver::reportFailure = nullptr;
    if (driver.endedTheDialog()) {
        if (host->callsOf("EndDialog") > ends) {
            facts.push_back("the dialog stayed open: the system refused to end it");
        } else {
            stuck.push_back("the dialog did not answer: " + joined(failures));
        }
    } else if (driver.stepsRun() == 0) {
        if (host->callsOf("DialogBoxParamA") > created || host->failedCalls > refused) {
            facts.push_back("the dialog could not be shown");
        } else {
            stuck.push_back("pluginConfig turned the dialog away");
        }
    } else if (driver.stepsRun() < steps.size()) {
        facts.push_back("the dialog closed after " + std::to_string(driver.stepsRun()) + " of " +
                        std::to_string(steps.size()) + " steps");
    } else if (driver.stepsRun() > steps.size()) {
        facts.push_back("the dialog stayed open until Esc");
    }
}

std::vector<std::string> FaultRun::tickEffects(bool& killedATimer) {
    host->trace.clear();
    host->tick();
    std::vector<std::string> effects;
    killedATimer = false;
    for (const std::string& line : host->trace.lines()) {
        if (line == "killtimer") {
            killedATimer = true;
        } else {
            effects.push_back(line);
        }
    }
    return effects;
}

void FaultRun::playTicks(int limit) {
    int afterEnd = 0;
    for (int tick = 1; armed() && (ended ? afterEnd < TicksAfterTheEnd : tick <= limit); ++tick) {
        player.advance(500);
        bool killed = false;
        std::vector<std::string> effects = tickEffects(killed);
        if (ended) {
            ++afterEnd;
            if (!effects.empty()) {
                broken.push_back("an ended countdown acted on tick " + std::to_string(tick) + ": " + joined(effects));
                return;
            }
        } else if (killed && !effects.empty()) {
            // A tick that only kills its timer is an orphan's: the end acts.
            ended = true;
            facts.push_back("the countdown ended on tick " + std::to_string(tick) + ": " + joined(effects));
        }
    }
    if (!ended) {
        facts.push_back(armed() ? "the countdown did not end" : "no countdown ran");
    }
}

void FaultRun::reopen() {
    inDialog({[](DialogDriver& d) { d.escape(); }});
}

void FaultRun::quit() {
    host->trace.clear();
    host->quit();
    // A timer that outlives pluginQuit must do nothing but end itself.
    for (int i = 0; i < TicksAfterTheEnd && armed(); ++i) {
        bool killed = false;
        std::vector<std::string> effects = tickEffects(killed);
        if (!effects.empty()) {
            broken.push_back("a timer ran after quit: " + joined(effects));
        }
    }
    if (armed()) {
        facts.push_back("a timer could not be killed at quit");
    }
    host->unload();
}

// The player quits the plug-in from inside the dialog's loop and unloads
// it, while the user presses "start now" and Esc: from the quit on, the
// module may only free its objects, and pluginConfig must return.
void FaultRun::quitInsideTheDialog() {
    size_t quitAt = 0;
    bool quitCame = false;
    inDialog({[&](DialogDriver& d) {
        d.paste(IDC_SONGS, "5");
        host->quit();
        quitCame = true;
        quitAt = host->trace.events.size();
        host->releaseModule();
        d.click(IDC_START_STOP);
        SendMessageA(d.dialog(), WM_COMMAND, IDCANCEL, 0);
    }});
    if (!quitCame) {
        return;
    }
    std::vector<std::string> acts;
    for (size_t i = quitAt; i < host->trace.events.size(); ++i) {
        const TraceEvent& event = host->trace.events[i];
        if (event.kind != TraceEvent::Heap || event.text != "free") {
            acts.push_back(event.kind == TraceEvent::File || event.kind == TraceEvent::Heap ? event.text
                                                                                             : Trace::describe(event));
        }
    }
    if (!acts.empty()) {
        broken.push_back("the module acted after quit: " + joined(acts));
    }
    if (armed()) {
        broken.push_back("a timer is alive after quit");
    }
    if (findOwnedDialog(window->handle()) != NULL) {
        stuck.push_back("the dialog stayed open after quit");
    }
    host->unload();
    facts.push_back(host->referencesKept > 0 ? "the module kept itself loaded" : "the module did not keep itself loaded");
}

void FaultRun::report() {
    std::vector<unsigned char> file = readFileBytes(folder + "\\gen_nightcap.dat");
    if (records.count(file) == 0) {
        broken.push_back("the settings file holds " + std::to_string(file.size()) + " bytes of no whole record");
    }
    // The per-user file, where a refused save went: whole, or not there.
    std::string perUser = appData + "\\Nightcap\\gen_nightcap.dat";
    if (GetFileAttributesA(perUser.c_str()) != INVALID_FILE_ATTRIBUTES && records.count(readFileBytes(perUser)) == 0) {
        broken.push_back("the per-user settings file holds no whole record");
    }
    for (const std::string& place : {folder, appData + "\\Nightcap"}) {
        if (GetFileAttributesA((place + "\\gen_nightcap.tmp").c_str()) != INVALID_FILE_ATTRIBUTES) {
            facts.push_back("a temporary settings file was left behind");
        }
    }
    for (const std::string& fact : facts) {
        printf("fact: %s\n", fact.c_str());
    }
    for (const std::string& line : broken) {
        printf("broken: %s\n", line.c_str());
    }
    for (const std::string& line : stuck) {
        printf("stuck: %s\n", line.c_str());
    }
    fflush(stdout);
}

void FaultRun::play(const std::string& scenario) {
    player.play();
    player.repeat = true;
    bool up = false;
    if (scenario == "songs") {
        player.seek(240000);  // the first track ends within ten ticks
        up = start(settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 1, 10));
        if (up) {
            startFromDialog();
            playTicks(40);
        }
    } else if (scenario == "wait-quit") {
        player.seek(183000);  // ends three seconds after the minute
        up = start(settingsBytes(CountMode::Minutes, StopMethod::WaitForSongEnd, FinalAction::QuitPlayer, 3, 1));
        if (up) {
            startFromDialog();
            playTicks(TicksPerMinute + 20);
            MSG quitMessage;
            facts.push_back(PeekMessageA(&quitMessage, NULL, WM_QUIT, WM_QUIT, PM_REMOVE) ? "the player was told to quit"
                                                                                         : "no quit reached the player");
        }
    } else if (scenario == "fade-halt") {
        player.volume = 40;
        up = start(settingsBytes(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::HaltComputer, 3, 1));
        if (up) {
            startFromDialog();
            playTicks(TicksPerMinute + 5);
            facts.push_back("volume " + std::to_string(player.volume) + " afterwards");
        }
    } else if (scenario == "stop-dialog") {
        up = start(settingsBytes(CountMode::Minutes, StopMethod::StopNow, FinalAction::StopPlaying, 3, 1));
        if (up) {
            startFromDialog();
            std::string shown;
            inDialog({[](DialogDriver& d) { d.tick(TicksPerMinute + 1); },
                      [&](DialogDriver& d) {
                          shown = d.text(IDC_START_STOP) + " " + d.text(IDC_MINUTES);
                          d.escape();
                      }});
            facts.push_back("the open dialog showed \"" + shown + "\" after the end");
        }
    } else if (scenario == "restart") {
        player.seek(100000);
        up = start(settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::StopPlaying, 1, 10));
        if (up) {
            startFromDialog();
            playTicks(10);
            inDialog({[](DialogDriver& d) { d.click(IDC_START_STOP); },
                      [](DialogDriver& d) { d.click(IDC_START_STOP); }});
            player.seek(240000);
            playTicks(40);
        }
    } else if (scenario == "quit-mid") {
        up = start(settingsBytes(CountMode::Minutes, StopMethod::ShadeOut, FinalAction::HaltComputer, 3, 2));
        if (up) {
            startFromDialog();
            playTicks(100);
        }
    } else if (scenario == "idle-close") {
        up = start(settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, 3, 10));
        if (up) {
            inDialog({[](DialogDriver& d) { d.paste(IDC_SONGS, "7"); }, [](DialogDriver& d) { d.escape(); }});
            std::string shown;
            inDialog({[&](DialogDriver& d) {
                shown = d.text(IDC_SONGS);
                d.escape();
            }});
            facts.push_back("reopened, the dialog showed " + shown + " songs");
        }
    } else if (scenario == "quit-dialog") {
        up = start(settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::HaltComputer, 2, 10));
        if (up) {
            quitInsideTheDialog();
        }
    } else if (scenario == "sleep" || scenario == "standby") {
        // A desktop's sleep (S3), or a Modern Standby computer's (the display off).
        player.seek(240000);
        up = start(settingsBytes(CountMode::Songs, StopMethod::WaitForSongEnd, FinalAction::Sleep, 1, 10));
        if (up) {
            host->sleepStates = scenario == "sleep";
            host->modernStandby = scenario == "standby";
            startFromDialog();
            playTicks(40);
        }
    } else {
        printf("crash: no scenario %s\n", scenario.c_str());
        return;
    }
    if (up && scenario != "quit-dialog") {
        if (scenario != "quit-mid") {
            reopen();
        }
        quit();
    }
    report();
}

}  // namespace

void runScenario(const std::string& scenario, const std::string& function, bool everyCall) {
    FaultRun run(function, everyCall);
    run.play(scenario);
}
