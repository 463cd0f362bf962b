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
#include "tray/IconTexts.h"

class Settings;

// What the icon asks of the plug-in's frame, which implements it: the
// dialog, as the player's Configure opens it, or, when it is open already,
// brought to the front. The frame may quit inside it, which frees the icon.
class DialogOpener {
public:
    virtual ~DialogOpener() {}
    virtual void openDialog() = 0;
};

// The icon's menu, chosen from TrackPopupMenu's answer.
enum IconMenuAction {
    IconMenuNothing = 0,
    IconMenuStop = 1,
    IconMenuExtend = 2,
    IconMenuOpen = 3,
};

// The shell's callback to the icon's window; the window's own message for
// an activation it acts on once the shell's call has returned.
const UINT IconCallbackMessage = WM_APP + 1;
const UINT IconOpenDialogMessage = WM_APP + 2;
const UINT IconId = 1;

class NotificationIcon : public CountdownWatcher {
public:
    NotificationIcon(Settings& settings, CountdownEngine& engine, DialogOpener& opener);
    // Removes the icon, destroys its window and unregisters the window class.
    ~NotificationIcon() override;
    NotificationIcon(const NotificationIcon&) = delete;
    NotificationIcon& operator=(const NotificationIcon&) = delete;

    void countdownArmed() override;
    void countsChanged() override;
    void fadeProgressed() override;
    void endNear() override;
    void countdownDisarmed() override;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool createWindow();
    void destroyWindow();
    bool addIcon();
    void removeIcon();
    void describe(char* tip) const;
    void updateTip();
    void warn();
    void showMenu();
    void act(IconMenuAction action);
    void fill(NOTIFYICONDATAA& data, UINT flags) const;

    Settings& settings;
    CountdownEngine& engine;
    DialogOpener& opener;
    HWND window;
    HICON image;
    UINT taskbarCreated;      // the shell's "TaskbarCreated" message, once the window exists
    bool classRegistered;
    bool added;               // the shell shows the icon
    bool versionThree;        // and tells clicks as Windows 2000 and later do
    bool wanted;              // a countdown runs: the icon should show
    bool menuOpen;
    bool destroyAfterMenu;    // the countdown ended while the menu was open
    char shownTip[IconTipChars];

    static NotificationIcon* current;
};
