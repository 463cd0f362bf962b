#pragma once

// Whether a countdown is armed; shared by the dialog and the engine.
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
