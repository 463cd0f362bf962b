#include "host/bench/BenchWindow.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "host/ScreenCapture.h"
#include "host/bench/BenchPlayer.h"

namespace {

const char WindowClass[] = "NightcapBenchPlayer";
const char WindowTitle[] = "Nightcap bench player";

const UINT_PTR HeartbeatTimer = 1;
const UINT HeartbeatMs = 10;
const int WindowWidth = 960;
const int WindowHeight = 680;

// Menu commands; none may be the player's stop command (40047).
enum MenuId {
    IdOpenPlaylist = 200,
    IdExit,
    IdNightcap = 210,
};

const int SkipSeconds = 10;
const int NearEndSeconds = 5;

}  // namespace

BenchWindow::BenchWindow(BenchPlayer& player) : controls(player), tray(player), player(player) {}

void BenchWindow::refresh() {
    controls.refresh();
    tray.beat(player.clockMs());
}

void BenchWindow::layout(int width, int height) {
    controls.reservedBelow = BenchTray::Height;
    controls.layout(width, height);
    tray.place(0, height - BenchTray::Height, width);
}

bool BenchWindow::create() {
    INITCOMMONCONTROLSEX common = {sizeof common, ICC_BAR_CLASSES};
    InitCommonControlsEx(&common);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
    windowClass.hIcon = LoadIcon(NULL, IDI_APPLICATION);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = WindowClass;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered

    HMENU menu = CreateMenu();
    HMENU playerMenu = CreatePopupMenu();
    AppendMenuA(playerMenu, MF_STRING, IdOpenPlaylist, "&Open playlist...");
    AppendMenuA(playerMenu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(playerMenu, MF_STRING, IdExit, "E&xit");
    AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(playerMenu), "&Player");
    HMENU pluginMenu = CreatePopupMenu();
    AppendMenuA(pluginMenu, MF_STRING, IdNightcap, "&Nightcap...");
    AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(pluginMenu), "P&lug-ins");

    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    window = CreateWindowExA(0, WindowClass, WindowTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, work.left,
                             work.top, WindowWidth, WindowHeight, NULL, menu, GetModuleHandleA(NULL), this);
    if (window == NULL) {
        return false;
    }
    controls.create(window);
    tray.create(window, IdTray);
    RECT client;
    GetClientRect(window, &client);
    layout(client.right, client.bottom);
    placeBesideTheDialog(work);
    return true;
}

