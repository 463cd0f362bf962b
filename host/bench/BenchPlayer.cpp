#include "host/bench/BenchPlayer.h"

#include <stdio.h>

#include "engine/CountdownEngine.h"
#include "host/DialogDriver.h"
#include "plugin/PlayerMessages.h"

namespace {

std::string fileNameOf(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string folderOf(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

}  // namespace

BenchPlayer::BenchPlayer(const BenchOptions& chosen)
    : options(chosen),
      clock(options.simulated, options.speed, options.ticksPerHeartbeat),
      frame(*this) {
    clock.play = [this](int ms) { model.advance(ms); };
    clock.moved = [this]() {
        log.setClock(clock.playerMs());
        afterPlayerChange();
    };
    clock.tick = [this]() {
        if (countdownArmed()) {
            host.tick();
        }
    };
    host.trace.onEvent = [this](const TraceEvent& event) { onTraceEvent(event); };
    host.beforeTick = [this]() {
        clock.catchUp();
        log.setClock(clock.playerMs());
        bool fadeStep = host.ticking.periodMs != TickIntervalMs;
        countdownTickCount += fadeStep ? 0 : 1;
        log.tickBegins(countdownTickCount, fadeStep);
    };
    host.afterTick = [this]() {
        log.tickEnds();
        fading.ticked(host.nowMs(), model.volume);
        if (!countdownArmed()) {
            facts.tickAtFinish = countdownTicks();
        }
    };
    fading.say = [this](const std::string& text) { log.note(text); };
    host.onMessageBox = [this](const TraceEvent& event) {
        if (options.showMessageBoxes) {
            host.messageBoxAnswer = MessageBoxW(event.window, wideFromUtf8(event.text).c_str(),
                                                wideFromUtf8(event.caption).c_str(), event.message);
        } else {
            host.messageBoxAnswer = IDOK;
        }
    };
    log.onLine = [this](const std::string& line) {
        if (options.echo) {
            printf("%s\n", line.c_str());
            fflush(stdout);
        }
        frame.controls.addLogLine(line);
    };
}

BenchPlayer::~BenchPlayer() {
    if (host.initialised()) {
        host.quit();
    }
    frame.loopEnded();
    frame.destroy();
    host.unload();
}

bool BenchPlayer::start(std::string& error) {
    if (!options.simulated && (options.speed <= 0 || options.speed > MaxSpeed)) {
        error = "the speed must lie above 0 and at most 50";
        return false;
    }
    if (!options.playlistPath.empty() && !PlayerModel::readM3u(options.playlistPath, model.playlist)) {
        error = "cannot read a playlist from " + options.playlistPath;
        return false;
    }
    if (!frame.create()) {
        error = "cannot create the player window (is there a display?)";
        return false;
    }

    file = options.pluginPath.empty() ? PluginHost::besideProgram("gen_Nightcap.dll") : options.pluginPath;
    host.sleepStates = options.sleepStates;
    host.modernStandby = options.modernStandby;
    host.hibernation = options.hibernation;
    host.hibernationFile = options.hibernationFile;
    host.realTimers = !options.simulated;
    host.realSleep = !options.simulated;
    host.speed = options.simulated ? 1.0 : options.speed;
    if (!host.load(file)) {
        char reason[64];
        snprintf(reason, sizeof reason, "error %lu", GetLastError());
        error = "cannot load the plug-in " + file + " (" +
                (host.module() != NULL ? "no winampGetGeneralPurposePlugin export" : reason) + ")";
        return false;
    }
    if (!options.homeFolder.empty()) {
        CreateDirectoryA(options.homeFolder.c_str(), NULL);
        host.fakeModuleName = true;
        host.moduleName = options.homeFolder + "\\" + fileNameOf(file);
    }
    char moduleName[MAX_PATH] = "";
    GetModuleFileNameA(host.module(), moduleName, MAX_PATH);
    std::string home = host.fakeModuleName ? folderOf(host.moduleName) : folderOf(moduleName);
    besideSettings = home + "\\gen_nightcap.dat";
    if (options.homeRefuses) {
        host.refusingFolders.push_back(home);
    }
    if (!options.appDataFolder.empty()) {
        CreateDirectoryA(options.appDataFolder.c_str(), NULL);
        host.appDataFolder = options.appDataFolder;
    }
    PluginDescriptor* descriptor = host.descriptor();
    description = descriptor->description != nullptr ? descriptor->description : "(no description)";
    log.note("loaded " + description + " from " + file);
    log.note("the computer " + host.powerStates());
    if (options.homeRefuses) {
        log.note("its folder " + home + " refuses new files, as Program Files does to a listener");
    }
    host.attach(window());
    facts.initResult = host.init();
    facts.pluginReady = facts.initResult == 0;
    log.note(facts.pluginReady ? std::string("pluginInit: ready") : std::string("pluginInit failed (returned 1)"));

    frame.refresh();
    frame.start(options.show);
    return true;
}

void BenchPlayer::run() {
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    frame.loopEnded();
    if (!frame.closedByUser()) {
        facts.quitByPlugin = true;
        log.setClock(clock.playerMs());
        log.note("the plug-in asked the player to quit: the player closes");
    }
    if (host.initialised()) {
        log.note("pluginQuit");
        host.quit();
        facts.pluginQuitCalled = true;
    }
    frame.destroy();
    host.unload();
}

std::string BenchPlayer::pluginFileName() const {
    return fileNameOf(file);
}

// Only the one on screen: a dialog still being made, or ended and not yet
// destroyed, is not there for the user.
HWND BenchPlayer::pluginDialog() const {
    HWND dialog = window() != NULL ? findOwnedDialog(window()) : NULL;
    return dialog != NULL && IsWindowVisible(dialog) ? dialog : NULL;
}

void BenchPlayer::showPluginConfig() {
    if (!facts.pluginReady) {
        log.note("the plug-in is not ready: no dialog");
        return;
    }
    log.note("you: Plug-ins > Nightcap... (pluginConfig)");
    host.config();
    log.setClock(clock.playerMs());
    log.note("pluginConfig returned");
}

// --- transport --------------------------------------------------------------

void BenchPlayer::openPluginConfig() {
    frame.openPluginConfig();
}

void BenchPlayer::userDoes(const std::string& what, void (PlayerModel::*button)()) {
    clock.catchUp();
    log.note("you: " + what);
    (model.*button)();
    afterPlayerChange();
}

void BenchPlayer::play() {
    userDoes("play", &PlayerModel::play);
}

void BenchPlayer::pause() {
    userDoes("pause", &PlayerModel::pause);
}

void BenchPlayer::stop() {
    userDoes("stop", &PlayerModel::stop);
}

void BenchPlayer::next() {
    userDoes("next track", &PlayerModel::next);
}

void BenchPlayer::previous() {
    userDoes("previous track", &PlayerModel::previous);
}

void BenchPlayer::playTrack(size_t index) {
    if (index >= model.playlist.size()) {
        return;
    }
    clock.catchUp();
    log.note("you: play track " + std::to_string(index + 1));
    model.trackIndex = index;
    model.positionMs = 0;
    model.state = PlayerModel::Stopped;
    model.play();
    afterPlayerChange();
}

void BenchPlayer::seek(int ms) {
    clock.catchUp();
    model.seek(ms);
    log.note("you: go to " + BenchLog::formatTime(model.positionMs));
    afterPlayerChange();
}

void BenchPlayer::jumpBeforeEnd(int seconds) {
    clock.catchUp();
    model.seek(model.currentLengthMs() - seconds * 1000);
    log.note("you: go to " + std::to_string(seconds) + " s before the end (" + BenchLog::formatTime(model.positionMs) +
             ")");
    afterPlayerChange();
}

void BenchPlayer::setRepeat(bool on) {
    model.setRepeat(on);
    log.note(std::string("you: repeat ") + (on ? "on" : "off"));
    frame.refresh();
}

void BenchPlayer::setVolume(int volume) {
    model.volume = volume < 0 ? 0 : (volume > 255 ? 255 : volume);
    log.note("you: volume " + std::to_string(model.volume));
    frame.refresh();
}

void BenchPlayer::usePlaylist(const std::vector<Track>& tracks, const std::string& path) {
    model.stop();
    model.playlist = tracks;
    model.trackIndex = 0;
    shownTrack = static_cast<size_t>(-1);
    frame.controls.fillPlaylist();
    log.note("you: opened the playlist " + path);
    afterPlayerChange();
}

void BenchPlayer::close() {
    frame.close();
}

// --- the player's part --------------------------------------------------------

// Every message the plug-in sends is answered by the model, at the position
// the clock has reached at that moment.
bool BenchPlayer::answer(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    bool command = message == WM_COMMAND && (LOWORD(wParam) == StopCommand || LOWORD(wParam) == PauseCommand);
    if (message != PlayerMessage && !command) {
        return false;
    }
    clock.catchUp();
    if (!model.handle(message, wParam, lParam, result)) {
        return false;
    }
    afterPlayerChange();
    return true;
}

void BenchPlayer::heartbeat() {
    // A message box shown from inside a beat runs a loop that delivers the
    // next beat: that one waits.
    if (inHeartbeat) {
        return;
    }
    inHeartbeat = true;
    clock.beat();
    frame.refresh();
    if (onHeartbeat) {
        onHeartbeat();
    }
    inHeartbeat = false;
}

void BenchPlayer::afterPlayerChange() {
    if (model.trackIndex != shownTrack && model.state == PlayerModel::Playing) {
        const Track* track = model.currentTrack();
        if (track != nullptr) {
            log.note("now playing " + std::to_string(model.trackIndex + 1) + "/" +
                     std::to_string(model.playlist.size()) + " " + track->title + " (" +
                     BenchLog::formatLength(track->lengthSeconds) + ")");
        }
        if (shownTrack != static_cast<size_t>(-1) && countdownArmed()) {
            ++facts.trackChangesWhileArmed;
        }
        shownTrack = model.trackIndex;
    }
    if (model.state != shownState) {
        if (model.state == PlayerModel::Stopped) {
            log.note("player stopped");
        } else if (model.state == PlayerModel::Paused) {
            log.note("player paused");
        }
        shownState = model.state;
    }
}
