#pragma once
// Drives the plug-in's modal dialog as a user would, for the tests and for
// the bench player's scripted sessions.
//
// The plug-in's dialog runs its own message loop on the test thread, so the
// test cannot simply go on after calling config(): it queues steps first, and
// run() plays them from a real thread timer of the test program (only the
// module's timers are simulated), one step per firing. Whatever a step posts
// (keys, clicks' follow-ups, the engine's notifications) is handled by the
// dialog before the next step runs, because timer messages come last. So
// what a step types or presses shows only from the next step on: type in one
// step, click "start now" in the next.
//
//     DialogDriver driver(playerWindow->handle(), host.get());
//     driver.then([](DialogDriver& d) { d.click(IDC_COUNT_MINUTES); })
//           .then([](DialogDriver& d) { EXPECT_TRUE(d.enabled(IDC_MINUTES)); d.escape(); });
//     driver.run([&] { host->config(); });
//
// A step runs only once the dialog is on screen. When the steps are done and
// the dialog is still open, or a step limit is reached, the driver ends the
// dialog itself and reports a failure: nothing hangs on a forgotten dialog.
// Failures (a greyed control clicked, steps left unrun) go to reportFailure,
// which the tests point at GoogleTest and the bench player at its session.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class PluginHost;

// The plug-in's dialog: the system dialog class, owned by owner, on this
// thread. NULL when there is none.
HWND findOwnedDialog(HWND owner);
// Dispatches every message waiting on this thread, keys through the dialog
// manager of owner's dialog, as a player that runs its own message loop in
// the middle of handling a message does.
void pumpWaitingMessages(HWND owner);

class DialogDriver {
public:
    typedef std::function<void(DialogDriver&)> Step;

    // Where every driver's failures go; by default standard error.
    static std::function<void(const std::string&)> reportFailure;

    // owner: the player window that owns the dialog; host: for the engine's
    // ticks (may be null when a test needs none).
    DialogDriver(HWND owner, PluginHost* host);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Queues a step for the next run(); each run() uses up the queue.
    DialogDriver& then(Step step);
    // Calls open (which shows the dialog and returns when it ends) and plays
    // the queued steps meanwhile. Reports a failure when steps were left unrun.
    void run(const std::function<void()>& open);
    // Without a run: plays the queued steps, one per call, on a dialog that
    // some other loop keeps on screen (the bench player's own). True while
    // steps remain.
    bool playNextStep();

    // Firings one run() may spend beyond one per step while the dialog is
    // on screen; past them the dialog is ended and the test fails. Waiting
    // for it to show is bounded by time instead.
    int spareFirings = 100;
    // Steps run by the last run().
    size_t stepsRun() const { return ranSteps; }
    // Whether the last run() had to end a dialog that stayed open.
    bool endedTheDialog() const { return ending; }

    // --- inside a step: find and look ---
    HWND dialog() const;            // the open dialog (class #32770 owned by the player), or NULL
    int openDialogs() const;        // how many such dialogs exist
    HWND item(int id) const;
    std::string text(int id) const; // a control's text
    std::string caption() const;    // the dialog's title
    bool checked(int id) const;
    bool enabled(int id) const;
    int focusedId() const;          // the focused control's id, 0 when none of the dialog's

    // --- inside a step (or, with playNextStep, between steps): act ---
    // Clicks a button. A greyed button cannot be clicked: that is a failure.
    void click(int id);
    // Puts the focus into a field as Tab does, which selects its text, and
    // types chars over it, as keystrokes.
    void type(int id, const std::string& chars);
    // Replaces a field's whole text, as selecting all and pasting does; the
    // text is not limited to what the keyboard would let through. It works
    // on a greyed field too, which a user could not reach: a test that acts
    // as the user enables the field first.
    void paste(int id, const std::string& text);
    // Chooses the item with this text from a drop-down list, as a click on
    // it does: the list selects it and tells the dialog (CBN_SELCHANGE). A
    // greyed list cannot be chosen from: that is a failure.
    void choose(int id, const std::string& itemText);
    // A key pressed and released on the focused control, through the
    // dialog manager; alt holds the Alt key (Alt+F4).
    void press(UINT virtualKey, bool alt = false);
    void tab() { press(VK_TAB); }
    void enter() { press(VK_RETURN); }
    void escape() { press(VK_ESCAPE); }
    // A command chosen from the window's system menu (SC_CLOSE, or an entry
    // the dialog added).
    void systemCommand(WPARAM command);
    // Fires the module's simulated timer, as 500 ms passing would.
    void tick(int count = 1);

private:
    static void CALLBACK onTimer(HWND window, UINT message, UINT_PTR timer, DWORD time);
    void fire();
    void endDialog(HWND open, const char* why);
    void fail(const std::string& why) const;

    HWND owner;
    PluginHost* host;
    std::vector<Step> steps;
    size_t nextStep = 0;
    size_t ranSteps = 0;
    int firings = 0;
    DWORD waitingSinceMs = 0;     // when the dialog was first seen not yet shown
    bool busy = false;
    bool ending = false;
    UINT_PTR timer = 0;

    static DialogDriver* current;
};
