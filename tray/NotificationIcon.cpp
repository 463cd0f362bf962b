#include "tray/NotificationIcon.h"

#include <shellapi.h>
#include <string.h>

#include "plugin/PluginDescriptor.h"
#include "plugin/PluginLoop.h"
#include "settings/Settings.h"
#include "tray/IconTexts.h"
#include "tray/resource.h"

NotificationIcon* NotificationIcon::current = NULL;

namespace {

const char WindowClassName[] = "NightcapNotificationIcon";
const char StopItemText[] = "Stop the countdown";
const char ExtendMinutesText[] = "10 more minutes";
const char ExtendSongsText[] = "One more song";
const char OpenItemText[] = "Open Nightcap...";
// The form that Windows 2000 and XP accept, balloons included; later
// systems take it as well.
#ifdef NOTIFYICONDATAA_V2_SIZE
const DWORD NotifyDataSize = NOTIFYICONDATAA_V2_SIZE;
#else
const DWORD NotifyDataSize = offsetof(NOTIFYICONDATAA, guidItem);
#endif

}  // namespace

NotificationIcon::NotificationIcon(Settings& settings, CountdownEngine& engine, DialogOpener& opener)
    : settings(settings),
      engine(engine),
      opener(opener),
      window(NULL),
      image(NULL),
      taskbarCreated(0),
      classRegistered(false),
      added(false),
      versionThree(false),
      wanted(false),
      menuOpen(false),
      destroyAfterMenu(false) {
    shownTip[0] = '\0';
}

NotificationIcon::~NotificationIcon() {
    wanted = false;
    destroyWindow();
    if (classRegistered) {
        UnregisterClassA(WindowClassName, pluginDescriptor.moduleInstance);
        classRegistered = false;
    }
    if (current == this) {
        current = NULL;
    }
}

void NotificationIcon::countdownArmed() {
    wanted = true;
    if (window == NULL && !createWindow()) {
        return;
    }
    addIcon();
}

void NotificationIcon::countsChanged() {
    if (wanted) {
        updateTip();
    }
}

void NotificationIcon::fadeProgressed() {
    if (wanted) {
        updateTip();
    }
}

void NotificationIcon::endNear() {
    if (wanted) {
        warn();
    }
}

void NotificationIcon::countdownDisarmed() {
    wanted = false;
    removeIcon();
    if (menuOpen) {
        // The window owns the menu, whose loop is on the stack: it goes once
        // the menu has returned.
        destroyAfterMenu = true;
        EndMenu();
        return;
    }
    destroyWindow();
}

bool NotificationIcon::createWindow() {
    HINSTANCE instance = pluginDescriptor.moduleInstance;
    if (!classRegistered) {
        WNDCLASSA windowClass;
        ZeroMemory(&windowClass, sizeof windowClass);
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = WindowClassName;
        classRegistered = RegisterClassA(&windowClass) != 0;
        if (!classRegistered) {
            return false;
        }
    }
    current = this;
    // A hidden, unowned top-level window rather than a message-only one:
    // only top-level windows hear the shell's "TaskbarCreated" broadcast.
    window = CreateWindowExA(WS_EX_TOOLWINDOW, WindowClassName, "Nightcap", WS_POPUP, 0, 0, 0, 0, NULL, NULL,
                             instance, NULL);
    if (window == NULL) {
        return false;
    }
    taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    image = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_NIGHTCAP), IMAGE_ICON,
                                          GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                          LR_DEFAULTCOLOR));
    return true;
}

void NotificationIcon::destroyWindow() {
    removeIcon();
    destroyAfterMenu = false;
    if (window != NULL) {
        // (Only the fault probe refuses to destroy the module's own window.)
        if (!DestroyWindow(window)) {
            // The window lives on, and the player may unload the module: its
            // messages go to the system's procedure, not to code unmapped.
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcA));
        }
        window = NULL;
    }
    if (image != NULL) {
        DestroyIcon(image);
        image = NULL;
    }
}

void NotificationIcon::fill(NOTIFYICONDATAA& data, UINT flags) const {
    ZeroMemory(&data, sizeof data);
    data.cbSize = NotifyDataSize;
    data.hWnd = window;
    data.uID = IconId;
    data.uFlags = flags;
    data.uCallbackMessage = IconCallbackMessage;
    data.hIcon = image;
    copyText(data.szTip, sizeof data.szTip, shownTip);
}

// The fade's time left is worth saying only for the longer ones.
void NotificationIcon::describe(char* tip) const {
    bool longFade = engine.fading() && usableFadeSeconds(settings.getFadeSeconds()) > DefaultFadeSeconds;
    describeCountdown(settings.values(), longFade ? engine.fadeMsLeft() : -1, tip);
}