// The plug-in's dialog appears in the middle of the screen: place the window
// so that it covers the log there, and the player's state and controls stay
// in sight while it is open.
void BenchWindow::placeBesideTheDialog(const RECT& work) {
    RECT logArea;
    GetWindowRect(controls.item(IdLog), &logArea);
    int x = (work.left + work.right) / 2 - ((logArea.left + logArea.right) / 2 - work.left);
    int y = (work.top + work.bottom) / 2 - ((logArea.top + logArea.bottom) / 2 - work.top);
    x = x + WindowWidth > work.right ? work.right - WindowWidth : x;
    y = y + WindowHeight > work.bottom ? work.bottom - WindowHeight : y;
    SetWindowPos(window, NULL, x < work.left ? work.left : x, y < work.top ? work.top : y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void BenchWindow::start(bool show) {
    SetTimer(window, HeartbeatTimer, HeartbeatMs, NULL);
    if (show) {
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
}

void BenchWindow::destroy() {
    if (window != NULL) {
        DestroyWindow(window);
    }
}

void BenchWindow::openPluginConfig() {
    PostMessageA(window, WM_COMMAND, IdNightcap, 0);
}

void BenchWindow::close() {
    PostMessageA(window, WM_CLOSE, 0, 0);
}

LRESULT CALLBACK BenchWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        CREATESTRUCTA* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    BenchWindow* self = reinterpret_cast<BenchWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr || self->window == NULL) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT BenchWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (player.answer(message, wParam, lParam, result)) {
        return result;
    }
    switch (message) {
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_HSCROLL:
        onScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == HeartbeatTimer) {
            player.heartbeat();
            return 0;
        }
        break;
    case WM_SIZE:
        layout(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_GETMINMAXINFO: {
        MINMAXINFO* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize.x = 880;
        limits->ptMinTrackSize.y = 520;
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        HBRUSH brush = controls.colours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
        if (brush != NULL) {
            return reinterpret_cast<LRESULT>(brush);
        }
        break;
    }
    case WM_CLOSE:
        closing = true;
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        KillTimer(window, HeartbeatTimer);
        closing = closing || !loopOver;
        if (!loopOver) {
            PostQuitMessage(0);
        }
        return 0;
    case WM_NCDESTROY: {
        HWND was = window;
        window = NULL;
        controls.release();
        return DefWindowProcA(was, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void BenchWindow::onCommand(int id, int code) {
    switch (id) {
    case IdNightcap:
        player.showPluginConfig();
        return;
    case IdOpenPlaylist:
        openPlaylist();
        return;
    case IdExit:
        close();
        return;
    case IdPrevious:
        player.previous();
        return;
    case IdPlay:
        player.play();
        return;
    case IdPause:
        player.pause();
        return;
    case IdStop:
        player.stop();
        return;
    case IdNext:
        player.next();
        return;
    case IdBack:
        player.seek(player.model.positionMs - SkipSeconds * 1000);
        return;
    case IdForward:
        player.seek(player.model.positionMs + SkipSeconds * 1000);
        return;
    case IdNearEnd:
        player.jumpBeforeEnd(NearEndSeconds);
        return;
    case IdRepeat:
        player.setRepeat(SendMessageA(controls.item(IdRepeat), BM_GETCHECK, 0, 0) == BST_CHECKED);
        return;
    case IdPlaylist:
        if (code == LBN_DBLCLK) {
            LRESULT chosen = SendMessageA(controls.item(IdPlaylist), LB_GETCURSEL, 0, 0);
            if (chosen != LB_ERR) {
                player.playTrack(static_cast<size_t>(chosen));
            }
        }
        return;
    default:
        return;
    }
}

void BenchWindow::openPlaylist() {
    char path[MAX_PATH] = "";
    OPENFILENAMEA open = {};
    open.lStructSize = sizeof open;
    open.hwndOwner = window;
    open.lpstrFilter = "Playlists (*.m3u)\0*.m3u;*.m3u8\0All files\0*.*\0";
    open.lpstrFile = path;
    open.nMaxFile = MAX_PATH;
    open.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    std::vector<Track> tracks;
    if (GetOpenFileNameA(&open) && PlayerModel::readM3u(path, tracks)) {
        player.usePlaylist(tracks, path);
    }
}

void BenchWindow::onScroll(HWND slider, int code) {
    int value = static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0));
    if (slider == controls.item(IdPosition)) {
        // The position is taken when the user lets go.
        if (code == TB_THUMBTRACK) {
            controls.seeking = true;
        } else if (code == TB_ENDTRACK) {
            controls.seeking = false;
            player.seek(value * 1000);
        }
    } else if (slider == controls.item(IdVolume)) {
        player.model.volume = value;
        if (code == TB_ENDTRACK) {
            player.log.note("you: volume " + std::to_string(value));
        }
        controls.refresh();
    }
}

void BenchWindow::repaint() {
    UINT how = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME;
    if (window != NULL) {
        RedrawWindow(window, NULL, NULL, how);
    }
    HWND dialog = player.pluginDialog();
    if (dialog != NULL) {
        RedrawWindow(dialog, NULL, NULL, how);
    }
}

bool BenchWindow::saveScreenshot(const std::string& bmpPath) {
    if (window == NULL) {
        return false;
    }
    RECT area;
    GetWindowRect(window, &area);
    HWND dialog = player.pluginDialog();
    if (dialog != NULL) {
        RECT dialogArea;
        GetWindowRect(dialog, &dialogArea);
        UnionRect(&area, &area, &dialogArea);
    }
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&area, &area, &screen);
    return saveScreenArea(area, bmpPath);
}
