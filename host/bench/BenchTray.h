#pragma once
// The bench player's notification area: a strip along the bottom of its
// window that shows the plug-in's icon as the listener sees it beside the
// taskbar's clock, from the host's model of the shell's icons
// (PluginHost::shellIcons): the moon, its tooltip beside it, and the
// balloon's title and text while the balloon shows. Empty when no icon is
// there. A click on the moon is sent to the module as the shell sends it,
// so its real dialog and menu open.

#include <windows.h>

#include <string>

class BenchPlayer;

class BenchTray {
public:
    explicit BenchTray(BenchPlayer& player);
    ~BenchTray();
    BenchTray(const BenchTray&) = delete;
    BenchTray& operator=(const BenchTray&) = delete;

    static const int Height = 52;

    void create(HWND parent, int id);
    void place(int x, int y, int width);
    HWND handle() const { return strip; }

    // The shell's icons changed (a Shell_NotifyIconA call), at the player's
    // clock: repainted; a new balloon shows from now.
    void iconsChanged(bool newBalloon, long long nowMs);
    // Every heartbeat: a balloon whose time is over goes.
    void beat(long long nowMs);

    // What the strip shows, in words: "" when empty, else the tooltip, and
    // the balloon's "title: text" after " | " while it shows.
    std::string shown() const;
    bool balloonShows() const;
    // Set: a balloon stays past its time, until it is let go (for a
    // screenshot on a busy machine, whose heartbeats come late).
    void holdBalloons(bool hold);

    // As the listener clicks the moon, with the left or the right button:
    // the one message the module acts on, as the shell of its icon's
    // version says it (NIN_SELECT or WM_CONTEXTMENU from version 3 on,
    // else WM_LBUTTONUP or WM_RBUTTONUP). False, and nothing sent, when no
    // icon shows.
    bool click(bool right);

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paint(HDC dc);
    RECT iconArea() const;

    BenchPlayer& player;
    HWND strip = NULL;
    HICON moon = NULL;       // the module's own, loaded once an icon shows
    HFONT boldFont = NULL;
    long long balloonSinceMs = -1;
    long long balloonUntilMs = -1;
    bool holding = false;
};
