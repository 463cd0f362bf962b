#pragma once
// The countdown at a glance: while one runs, an icon in the notification
// area whose tooltip says what is left and what comes then, a click that
// opens the dialog, a menu to stop the countdown or give it more, and a
// balloon before an ending that takes the player or the computer away.
//
// One object owns the icon's whole life. It follows the engine as its
// watcher: the icon and its hidden window are made when a countdown is
// armed and go when it is disarmed, whatever ended it.

#include <windows.h>
#include <shellapi.h>

#include "engine/CountdownEngine.h"

class Settings;

// The icon's menu, chosen from TrackPopupMenu's answer.
enum IconMenuAction {
    IconMenuNothing = 0,
    IconMenuStop = 1,
    IconMenuExtend = 2,
    IconMenuOpen = 3,
};

const int ExtendMinutes = 10;
const int ExtendSongs = 1;
// The shell's callback to the icon's window; the window's own message for
// an activation it acts on once the shell's call has returned.
const UINT IconCallbackMessage = WM_APP + 1;
const UINT IconOpenDialogMessage = WM_APP + 2;
const UINT IconId = 1;

class NotificationIcon : public CountdownWatcher {
public:
    NotificationIcon(Settings& settings, CountdownEngine& engine);
    // Removes the icon, destroys its window and unregisters the window class.
    ~NotificationIcon() override;
    NotificationIcon(const NotificationIcon&) = delete;
    NotificationIcon& operator=(const NotificationIcon&) = delete;

    void countdownArmed() override;
    void countsChanged() override;
    void countdownDisarmed() override;

    // The tooltip for the settings as they stand ("Nightcap: 25 minutes
    // left, then power off"), into text of TipChars.
    static const int TipChars = 128;
    void describe(char* text) const;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool createWindow();
    void destroyWindow();
    bool addIcon();
    void removeIcon();
    void updateTip();
    void warnIfDue();
    void showMenu();
    void act(IconMenuAction action);
    void fill(NOTIFYICONDATAA& data, UINT flags) const;

    Settings& settings;
    CountdownEngine& engine;
    HWND window;
    HICON image;
    UINT taskbarCreated;      // the shell's "TaskbarCreated" message, once the window exists
    bool classRegistered;
    bool added;               // the shell shows the icon
    bool versionThree;        // and tells clicks as Windows 2000 and later do
    bool wanted;              // a countdown runs: the icon should show
    bool warned;              // the balloon of this last stretch was shown
    bool menuOpen;
    bool destroyAfterMenu;    // the countdown ended while the menu was open
    char shownTip[TipChars];

    static NotificationIcon* current;
};
