#pragma once
// The bench player: a stand-in for the media player, with a window of its
// own. It loads the plug-in as the player does (export, the two handles,
// pluginInit; "Nightcap..." in the Plug-ins menu calls pluginConfig; closing
// calls pluginQuit), answers every player message from a simulated playlist,
// plays that playlist on its own clock (BenchClock), and shows what the
// plug-in says to it (BenchWindow).

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "host/PlayerModel.h"
#include "host/PluginHost.h"
#include "host/bench/BenchClock.h"
#include "host/bench/BenchFade.h"
#include "host/bench/BenchLog.h"
#include "host/bench/BenchWindow.h"

struct BenchOptions {
    std::string pluginPath;        // empty: gen_Nightcap.dll beside the program
    std::string playlistPath;      // an extended M3U file; empty: the built-in playlist
    double speed = 1.0;            // real clock only
    bool simulated = false;
    int ticksPerHeartbeat = 1;     // simulated clock only
    // Non-empty: the plug-in believes it lives in this folder, so its
    // settings file is kept there and not beside the real DLL.
    std::string homeFolder;
    // The plug-in's folder refuses new files, as Program Files does for a
    // listener who is no administrator: its settings go to its per-user file.
    bool homeRefuses = false;
    // Non-empty: the user's application-data folder, where the plug-in keeps
    // that per-user file, as the plug-in sees it.
    std::string appDataFolder;
    // What the simulated computer can do; a desktop's by default.
    bool sleepStates = true;       // sleeps (S3)
    bool modernStandby = false;    // sleeps as Modern Standby does, when the display goes off
    bool hibernation = true;       // hibernates (S4)...
    bool hibernationFile = true;   // ...with a hibernation file
    bool showMessageBoxes = true;  // show the plug-in's boxes; else answer OK unseen
    bool echo = true;              // print the log on standard output as well
    bool show = true;              // show the window
};

class BenchPlayer {
public:
    explicit BenchPlayer(const BenchOptions& options);
    ~BenchPlayer();
    BenchPlayer(const BenchPlayer&) = delete;
    BenchPlayer& operator=(const BenchPlayer&) = delete;

    // Creates the window, loads the plug-in and calls pluginInit. False, with
    // the reason in error, when any of it fails.
    bool start(std::string& error);
    // The message loop, until the window closes or the plug-in posts quit;
    // then pluginQuit, and the plug-in is unloaded.
    void run();

    HWND window() const { return frame.handle(); }
    // The plug-in's dialog on screen (owned by the player window), or NULL.
    HWND pluginDialog() const;

    // As the user does it; all logged.
    void openPluginConfig();       // posts the menu command, as a click would
    void play();
    void pause();
    void stop();
    void next();
    void previous();
    void playTrack(size_t index);
    void seek(int ms);
    void jumpBeforeEnd(int seconds);
    void setRepeat(bool on);
    void setVolume(int volume);
    void close();                  // as the window's close box

    long long clockMs() const { return clock.playerMs(); }

    BenchOptions options;
    PlayerModel model;
    PluginHost host;
    BenchLog log;

    // What happened, for scripts and tests.
    struct Facts {
        bool pluginReady = false;     // pluginInit returned 0
        int initResult = -1;
        bool quitByPlugin = false;    // the loop ended on the plug-in's WM_QUIT
        bool powerOffAsked = false;
        bool sleepAsked = false;      // SetSuspendState, sleep
        bool hibernateAsked = false;  // SetSuspendState, hibernate
        bool displayOffAsked = false; // SC_MONITORPOWER 2, as Modern Standby sleeps
        int stopsBeforeRequest = -1;  // stop commands sent before the last request to the system
        int stopCommands = 0;
        int pauseCommands = 0;
        int jumps = 0;                // to a time in the song
        int repeatSwitchedOn = 0;     // by the plug-in, since the last arming
        int repeatSwitchedOff = 0;
        bool repeatAtArming = false;  // the player's, as the last countdown began
        int volumeAtArming = -1;
        int armed = 0;                // the countdown's timer was set this often
        long long armedAtRealMs = -1; // real time of the last arming
        long long firstStopAtRealMs = -1;  // real time of the first stop command after it
        int tickAtFinish = 0;         // the countdown's ticks when its timer last died
        int trackChangesWhileArmed = 0;
        bool pluginQuitCalled = false;
        std::string requestNotice;    // what the window shows about the request to the system
    } facts;

    // Called on every heartbeat (10 ms), after the clock moved: a script's step.
    std::function<void()> onHeartbeat;

    // Real milliseconds since the bench started.
    long long realMs() const { return clock.realMs(); }
    // The countdown's own timer lives (the fade's faster one aside).
    bool countdownArmed() const;
    // Ticks of the current (or last) countdown's timer so far.
    int countdownTicks() const { return countdownTickCount; }
    // The shade-out as the player meets it, told in the log.
    const BenchFade& fade() const { return fading; }

    // A screen capture of the player window and the plug-in's dialog over it,
    // as a 24-bit BMP file. It reads the screen as it is: repaint() a while
    // before, as the system shows what was painted only some time after.
    bool saveScreenshot(const std::string& bmpPath) { return frame.saveScreenshot(bmpPath); }
    void repaint() { frame.repaint(); }
    // The notification area along the window's bottom.
    BenchTray& tray() { return frame.tray; }
    const BenchTray& tray() const { return frame.tray; }

    // --- for the window ---
    // A message to the player window: true, with the player's answer in
    // result, for the player's own messages.
    bool answer(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Every 10 ms, from the window's timer.
    void heartbeat();
    // Plug-ins > Nightcap...: pluginConfig, which returns when its dialog closes.
    void showPluginConfig();
    void usePlaylist(const std::vector<Track>& tracks, const std::string& path);
    const std::string& pluginDescription() const { return description; }
    std::string pluginFileName() const;  // the DLL's, without its folder

private:
    // A transport button: logged, pressed on the model at the clock's time.
    void userDoes(const std::string& what, void (PlayerModel::*button)());
    void afterPlayerChange();
    void onTraceEvent(const TraceEvent& event);
    void noteSend(const TraceEvent& event);
    void noteSettingsFile(const TraceEvent& event);
    // A request to the system: noted, and shown in the window's banner.
    void announce(const std::string& asked, const std::string& call, const std::string& intercepted);

    // The fade's length the open dialog shows, in ms; 0 when none can be read.
    long long fadeLengthShown() const;
    bool isFadeTimer(UINT_PTR id) const;

    BenchClock clock;
    BenchFade fading;
    int countdownTickCount = 0;
    BenchWindow frame;
    size_t shownTrack = static_cast<size_t>(-1);
    PlayerModel::State shownState = PlayerModel::Stopped;
    bool inHeartbeat = false;
    std::vector<std::string> requestSteps;
    std::string description;
    std::string file;
    std::string besideSettings;  // the settings file beside the plug-in, as it names it
};
