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
const LPARAM IsPlayingQuery = 104;           // wParam 0: 0 stopped, 1 playing, 3 paused
const LPARAM PositionQuery = 105;            // wParam PositionInMs or LengthInSeconds
const WPARAM PositionInMs = 0;
const WPARAM LengthInSeconds = 1;
const LPARAM JumpToTime = 106;               // wParam a position in ms; answers 0 when done
const LPARAM RepeatQuery = 251;              // wParam 0: 0 = repeat off
const LPARAM SetRepeat = 253;                // wParam RepeatOn or RepeatOff
const WPARAM RepeatOn = 1;
const WPARAM RepeatOff = 0;
const LPARAM VolumeMessage = 122;            // wParam VolumeQuery asks, 0..255 sets
const WPARAM VolumeQuery = static_cast<WPARAM>(-666);
const int PlayingAnswer = 1;
const int PausedAnswer = 3;

// Sent as WM_COMMAND.
const WPARAM StopCommand = 40047;
const WPARAM PauseCommand = 40046;           // toggles: pauses playing, plays paused

// Every message the plug-in sends the player goes through here, so that the
// plug-in knows when the player is handling one of its own (sendingToPlayer):
// a quit that comes then comes from inside the plug-in's own work.
LRESULT sendToPlayer(UINT message, WPARAM wParam, LPARAM lParam);
bool sendingToPlayer();

inline int askPlayer(WPARAM wParam, LPARAM code) {
    // LRESULT is 32 bits wide in the 32-bit player.
    return static_cast<int>(sendToPlayer(PlayerMessage, wParam, code));
}

// 0 while nothing plays; see IsPlayingQuery.
inline int playerState() {
    return askPlayer(0, IsPlayingQuery);
}

inline bool playerIsPlaying() {
    return playerState() != 0;
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

inline void switchRepeatOff() {
    askPlayer(RepeatOff, SetRepeat);
}

// 0 to 255 from a well-behaved player.
inline int playerVolume() {
    return askPlayer(VolumeQuery, VolumeMessage);
}

inline void setPlayerVolume(int volume) {
    askPlayer(static_cast<WPARAM>(volume), VolumeMessage);
}

inline void jumpToPosition(int positionMs) {
    askPlayer(static_cast<WPARAM>(positionMs), JumpToTime);
}

inline void sendStopCommand() {
    sendToPlayer(WM_COMMAND, StopCommand, 0);
}

inline void sendPauseCommand() {
    sendToPlayer(WM_COMMAND, PauseCommand, 0);
}

// Posted: the player's message loop ends and the player closes.
inline void postQuitToPlayer() {
    PostMessageA(pluginDescriptor.hostWindow, WM_QUIT, 0, 0);
}
