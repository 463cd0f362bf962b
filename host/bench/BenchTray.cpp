#include "host/bench/BenchTray.h"

#include <shellapi.h>

#include "host/Trace.h"
#include "host/bench/BenchPlayer.h"

namespace {

const char StripClass[] = "NightcapBenchTray";
// The module's icon resource (its tray/resource.h).
const int MoonResource = 110;

// The shell shows a balloon for the time asked, within these bounds (XP's).
const long long ShortestBalloonMs = 10000;
const long long LongestBalloonMs = 30000;

const COLORREF StripColour = RGB(36, 46, 66);
const COLORREF LabelColour = RGB(170, 180, 200);
const COLORREF SlotColour = RGB(58, 70, 94);
const COLORREF TipColour = RGB(255, 255, 225);

const int LabelWidth = 118;
const int IconSlot = 24;

}  // namespace

BenchTray::BenchTray(BenchPlayer& player) : player(player) {}

BenchTray::~BenchTray() {
    if (moon != NULL) {
        DestroyIcon(moon);
    }
    if (boldFont != NULL) {
        DeleteObject(boldFont);
    }
}

void BenchTray::create(HWND parent, int id) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
    windowClass.lpszClassName = StripClass;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    boldFont = CreateFontA(-11, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    strip = CreateWindowExA(0, StripClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 10, Height, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(NULL), this);
}

void BenchTray::place(int x, int y, int width) {
    MoveWindow(strip, x, y, width, Height, TRUE);
}

void BenchTray::iconsChanged(bool newBalloon, long long nowMs) {
    const std::vector<PluginHost::ShellIcon>& icons = player.host.shellIcons;
    if (icons.empty()) {
        balloonUntilMs = -1;
    } else if (newBalloon) {
        long long shownMs = icons.front().balloonTimeout;
        shownMs = shownMs < ShortestBalloonMs ? ShortestBalloonMs : (shownMs > LongestBalloonMs ? LongestBalloonMs : shownMs);
        balloonUntilMs = nowMs + shownMs;
    }
    if (strip != NULL) {
        InvalidateRect(strip, NULL, FALSE);
    }
}

void BenchTray::holdBalloons(bool hold) {
    holding = hold;
}

void BenchTray::beat(long long nowMs) {
    if (!holding && balloonUntilMs >= 0 && nowMs >= balloonUntilMs) {
        balloonUntilMs = -1;
        InvalidateRect(strip, NULL, FALSE);
    }
}

bool BenchTray::balloonShows() const {
    const std::vector<PluginHost::ShellIcon>& icons = player.host.shellIcons;
    return balloonUntilMs >= 0 && !icons.empty() && !icons.front().balloonText.empty();
}

std::string BenchTray::shown() const {
    const std::vector<PluginHost::ShellIcon>& icons = player.host.shellIcons;
    if (icons.empty()) {
        return std::string();
    }
    std::string text = icons.front().tip;
    if (balloonShows()) {
        text += " | " + icons.front().balloonTitle + ": " + icons.front().balloonText;
    }
    return text;
}

bool BenchTray::click(bool right) {
    std::string tip = shown();
    if (player.host.shellIcons.empty()) {
        return false;
    }
    player.log.note(std::string("you: ") + (right ? "right-click" : "click") + " the moon in the notification area (\"" +
                    tip + "\")");
    bool versionThree = player.host.shellIcons.front().version >= NOTIFYICON_VERSION;
    UINT event = right ? (versionThree ? WM_CONTEXTMENU : WM_RBUTTONUP) : (versionThree ? NIN_SELECT : WM_LBUTTONUP);
    return player.host.iconEvent(event);
}

RECT BenchTray::iconArea() const {
    int top = (Height - IconSlot) / 2;
    RECT area = {LabelWidth, top, LabelWidth + IconSlot, top + IconSlot};
    return area;
}

LRESULT CALLBACK BenchTray::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        CREATESTRUCTA* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    BenchTray* self = reinterpret_cast<BenchTray*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (self != nullptr) {
            self->paint(dc);
        }
        EndPaint(window, &paint);
        return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
        POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        RECT area = self != nullptr ? self->iconArea() : RECT{0, 0, 0, 0};
        if (PtInRect(&area, at)) {
            self->click(message == WM_RBUTTONUP);
        }
        return 0;
    }
    case WM_NCDESTROY:
        if (self != nullptr) {
            self->strip = NULL;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Drawn into a bitmap first, so that a repaint on every change does not flicker.
void BenchTray::paint(HDC target) {
    RECT client;
    GetClientRect(strip, &client);
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, client.right, client.bottom);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);

    HBRUSH background = CreateSolidBrush(StripColour);
    FillRect(dc, &client, background);
    DeleteObject(background);
    RECT label = {8, 0, LabelWidth - 6, client.bottom};
    SetTextColor(dc, LabelColour);
    DrawTextA(dc, "Notification area", -1, &label, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);

    const std::vector<PluginHost::ShellIcon>& icons = player.host.shellIcons;
    if (!icons.empty()) {
        const PluginHost::ShellIcon& icon = icons.front();
        RECT slot = iconArea();
        HBRUSH slotBrush = CreateSolidBrush(SlotColour);
        FillRect(dc, &slot, slotBrush);
        DeleteObject(slotBrush);
        // The shell shows the image the module gave; without one, an empty place.
        if (moon == NULL && player.host.module() != NULL) {
            moon = static_cast<HICON>(
                LoadImageA(player.host.module(), MAKEINTRESOURCEA(MoonResource), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        }
        if (icon.image != NULL && moon != NULL) {
            DrawIconEx(dc, slot.left + (IconSlot - 16) / 2, slot.top + (IconSlot - 16) / 2, moon, 16, 16, 0, NULL,
                       DI_NORMAL);
        }

        // The tooltip beside it, as it shows when the pointer rests on the moon.
        std::wstring tip = wideFromUtf8(icon.tip);
        SIZE size = {0, 0};
        GetTextExtentPoint32W(dc, tip.c_str(), static_cast<int>(tip.size()), &size);
        RECT tipBox = {slot.right + 8, (client.bottom - 20) / 2, slot.right + 8 + size.cx + 12, (client.bottom + 20) / 2};
        HBRUSH tipBrush = CreateSolidBrush(TipColour);
        FillRect(dc, &tipBox, tipBrush);
        FrameRect(dc, &tipBox, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        SetTextColor(dc, RGB(0, 0, 0));
        RECT tipText = tipBox;
        InflateRect(&tipText, -6, 0);
        DrawTextW(dc, tip.c_str(), -1, &tipText, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);

        if (balloonShows()) {
            RECT balloon = {tipBox.right + 12, 2, client.right - 6, client.bottom - 2};
            HGDIOBJ oldBrush = SelectObject(dc, tipBrush);
            RoundRect(dc, balloon.left, balloon.top, balloon.right, balloon.bottom, 10, 10);
            SelectObject(dc, oldBrush);
            RECT title = {balloon.left + 8, balloon.top + 3, balloon.right - 8, balloon.top + 18};
            SelectObject(dc, boldFont);
            DrawTextW(dc, wideFromUtf8(icon.balloonTitle).c_str(), -1, &title,
                      DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
            SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            RECT text = {balloon.left + 8, balloon.top + 19, balloon.right - 8, balloon.bottom - 2};
            DrawTextW(dc, wideFromUtf8(icon.balloonText).c_str(), -1, &text,
                      DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
        }
        DeleteObject(tipBrush);
    }
    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}
