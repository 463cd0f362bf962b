#include "host/bench/BenchControls.h"

#include <commctrl.h>
#include <stdio.h>

#include "host/Trace.h"
#include "host/bench/BenchPlayer.h"

namespace {

const size_t LogListLimit = 5000;

}  // namespace

BenchControls::BenchControls(const BenchPlayer& player) : player(player) {}

void BenchControls::release() {
    parent = NULL;
    DeleteObject(titleFont);
    DeleteObject(bannerFont);
    titleFont = NULL;
    bannerFont = NULL;
}

void BenchControls::create(HWND window) {
    parent = window;
    HINSTANCE instance = GetModuleHandleA(NULL);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    titleFont = CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    bannerFont = CreateFontA(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    struct Control {
        int id;
        const char* className;
        const char* text;
        DWORD style;
    };
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const Control all[] = {
        {IdTitle, "STATIC", "", child | SS_LEFTNOWORDWRAP | SS_NOPREFIX},
        {IdState, "STATIC", "", child | SS_LEFTNOWORDWRAP | SS_NOPREFIX},
        {IdPosition, TRACKBAR_CLASSA, "", child | WS_TABSTOP | TBS_HORZ | TBS_NOTICKS},
        {IdPrevious, "BUTTON", "|<", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdPlay, "BUTTON", "Play", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdPause, "BUTTON", "Pause", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdStop, "BUTTON", "Stop", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdNext, "BUTTON", ">|", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdBack, "BUTTON", "-10 s", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdForward, "BUTTON", "+10 s", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdNearEnd, "BUTTON", "5 s before end", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdRepeat, "BUTTON", "Repeat", child | WS_TABSTOP | BS_AUTOCHECKBOX},
        {IdVolumeLabel, "STATIC", "Volume", child | SS_RIGHT},
        {IdVolume, TRACKBAR_CLASSA, "", child | WS_TABSTOP | TBS_HORZ | TBS_NOTICKS},
        {IdVolumeValue, "STATIC", "", child | SS_LEFT},
        {IdPlugin, "STATIC", "", child | SS_LEFTNOWORDWRAP | SS_NOPREFIX},
        {IdBanner, "STATIC", "", WS_CHILD | SS_LEFT | SS_NOPREFIX},
        {IdPlaylistLabel, "STATIC", "Playlist (double-click to play)", child | SS_LEFT},
        {IdPlaylist, "LISTBOX", "", child | WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT},
        {IdLogLabel, "STATIC", "What the plug-in said to the player", child | SS_LEFT},
        {IdLog, "LISTBOX", "",
         child | WS_TABSTOP | WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT},
    };
    for (const Control& control : all) {
        HWND made = CreateWindowExA(0, control.className, control.text, control.style, 0, 0, 10, 10, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, NULL);
        SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    SendMessageA(item(IdTitle), WM_SETFONT, reinterpret_cast<WPARAM>(titleFont), FALSE);
    SendMessageA(item(IdBanner), WM_SETFONT, reinterpret_cast<WPARAM>(bannerFont), FALSE);
    SendMessageA(item(IdVolume), TBM_SETRANGE, FALSE, MAKELPARAM(0, 255));
    SendMessageA(item(IdVolume), TBM_SETPAGESIZE, 0, 16);
    fillPlaylist();
    for (const std::string& line : player.log.lines) {
        appendLogLine(item(IdLog), line);
    }
}

void BenchControls::fillPlaylist() {
    HWND list = item(IdPlaylist);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    const std::vector<Track>& tracks = player.model.playlist;
    for (size_t i = 0; i < tracks.size(); ++i) {
        std::string entry =
            std::to_string(i + 1) + ". " + tracks[i].title + "   " + BenchLog::formatLength(tracks[i].lengthSeconds);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideFromUtf8(entry).c_str()));
    }
}

