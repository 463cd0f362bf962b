#include "host/faults/FaultRun.h"

#include <stdio.h>

#include <algorithm>
#include <functional>

#include "settings/Settings.h"

namespace {

// Ticks given to a timer still alive once its countdown has ended: long
// enough for a countdown of minutes to come round again.
const int TicksAfterTheEnd = 2 * ProbeTicksPerMinute + 10;

BOOL CALLBACK findIconWindow(HWND window, LPARAM found) {
    char className[32];
    if (GetClassNameA(window, className, sizeof className) > 0 && lstrcmpA(className, "NightcapNotificationIcon") == 0) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

// The icon's window among this thread's: runs go side by side on one
// desktop, where FindWindow would find the other run's as it comes and goes.
bool iconWindowLeft() {
    bool found = false;
    EnumThreadWindows(GetCurrentThreadId(), findIconWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

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

bool FaultRun::start(const std::vector<unsigned char>& record, bool heldWhileStarting) {
    writeFileBytes(settingsPath(), record);
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
        // What the listener saw in the notification area: a refused call
        // is recorded with no text.
        if (event.kind == TraceEvent::Icon && event.message == NIM_ADD && iconShown.empty() && !event.text.empty()) {
            iconShown = "\"" + event.text + "\"" +
                        (host->shellIcons.empty() || host->shellIcons.back().image == NULL ? " without its image" : "");
        }
        if (event.kind == TraceEvent::Icon && !event.caption.empty() && balloonShown.empty()) {
            balloonShown = event.caption;
        }
        if (event.kind == TraceEvent::File && event.text == "CloseHandle") {
            for (const std::string& place : {folder, appData + "\\Nightcap"}) {
                std::vector<unsigned char> written = readFileBytes(place + "\\gen_nightcap.tmp");
                if (written.size() >= SettingsFileSize && written.size() <= SettingsRecordSize) {
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
    if (heldWhileStarting && !host->holdFile(settingsPath())) {
        facts.push_back("the settings file could not be held");
    }
    int result = host->init();
    host->releaseFile(settingsPath());
    if (result != 0) {
        facts.push_back("pluginInit returned " + std::to_string(result));
        return false;
    }
    return true;
}

// The scenario's steps, then Esc if the dialog is still open, as a listener
// would press it: a dialog that even then stays open is stuck, unless the
// system refused to end it.
void FaultRun::inDialog(const std::vector<DialogDriver::Step>& steps, const std::function<void()>& open) {
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
    driver.run(open ? open : [this] { host->config(); });
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
    for (const TraceEvent& event : host->trace.events) {
        if (event.kind == TraceEvent::KillTimer) {
            killsTried.insert(event.wParam);
        }
    }
    host->trace.clear();
    host->tick();
    std::vector<std::string> effects;
    killedATimer = false;
    for (const TraceEvent& event : host->trace.events) {
        if (event.kind == TraceEvent::KillTimer) {
            killedATimer = killsTried.insert(event.wParam).second || killedATimer;
        } else if (!event.isResource() && !event.isNotificationArea()) {
            effects.push_back(Trace::describe(event));
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

UINT_PTR FaultRun::latestCountdownTimer() const {
    UINT_PTR id = 0;
    for (const PluginHost::Timer& timer : host->timers) {
        if (timer.alive && timer.periodMs == 500) {
            id = timer.id;
        }
    }
    return id;
}

void FaultRun::reopen() {
    inDialog({[](DialogDriver& d) { d.escape(); }});
}

void FaultRun::quit() {
    host->quit();
    checkNothingAfterQuit(host->trace.events.size());
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
    checkNothingAfterQuit(quitAt);
    if (findOwnedDialog(window->handle()) != NULL) {
        stuck.push_back("the dialog stayed open after quit");
    }
    host->unload();
    notes.push_back(host->referencesKept > 0 ? "the module kept itself loaded" : "the module did not keep itself loaded");
}

void FaultRun::checkNothingAfterQuit(size_t quitAt) {
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
    // A timer the system would not kill may only end itself.
    for (int i = 0; i < TicksAfterTheEnd && armed(); ++i) {
        bool killed = false;
        std::vector<std::string> effects = tickEffects(killed);
        if (!effects.empty()) {
            broken.push_back("a timer ran after quit: " + joined(effects));
            break;
        }
    }
    if (armed()) {
        notes.push_back("a timer could not be killed at quit");
    }
    if (!host->shellIcons.empty()) {
        broken.push_back("the notification icon stayed after quit");
    }
    if (iconWindowLeft()) {
        notes.push_back("the icon's hidden window was left after quit");
    }
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
    facts.push_back(iconShown.empty() ? "no notification icon showed" : "the icon showed " + iconShown);
    if (!balloonShown.empty()) {
        facts.push_back("a balloon warned \"" + balloonShown + "\"");
    }
    for (const std::string& fact : facts) {
        printf("fact: %s\n", fact.c_str());
    }
    for (const std::string& note : notes) {
        printf("note: %s\n", note.c_str());
    }
    for (const std::string& line : broken) {
        printf("broken: %s\n", line.c_str());
    }
    for (const std::string& line : stuck) {
        printf("stuck: %s\n", line.c_str());
    }
    fflush(stdout);
}

std::vector<std::string> FaultRun::effectsSince(size_t event) const {
    std::vector<std::string> effects;
    for (size_t i = event; i < host->trace.events.size(); ++i) {
        if (!host->trace.events[i].isResource()) {
            effects.push_back(Trace::describe(host->trace.events[i]));
        }
    }
    return effects;
}
