// The bench player's command line. Without --script it is a player for a
// person: a window, a playlist, and Nightcap in its Plug-ins menu. With
// --script it plays one countdown by itself and reports how it ended.

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

#include "host/bench/BenchPlayer.h"
#include "host/bench/BenchSession.h"
#include "settings/Settings.h"

namespace {

const char Usage[] =
    "usage: bench_player [options]\n"
    "  --plugin PATH          the plug-in to load (default: gen_Nightcap.dll beside this program)\n"
    "  --playlist FILE        an extended M3U playlist (#EXTINF:seconds,title); default: five built-in tracks\n"
    "  --speed N              time warp, above 0 and at most 50: the player's clock, the plug-in's timer\n"
    "                         and its pauses run N times faster (default 1)\n"
    "  --simulated            the bench fires the plug-in's ticks itself, each after 500 ms of play, as\n"
    "                         fast as it can (instead of real timers)\n"
    "  --ticks-per-beat N     simulated clock: ticks per 10 ms heartbeat (default 10)\n"
    "  --home DIR             the plug-in believes it lives in DIR: its settings file is kept there\n"
    "  --home-refuses         the plug-in's folder refuses new files, as Program Files does to a listener\n"
    "  --appdata DIR          the listener's application-data folder, where the plug-in keeps its\n"
    "                         settings when its own folder refuses them (default: the system's)\n"
    "  --script               play one countdown by itself, print the log and the outcome, and close;\n"
    "                         exit status 0 when the plug-in did what was chosen\n"
    "  scripted session:\n"
    "  --songs N | --minutes N   what to count (default: --songs 2)\n"
    "  --stop-method wait|fade|stop   counting minutes: how the song ends (default wait)\n"
    "  --fade 5s|30s|1m|2m|5m|10m|20m|30m   with --stop-method fade: the fade's length to choose\n"
    "                         (default: the one the dialog shows)\n"
    "  --final stop|pause|quit|halt|sleep|hibernate   what happens then (default stop; halt, sleep\n"
    "                         and hibernate are intercepted)\n"
    "  --power LIST           what the computer can do, a comma-separated list of s3 (sleeps),\n"
    "                         modern (sleeps as Modern Standby does: the display goes off), s4\n"
    "                         (hibernates), s4-nofile (S4, but hibernation turned off), or none\n"
    "                         (default: s3,s4)\n"
    "  --no-reopen            do not open the dialog again during the countdown\n"
    "  --no-skip              play every track in full (no jumping to a few seconds before the end)\n"
    "  --menu-at TICK:ITEM    at that tick of the countdown, right-click the moon in the notification\n"
    "                         area and choose ITEM of its menu: more (10 more minutes, or one more\n"
    "                         song), stop (stop the countdown) or open (Open Nightcap...); repeatable\n"
    "  --idle-shot FILE.bmp   screenshot before the dialog opens\n"
    "  --countdown-shot FILE.bmp  screenshot mid-countdown, with the dialog open\n"
    "  --end-shot FILE.bmp    screenshot once the countdown is over\n"
    "  --warning-shot FILE.bmp  screenshot while the icon's warning balloon shows\n"
    "  --fade-shot FILE.bmp   screenshot two-fifths into the fade\n"
    "  --limit SECONDS        give up after this long (default 180)\n";

struct Named {
    const char* name;
    int value;
};
const Named StopMethods[] = {
    {"wait", StopMethod::WaitForSongEnd}, {"fade", StopMethod::ShadeOut}, {"stop", StopMethod::StopNow}};
const Named FadeLengthNames[] = {{"5s", 5},   {"30s", 30},  {"1m", 60},    {"2m", 120},
                                 {"5m", 300}, {"10m", 600}, {"20m", 1200}, {"30m", 1800}};
const Named FinalActions[] = {{"stop", FinalAction::StopPlaying},
                               {"pause", FinalAction::Pause},
                               {"quit", FinalAction::QuitPlayer},
                               {"halt", FinalAction::HaltComputer},
                               {"sleep", FinalAction::Sleep},
                               {"hibernate", FinalAction::Hibernate}};

// 0 for a name not in the list.
template <size_t Count>
int choice(const char* value, const Named (&names)[Count]) {
    for (const Named& named : names) {
        if (strcmp(value, named.name) == 0) {
            return named.value;
        }
    }
    return 0;
}

// A --menu-at TICK:ITEM; false for a tick below 1 or an item not known.
bool readMenuClick(const std::string& value, Scenario& scenario) {
    size_t colon = value.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    MenuClick click = {atoi(value.substr(0, colon).c_str()), value.substr(colon + 1)};
    if (click.tick < 1 || (click.item != "more" && click.item != "stop" && click.item != "open")) {
        return false;
    }
    scenario.menuClicks.push_back(click);
    return true;
}

// The computer of --power; false for a word it does not know.
bool readPower(const std::string& list, BenchOptions& options) {
    options.sleepStates = options.modernStandby = options.hibernation = options.hibernationFile = false;
    size_t at = 0;
    while (at <= list.size()) {
        size_t end = list.find(',', at);
        std::string word = list.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (word == "s3") {
            options.sleepStates = true;
        } else if (word == "modern") {
            options.modernStandby = true;
        } else if (word == "s4" || word == "s4-nofile") {
            options.hibernation = true;
            options.hibernationFile = word == "s4";
        } else if (word != "none") {
            return false;
        }
        at = end == std::string::npos ? list.size() + 1 : end + 1;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // A crash ends the program instead of waiting on a system error box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    BenchOptions options;
    Scenario scenario;
    bool scripted = false;
    options.ticksPerHeartbeat = 10;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool takesValue = arg == "--plugin" || arg == "--playlist" || arg == "--speed" || arg == "--home" ||
                          arg == "--appdata" || arg == "--songs" || arg == "--minutes" || arg == "--stop-method" ||
                          arg == "--final" || arg == "--power" || arg == "--idle-shot" ||
                          arg == "--countdown-shot" || arg == "--end-shot" || arg == "--ticks-per-beat" ||
                          arg == "--limit" || arg == "--menu-at" || arg == "--warning-shot" || arg == "--fade" ||
                          arg == "--fade-shot";
        if (takesValue && value == nullptr) {
            fprintf(stderr, "bench_player: %s needs a value\n%s", arg.c_str(), Usage);
            return 2;
        }
        if (takesValue) {
            ++i;
        }
        if (arg == "--plugin") {
            options.pluginPath = value;
        } else if (arg == "--playlist") {
            options.playlistPath = value;
        } else if (arg == "--speed") {
            options.speed = atof(value);
        } else if (arg == "--simulated") {
            options.simulated = true;
        } else if (arg == "--ticks-per-beat") {
            options.ticksPerHeartbeat = atoi(value) > 0 ? atoi(value) : 1;
        } else if (arg == "--home") {
            options.homeFolder = value;
        } else if (arg == "--home-refuses") {
            options.homeRefuses = true;
        } else if (arg == "--appdata") {
            options.appDataFolder = value;
        } else if (arg == "--script") {
            scripted = true;
        } else if (arg == "--songs" || arg == "--minutes") {
            scenario.countMode = arg == "--songs" ? CountMode::Songs : CountMode::Minutes;
            scenario.count = atoi(value);
        } else if (arg == "--stop-method") {
            scenario.stopMethod = choice(value, StopMethods);
        } else if (arg == "--fade") {
            scenario.fadeSeconds = choice(value, FadeLengthNames);
            if (scenario.fadeSeconds == 0) {
                fprintf(stderr, "bench_player: unknown --fade %s\n%s", value, Usage);
                return 2;
            }
        } else if (arg == "--final") {
            scenario.finalAction = choice(value, FinalActions);
        } else if (arg == "--power") {
            if (!readPower(value, options)) {
                fprintf(stderr, "bench_player: unknown --power %s\n%s", value, Usage);
                return 2;
            }
        } else if (arg == "--no-reopen") {
            scenario.reopenDialog = false;
        } else if (arg == "--no-skip") {
            scenario.skipToTrackEnds = false;
        } else if (arg == "--idle-shot") {
            scenario.idleShot = value;
        } else if (arg == "--countdown-shot") {
            scenario.countdownShot = value;
        } else if (arg == "--end-shot") {
            scenario.endShot = value;
        } else if (arg == "--warning-shot") {
            scenario.warningShot = value;
        } else if (arg == "--fade-shot") {
            scenario.fadeShot = value;
        } else if (arg == "--menu-at") {
            if (!readMenuClick(value, scenario)) {
                fprintf(stderr, "bench_player: --menu-at takes TICK:more, TICK:stop or TICK:open, not %s\n%s", value,
                        Usage);
                return 2;
            }
        } else if (arg == "--limit") {
            scenario.limitRealMs = static_cast<long long>(atof(value) * 1000);
        } else if (arg == "--help" || arg == "-h") {
            printf("%s", Usage);
            return 0;
        } else {
            fprintf(stderr, "bench_player: unknown option %s\n%s", arg.c_str(), Usage);
            return 2;
        }
    }
    if (scenario.stopMethod == 0 || scenario.finalAction == 0) {
        fprintf(stderr, "bench_player: unknown stop method or final action\n%s", Usage);
        return 2;
    }
    // The dialog offers the length only beside "shade out".
    if (scenario.fadeSeconds != 0 &&
        (scenario.countMode != CountMode::Minutes || scenario.stopMethod != StopMethod::ShadeOut)) {
        fprintf(stderr, "bench_player: --fade goes with --minutes N --stop-method fade\n%s", Usage);
        return 2;
    }
    // In a session nobody is there to read the plug-in's boxes: they are
    // logged and answered OK.
    options.showMessageBoxes = !scripted;

    BenchPlayer player(options);
    std::unique_ptr<BenchSession> session;
    if (scripted) {
        printf("Scripted session: %s, %s.\n", BenchSession::describe(scenario).c_str(),
               BenchClock::describe(options.simulated, options.speed).c_str());
        fflush(stdout);
        session.reset(new BenchSession(player, scenario));
    }
    std::string error;
    if (!player.start(error)) {
        fprintf(stderr, "bench_player: %s\n", error.c_str());
        return 1;
    }
    player.run();
    if (!session) {
        return 0;
    }
    printf("\n%s\n", session->outcome().c_str());
    std::string timing = session->timing();
    if (!timing.empty()) {
        printf("%s\n", timing.c_str());
    }
    fflush(stdout);
    return session->succeeded() ? 0 : 1;
}
