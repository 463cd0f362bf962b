#pragma once
// The modal configuration dialog's controller: a working copy of the six
// settings while the dialog is open, start and stop of the countdown.

#include <windows.h>

#include "engine/CountdownEngine.h"
#include "engine/PowerRequests.h"
#include "settings/Settings.h"

class RunState;

// Posted to the open dialog, by itself, as the countdown's news reaches it:
// wParam 1, the counts changed; 2, the countdown ended; lParam 0.
const UINT DialogNotify = WM_USER + 1;
const WPARAM DialogNotifyCounts = 1;
const WPARAM DialogNotifyFinished = 2;

// Control sets enabled and greyed as a whole, numbered as the count modes
// that use them.
const int SongsGroup = CountMode::Songs;
const int MinutesGroup = CountMode::Minutes;

// The field text read for a count: at most this many bytes, NUL included, so
// at most 62 characters are looked at.
const int CountTextBufferBytes = 64;
const int CountTextLimit = 63;

class ConfigDialog {
public:
    ConfigDialog(RunState& runState, Settings& settings, CountdownEngine& engine);
    virtual ~ConfigDialog() {}

    // Runs the modal dialog; returns at once when one is already open.
    void show();
    // The plug-in is quitting while this dialog is shown: the dialog ends
    // without waiting for the user, and nothing done in it from now on acts,
    // whatever box or message comes back.
    void abandon();
    // Another request to show the dialog while it is shown: to the front.
    void bringToFront();

    static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    // The engine's news, posted to the dialog's window, where it is handled
    // in the dialog's own turn: the engine may tell it from inside a tick.
    class CountdownNews : public CountdownWatcher {
    public:
        CountdownNews() : window(NULL) {}
        void countsChanged() override { post(DialogNotifyCounts); }
        void countdownEnded() override { post(DialogNotifyFinished); }
        HWND window;

    private:
        void post(WPARAM what) const { PostMessageA(window, DialogNotify, what, 0); }
    };

    INT_PTR handle(HWND hwnd, UINT message, WPARAM wParam);
    INT_PTR onCommand(HWND hwnd, WPARAM wParam);

    BOOL onInit(HWND hwnd);
    void onCountSongs(HWND hwnd);
    void onCountMinutes(HWND hwnd);
    void chooseStopMethod(HWND hwnd, int method);
    void chooseFinalAction(HWND hwnd, int action);
    void showFadeLengths(HWND hwnd);
    void chooseFadeLength(HWND hwnd);
    void enableGroup(HWND hwnd, int group, bool enable);
    void setFormEnabled(HWND hwnd, bool enable);
    void transferCounts(HWND hwnd, bool toDialog);
    bool validate(HWND hwnd);
    SettingsValues form() const;
    void onStartStop(HWND hwnd);
    void onClose(HWND hwnd, WPARAM command);
    void endDialog(HWND hwnd, INT_PTR result);
    void endAbandoned();
    bool storeSettings(bool everyValueChosen);
    // Whether this computer can make the ending, for the two that may be out
    // of its reach (sleep, hibernation); NULL for the others.
    const EndingAbility* abilityOf(int action) const;
    void addAboutMenuItem(HWND hwnd);
    void showAbout(HWND hwnd);

    Settings& settings;
    RunState& runState;
    CountdownEngine& engine;
    int songs;
    int minutes;
    bool songsShown;    // the system showed them in their fields
    bool minutesShown;
    int countMode;
    int stopMethod;
    int finalAction;
    int fadeSeconds;
    HWND window;           // the dialog, once initialised
    bool abandoned;
    bool showsRunning;     // the button reads "stop"
    PowerAbilities abilities;  // what this computer can do, asked as the dialog opens
    CountdownNews news;
};

// True while a configuration dialog is being shown; turns a second one away.
extern bool dialogOpen;
// The controller whose dialog is being shown, from the moment show() starts
// to create it until show() returns; empty while none is.
extern ConfigDialog* activeDialog;
