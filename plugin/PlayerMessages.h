#pragma once
// The player's window messages that the plug-in uses, and the calls made of
// them, named as the player's message table names them. Everything goes to
// the player's main window, read from the descriptor at the moment of use;
// everything but the quit request is sent, so its effect has taken place
// when the call returns.

#include <windows.h>

#include "plugin/PluginDescriptor.h"

const UINT PlayerMessage = WM_USER;          // 1024: wParam and a code in lParam

// Codes (lParam) and their wParam.
const LPARAM IsPlayingQuery = 104;           // wParam 0: 0 while nothing plays
const LPARAM PositionQuery = 105;            // wParam PositionInMs or LengthInSeconds
const WPARAM PositionInMs = 0;
const WPARAM LengthInSeconds = 1;
const LPARAM RepeatQuery = 251;              // wParam 0: 0 = repeat off
const LPARAM SetRepeat = 253;                // wParam RepeatOn
const WPARAM RepeatOn = 1;
const LPARAM VolumeMessage = 122;            // wParam VolumeQuery asks, 0..255 sets
const WPARAM VolumeQuery = static_cast<WPARAM>(-666);

const WPARAM StopCommand = 40047;            // sent as WM_COMMAND

inline int askPlayer(WPARAM wParam, LPARAM code) {
    // LRESULT is 32 bits wide in the 32-bit player.
    return static_cast<int>(SendMessageA(pluginDescriptor.hostWindow, PlayerMessage, wParam, code));
}

inline bool playerIsPlaying() {
    return askPlayer(0, IsPlayingQuery) != 0;
}

// Milliseconds into the current song; the player may answer a negative value.
inline int playerPositionMs() {
    return askPlayer(PositionInMs, PositionQuery);
}

inline int trackLengthSeconds() {
    return askPlayer(LengthInSeconds, PositionQuery);
}

inline bool repeatIsOn() {
    return askPlayer(0, RepeatQuery) != 0;
}

inline void switchRepeatOn() {
    askPlayer(RepeatOn, SetRepeat);
}

// 0 to 255 from a well-behaved player.
inline int playerVolume() {
    return askPlayer(VolumeQuery, VolumeMessage);
}

inline void setPlayerVolume(int volume) {
    askPlayer(static_cast<WPARAM>(volume), VolumeMessage);
}

inline void sendStopCommand() {
    SendMessageA(pluginDescriptor.hostWindow, WM_COMMAND, StopCommand, 0);
}

// Posted: the player's message loop ends and the player closes.
inline void postQuitToPlayer() {
    PostMessageA(pluginDescriptor.hostWindow, WM_QUIT, 0, 0);
}