bool NotificationIcon::addIcon() {
    describe(shownTip);
    NOTIFYICONDATAA data;
    fill(data, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    // Refused while the shell is not there yet; "TaskbarCreated" tries again.
    added = Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
    if (added) {
        // Clicks and keys as Windows 2000 and later tell them (a selection,
        // a context menu); an older shell keeps to the button messages.
        data.uVersion = NOTIFYICON_VERSION;
        versionThree = Shell_NotifyIconA(NIM_SETVERSION, &data) != FALSE;
    }
    return added;
}

void NotificationIcon::removeIcon() {
    if (!added) {
        return;
    }
    NOTIFYICONDATAA data;
    fill(data, 0);
    Shell_NotifyIconA(NIM_DELETE, &data);
    added = false;
}

// Only when the words change: most ticks change no count.
void NotificationIcon::updateTip() {
    char tip[IconTipChars];
    describe(tip);
    if (!added || strcmp(tip, shownTip) == 0) {
        return;
    }
    copyText(shownTip, sizeof shownTip, tip);
    NOTIFYICONDATAA data;
    fill(data, NIF_TIP);
    Shell_NotifyIconA(NIM_MODIFY, &data);
}

void NotificationIcon::warn() {
    IconWarning warning = warningFor(settings.values());
    if (warning == NoWarning || !added) {
        return;
    }
    NOTIFYICONDATAA data;
    fill(data, NIF_INFO);
    describeWarning(warning, settings.getFinalAction(), data.szInfoTitle, sizeof data.szInfoTitle, data.szInfo,
                    sizeof data.szInfo);
    data.dwInfoFlags = NIIF_INFO;
    data.uTimeout = 15000;
    Shell_NotifyIconA(NIM_MODIFY, &data);
}

LRESULT CALLBACK NotificationIcon::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (current != NULL && current->window == hwnd && hwnd != NULL) {
        return current->handle(message, wParam, lParam);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT NotificationIcon::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == IconCallbackMessage) {
        switch (LOWORD(lParam)) {
        case WM_LBUTTONUP:
        case NIN_SELECT:
        case NIN_KEYSELECT:
            // Shells send a click both ways, and Enter twice: a second
            // request finds the dialog open and brings it to the front.
            // Opened once the shell's call has returned, so that the
            // shell does not wait on the dialog.
            PostMessageA(window, IconOpenDialogMessage, 0, 0);
            return 0;
        case WM_RBUTTONUP:
            // A shell that took version 3 follows a right-click's button
            // messages with WM_CONTEXTMENU: one menu, not two.
            if (!versionThree) {
                showMenu();
            }
            return 0;
        case WM_CONTEXTMENU:
            showMenu();
            return 0;
        default:
            return 0;
        }
    }
    if (message == IconOpenDialogMessage) {
        // Nothing of this object is touched afterwards: the player may quit
        // the plug-in from inside the dialog, which frees it.
        opener.openDialog();
        return 0;
    }
    if (message == taskbarCreated && taskbarCreated != 0) {
        // The shell started again and knows no icons: show ours again.
        if (wanted) {
            addIcon();
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void NotificationIcon::showMenu() {
    if (menuOpen || !wanted) {
        return;
    }
    HMENU menu = CreatePopupMenu();
    if (menu == NULL) {
        return;
    }
    bool minutes = settings.getCountMode() == CountMode::Minutes;
    AppendMenuA(menu, MF_STRING, IconMenuStop, StopItemText);
    AppendMenuA(menu, MF_STRING, IconMenuExtend, minutes ? ExtendMinutesText : ExtendSongsText);
    AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(menu, MF_STRING, IconMenuOpen, OpenItemText);
    // What a click on the icon does, in bold.
    SetMenuDefaultItem(menu, IconMenuOpen, FALSE);
    POINT at = {0, 0};
    GetCursorPos(&at);

    UINT chosen = 0;
    {
        // The player may quit the plug-in, and let go of the module, from
        // inside the menu's loop.
        PluginLoop loop;
        if (loop.held()) {
            // Without this the menu would not close on a click elsewhere.
            SetForegroundWindow(window);
            menuOpen = true;
            chosen = static_cast<UINT>(
                TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, window, NULL));
            if (!PluginLoop::quitCame()) {
                menuOpen = false;
                // Lets the next menu show properly (the system's advice).
                PostMessageA(window, WM_NULL, 0, 0);
            }
        }
        DestroyMenu(menu);
        if (PluginLoop::quitCame()) {
            // The loop's end frees this object; nothing more of it here.
            return;
        }
        if (destroyAfterMenu) {
            destroyWindow();
            return;
        }
        act(static_cast<IconMenuAction>(chosen));
    }
}

void NotificationIcon::act(IconMenuAction action) {
    switch (action) {
    case IconMenuStop:
        engine.cancel();
        break;
    case IconMenuExtend:
        engine.extend();
        break;
    case IconMenuOpen:
        PostMessageA(window, IconOpenDialogMessage, 0, 0);
        break;
    default:
        // Esc, a click elsewhere, or a refused menu: the shell gets the
        // keyboard back.
        if (window != NULL) {
            NOTIFYICONDATAA data;
            fill(data, 0);
            Shell_NotifyIconA(NIM_SETFOCUS, &data);
        }
        break;
    }
}
