#pragma once
// What the plug-in said to the player, in words: one line per timer tick
// (everything the module did inside that tick), one line per call made
// outside a tick (from the dialog), and the bench's own notes. A tick that
// did nothing but a running fade's routine (its volume steps, its look at
// the position, the icon's time left) leaves no line: the fade is told in
// notes instead (BenchFade).
//
//   "   41.5 s  tick 83: asked the play position (244.5 s); asked the repeat mode (on)"
//   "   52.0 s  Nightcap: asked whether the player plays (yes)"
//   "   52.0 s  -- now playing 2/5 Slow Tide (3:18)"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "host/Trace.h"

class BenchLog {
public:
    // Told of each finished line, as it is finished.
    std::function<void(const std::string&)> onLine;
    // The most recent lines (the oldest are dropped beyond MaxLines).
    std::vector<std::string> lines;
    static const size_t MaxLines = 20000;

    // The time stamp of lines from now on, in the bench clock's milliseconds.
    void setClock(long long ms) { clockMs = ms; }

    // A tick of the countdown's timer, or (fadeStep) of the fade's own,
    // after the countdown's tickNumber.
    void tickBegins(int tickNumber, bool fadeStep = false);
    void tickEnds();
    // A message the player window answered, after its effect; routine: a
    // running fade's, which alone leaves a tick no line.
    void sent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result, bool routine = false);
    // Anything else the module did: posts, timers, boxes, power, the icon.
    void event(const TraceEvent& event, bool routine = false);
    // Something the module did, in words ("saved its settings to ...").
    void did(const std::string& text);
    // The bench's own remark (transport, track changes, what it did).
    void note(const std::string& text);

    // True when some finished line contains the text.
    bool contains(const std::string& text) const;

    static std::string describeSend(UINT message, WPARAM wParam, LPARAM lParam, LRESULT result);
    // Empty for events told through sent().
    static std::string describeEvent(const TraceEvent& event);
    // Opening the token, adjusting its privileges: in words, as asked.
    static std::string describePowerStep(const TraceEvent& event);
    // Sleep or hibernation (SetSuspendState), with its arguments in words:
    // "hibernate, force, wake events on".
    static std::string describeSuspend(const TraceEvent& event);
    static std::string suspendArguments(const TraceEvent& event);
    static std::string formatTime(long long ms);     // "1:23.4"
    static std::string formatLength(int seconds);    // "3:18"

private:
    // A call inside a tick, kept until the tick ends: a tick of nothing but
    // routine leaves no line.
    struct Item {
        std::string text;
        bool routine;
    };
    void add(const Item& item);
    void finishLine(const std::string& body);

    long long clockMs = 0;
    bool inTick = false;
    // Notes made during a tick follow its line, as their causes are in it.
    std::vector<std::string> deferredNotes;
    std::string tickLabel;
    std::vector<Item> pending;
};