void BenchControls::addLogLine(const std::string& line) {
    HWND list = item(IdLog);
    if (list == NULL) {
        return;
    }
    if (static_cast<size_t>(SendMessageA(list, LB_GETCOUNT, 0, 0)) >= LogListLimit) {
        SendMessageA(list, LB_DELETESTRING, 0, 0);
    }
    appendLogLine(list, line);
}

// Scrolled to the newest line, and sideways as far as the longest needs.
void BenchControls::appendLogLine(HWND list, const std::string& line) {
    std::wstring text = wideFromUtf8(line);
    LRESULT at = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(at), 0);
    HDC dc = GetDC(list);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    if (size.cx + 8 > logExtent) {
        logExtent = size.cx + 8;
        SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(logExtent), 0);
    }
}

void BenchControls::layout(int width, int height) {
    if (item(IdLog) == NULL) {
        return;
    }
    const int margin = 10;
    int inner = width - 2 * margin;
    auto place = [this](int id, int x, int y, int w, int h) { MoveWindow(item(id), x, y, w, h, TRUE); };
    place(IdTitle, margin, 8, inner, 26);
    place(IdState, margin, 38, inner, 18);
    place(IdPosition, margin - 4, 58, inner + 8, 26);

    int y = 90;
    int x = margin;
    const int buttonHeight = 26;
    const struct {
        int id;
        int width;
    } buttons[] = {{IdPrevious, 36}, {IdPlay, 56}, {IdPause, 56}, {IdStop, 56}, {IdNext, 36},
                   {IdBack, 52},     {IdForward, 52}, {IdNearEnd, 104}};
    for (const auto& button : buttons) {
        place(button.id, x, y, button.width, buttonHeight);
        x += button.width + 4;
    }
    place(IdRepeat, x + 8, y + 3, 70, 20);
    int volumeValueX = width - margin - 30;
    int volumeX = x + 8 + 70 + 56;
    place(IdVolumeLabel, x + 8 + 70, y + 5, 50, 18);
    place(IdVolume, volumeX, y, volumeValueX - volumeX - 4, buttonHeight);
    place(IdVolumeValue, volumeValueX, y + 5, 30, 18);

    y += buttonHeight + 10;
    place(IdPlugin, margin, y, inner, 18);
    y += 22;
    HWND banner = item(IdBanner);
    if (IsWindowVisible(banner)) {
        // As tall as its wrapped text.
        char text[512] = "";
        GetWindowTextA(banner, text, sizeof text);
        HDC dc = GetDC(banner);
        HGDIOBJ old = SelectObject(dc, bannerFont);
        RECT needed = {0, 0, inner, 0};
        DrawTextA(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(banner, dc);
        place(IdBanner, margin, y, inner, needed.bottom + 2);
        y += needed.bottom + 8;
    }
    int playlistWidth = 220;
    place(IdPlaylistLabel, margin, y, playlistWidth, 18);
    place(IdLogLabel, margin + playlistWidth + 10, y, inner - playlistWidth - 10, 18);
    y += 20;
    int listHeight = height - reservedBelow - y - margin;
    place(IdPlaylist, margin, y, playlistWidth, listHeight);
    place(IdLog, margin + playlistWidth + 10, y, inner - playlistWidth - 10, listHeight);
}

void BenchControls::showBanner(const std::string& text) {
    if (parent == NULL) {
        return;
    }
    SetWindowTextA(item(IdBanner), text.c_str());
    ShowWindow(item(IdBanner), SW_SHOW);
    RECT client;
    GetClientRect(parent, &client);
    layout(client.right, client.bottom);
    InvalidateRect(parent, NULL, TRUE);
}

HBRUSH BenchControls::colours(HWND control, HDC dc) const {
    if (control != item(IdBanner)) {
        return NULL;
    }
    SetTextColor(dc, RGB(176, 0, 0));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
}

void BenchControls::setText(int id, const std::string& text) {
    HWND control = item(id);
    wchar_t shown[512];
    GetWindowTextW(control, shown, 512);
    std::wstring wanted = wideFromUtf8(text);
    if (wanted != shown) {
        SetWindowTextW(control, wanted.c_str());
    }
}

std::string BenchControls::stateLine() const {
    const PlayerModel& model = player.model;
    const char* state =
        model.state == PlayerModel::Playing ? "Playing" : (model.state == PlayerModel::Paused ? "Paused" : "Stopped");
    return BenchLog::formatTime(model.positionMs) + " / " +
           BenchLog::formatLength(model.currentTrack() != nullptr ? model.currentTrack()->lengthSeconds : 0) +
           "      " + state + "      Repeat " + (model.repeat ? "on" : "off") + "      Volume " +
           std::to_string(model.volume) + fadeShown() + "      " +
           BenchClock::describe(player.options.simulated, player.options.speed);
}

// Beside the volume, while Nightcap fades it: how far the fade has come.
std::string BenchControls::fadeShown() const {
    const BenchFade& fade = player.fade();
    if (!fade.running()) {
        return std::string();
    }
    return " (Nightcap fading it out: " + std::to_string(static_cast<int>(fade.progress() * 100)) + "% of " +
           BenchFade::lengthWords(fade.chosenMs()) + ")";
}

std::string BenchControls::pluginLine() const {
    const BenchPlayer::Facts& facts = player.facts;
    if (!facts.pluginReady) {
        return "Nightcap: not ready";
    }
    std::string line = player.pluginDescription() + " (" + player.pluginFileName() + "): ";
    if (player.countdownArmed()) {
        char text[128];
        if (player.options.simulated) {
            snprintf(text, sizeof text, "countdown running, tick %d (every 500 ms of play)", player.countdownTicks());
        } else {
            snprintf(text, sizeof text, "countdown running, tick %d (every 500 ms; %g ms real)",
                     player.countdownTicks(), 500 / player.options.speed);
        }
        line += text;
    } else if (facts.armed > 0) {
        line += "countdown over after " + std::to_string(facts.tickAtFinish) + " ticks";
    } else {
        line += "ready, no countdown (Plug-ins > Nightcap... to start one)";
    }
    return line;
}

void BenchControls::refresh() {
    if (parent == NULL) {
        return;
    }
    const PlayerModel& model = player.model;
    const Track* track = model.currentTrack();
    setText(IdTitle, track != nullptr ? std::to_string(model.trackIndex + 1) + "/" +
                                            std::to_string(model.playlist.size()) + "   " + track->title
                                      : std::string("(empty playlist)"));
    setText(IdState, stateLine());
    setText(IdPlugin, pluginLine());
    setText(IdVolumeValue, std::to_string(model.volume));
    HWND position = item(IdPosition);
    int lengthSeconds = track != nullptr ? track->lengthSeconds : 0;
    if (SendMessageA(position, TBM_GETRANGEMAX, 0, 0) != lengthSeconds) {
        SendMessageA(position, TBM_SETRANGE, TRUE, MAKELPARAM(0, lengthSeconds));
    }
    if (!seeking && SendMessageA(position, TBM_GETPOS, 0, 0) != model.positionMs / 1000) {
        SendMessageA(position, TBM_SETPOS, TRUE, model.positionMs / 1000);
    }
    if (SendMessageA(item(IdVolume), TBM_GETPOS, 0, 0) != model.volume) {
        SendMessageA(item(IdVolume), TBM_SETPOS, TRUE, model.volume);
    }
    WPARAM check = model.repeat ? BST_CHECKED : BST_UNCHECKED;
    if (static_cast<WPARAM>(SendMessageA(item(IdRepeat), BM_GETCHECK, 0, 0)) != check) {
        SendMessageA(item(IdRepeat), BM_SETCHECK, check, 0);
    }
    if (SendMessageA(item(IdPlaylist), LB_GETCURSEL, 0, 0) != static_cast<LRESULT>(model.trackIndex)) {
        SendMessageA(item(IdPlaylist), LB_SETCURSEL, model.trackIndex, 0);
    }
}
