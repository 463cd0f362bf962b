#pragma once
// The few player window messages the plug-in uses. Everything goes to the
// player's main window, read from the descriptor at the moment of use.

#include <windows.h>

#include "plugin/PluginDescriptor.h"

const UINT PlayerMessage = WM_USER;          // 1024, with one of the codes below in lParam

const LPARAM IsPlayingQuery = 104;           // wParam 0: 0 while nothing plays
const LPARAM PositionQuery = 105;            // wParam 0: position in ms; wParam 1: length in s
const WPARAM PositionInMs = 0;
const WPARAM LengthInSeconds = 1;
const LPARAM RepeatQuery = 251;              // wParam 0: 0 = repeat off
const LPARAM SetRepeat = 253;                // wParam 1: repeat on
const LPARAM VolumeMessage = 122;            // wParam VolumeQuery asks, 0..255 sets
const WPARAM VolumeQuery = static_cast<WPARAM>(-666);

const WPARAM StopCommand = 40047;            // sent as WM_COMMAND

inline LRESULT askPlayer(WPARAM wParam, LPARAM lParam) {
    return SendMessageA(pluginDescriptor.hostWindow, PlayerMessage, wParam, lParam);
}

inline void sendStopCommand() {
    SendMessageA(pluginDescriptor.hostWindow, WM_COMMAND, StopCommand, 0);
}
