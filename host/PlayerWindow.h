#pragma once
// The player's main window for tests: a hidden window on the calling thread
// that answers the player messages from a PlayerModel.

#include <windows.h>

#include "host/PlayerModel.h"

class PlayerWindow {
public:
    explicit PlayerWindow(PlayerModel& model);
    ~PlayerWindow();
    PlayerWindow(const PlayerWindow&) = delete;
    PlayerWindow& operator=(const PlayerWindow&) = delete;

    HWND handle() const { return window; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    PlayerModel& model;
    HWND window;
};
