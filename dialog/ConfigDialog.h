#pragma once
// The modal configuration dialog's controller: a working copy of the five
// settings while the dialog is open, start and stop of the countdown.

#include <windows.h>

class CountdownEngine;
class RunState;
class Settings;

class ConfigDialog {
public:
    ConfigDialog(RunState& runState, Settings& settings, CountdownEngine& engine);
    virtual ~ConfigDialog() {}

    // Runs the modal dialog; returns at once when one is already open.
    void show();

private:
    Settings& settings;
    RunState& runState;
    CountdownEngine& engine;
    int songs;
    int minutes;
    int countMode;
    int stopMethod;
    int finalAction;
};

// True while a configuration dialog is being shown; turns a second one away.
extern bool dialogOpen;
// The controller whose dialog is on screen.
extern ConfigDialog* activeDialog;
