#pragma once
// The bench player's main window: its class, menu and place on screen, what
// the user's clicks, sliders and menu choices do, and screenshots. What it
// shows inside is BenchControls', and along its bottom BenchTray's. Every message the plug-in sends to it goes
// to the player first.

#include <windows.h>

#include <string>

#include "host/bench/BenchControls.h"
#include "host/bench/BenchTray.h"

class BenchPlayer;

class BenchWindow {
public:
    // The player destroys the window before it goes.
    explicit BenchWindow(BenchPlayer& player);
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;

    // Creates the window with its controls, hidden; false when it cannot.
    bool create();
    // Starts the heartbeat and, if show, shows the window.
    void start(bool show);
    HWND handle() const { return window; }

    // The player's message loop is over: destroying the window now ends nothing.
    void loopEnded() { loopOver = true; }
    void destroy();
    // The user closed the window (rather than the plug-in ending the loop).
    bool closedByUser() const { return closing; }

    void openPluginConfig();  // posts the menu command, as a click would
    void close();             // as the close box

    BenchControls controls;
    BenchTray tray;
    void refresh();

    bool saveScreenshot(const std::string& bmpPath);
    void repaint();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void placeBesideTheDialog(const RECT& work);
    void onCommand(int id, int code);
    void openPlaylist();
    void onScroll(HWND slider, int code);
    void layout(int width, int height);

    BenchPlayer& player;
    HWND window = NULL;
    bool loopOver = false;
    bool closing = false;
};
