#pragma once

// Whether a countdown is armed; shared by the dialog and the engine. The
// engine's armed timer is the truth: the engine alone writes this flag, in
// the same step as it arms or kills the timer (CountdownEngine::start, stop,
// finish), and the dialog reads it.
class RunState {
public:
    RunState() : running(false) {}
    virtual ~RunState() { running = false; }

    bool isRunning() const { return running; }
    // Returns the value replaced.
    bool setRunning(bool value) {
        bool previous = running;
        running = value;
        return previous;
    }

private:
    bool running;
};
