#pragma once
// What the bench player's window shows: the title, the state line, the
// position slider, the transport buttons, repeat and volume, the plug-in's
// line, the power-off banner, the playlist and the log. Made once, laid out
// on every resize, and brought up to date from the player on every heartbeat.

#include <windows.h>

#include <string>

class BenchPlayer;

enum BenchControlId {
    IdTitle = 100,
    IdState,
    IdPosition,
    IdPrevious = 110,
    IdPlay,
    IdPause,
    IdStop,
    IdNext,
    IdBack,
    IdForward,
    IdNearEnd,
    IdRepeat,
    IdVolumeLabel,
    IdVolume,
    IdVolumeValue,
    IdPlugin = 130,
    IdBanner,
    IdPlaylistLabel = 140,
    IdPlaylist,
    IdLogLabel,
    IdLog,
    IdTray = 150,
};

class BenchControls {
public:
    explicit BenchControls(const BenchPlayer& player);
    BenchControls(const BenchControls&) = delete;
    BenchControls& operator=(const BenchControls&) = delete;

    void create(HWND parent);
    // The window is gone, and its controls with it: their fonts go too.
    void release();
    HWND item(int id) const { return parent != NULL ? GetDlgItem(parent, id) : NULL; }
    void layout(int width, int height);
    void refresh();
    // The playlist box, from the player's playlist.
    void fillPlaylist();
    // The newest log line, scrolled to; the oldest go beyond a limit.
    void addLogLine(const std::string& line);
    // In red, above the lists, for good.
    void showBanner(const std::string& text);
    // WM_CTLCOLORSTATIC: the banner's brush, with its colours set; NULL for the others.
    HBRUSH colours(HWND control, HDC dc) const;

    // The position slider is being dragged: refresh leaves it alone.
    bool seeking = false;
    // Height kept free below the lists, for what the window shows there.
    int reservedBelow = 0;

private:
    void setText(int id, const std::string& text);
    void appendLogLine(HWND list, const std::string& line);
    std::string stateLine() const;
    std::string fadeShown() const;
    std::string pluginLine() const;

    const BenchPlayer& player;
    HWND parent = NULL;
    HFONT titleFont = NULL;
    HFONT bannerFont = NULL;
    int logExtent = 0;  // widest log line, in pixels
};
