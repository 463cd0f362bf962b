// The dialog's window: showing it, its procedure, ending it (when the
// listener closes it, and when the player quits while it is shown), and the
// About box of its system menu.

#include "dialog/ConfigDialog.h"

#include "dialog/resource.h"
#include "engine/CountdownEngine.h"
#include "plugin/PluginDescriptor.h"
#include "plugin/Version.h"

bool dialogOpen = false;
ConfigDialog* activeDialog = NULL;

namespace {

const char AboutMenuText[] = "About Nightcap(&A)...";
const char AboutCaption[] = "About " NIGHTCAP_TITLE;
const char AboutText[] = NIGHTCAP_TITLE "\n"
                         "\n"
                         "Author : The Nightcap project\n"
                         "Contact: nightcap@example.org\n"
                         "         https://nightcap.example.org/";

}  // namespace

void ConfigDialog::show() {
    if (dialogOpen) {
        return;
    }
    dialogOpen = true;
    // Messages that come before WM_INITDIALOG (the font, the first sizes)
    // find this controller, which handles none of them before its onInit,
    // not the one of an earlier dialog, which is gone.
    activeDialog = this;
    DialogBoxParamA(pluginDescriptor.moduleInstance, MAKEINTRESOURCEA(IDD_CONFIG), pluginDescriptor.hostWindow,
                    dialogProc, reinterpret_cast<LPARAM>(this));
    activeDialog = NULL;
    // The dialog's own closing paths have cleaned up already. One that could
    // not be created, or that a quit message tore down, has not: without this
    // no dialog would open again and the engine would post to a dead window.
    if (dialogOpen) {
        engine.detachDialog();
        dialogOpen = false;
    }
}

// One dialog exists at a time, so one pointer reaches its controller; it is
// not kept in the window, where a refused store would strand the dialog.
INT_PTR CALLBACK ConfigDialog::dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        activeDialog = reinterpret_cast<ConfigDialog*>(lParam);
        return activeDialog->onInit(hwnd);
    }
    if (activeDialog == NULL || activeDialog->window == NULL) {
        return FALSE;
    }
    return activeDialog->handle(hwnd, message, wParam);
}

INT_PTR ConfigDialog::handle(HWND hwnd, UINT message, WPARAM wParam) {
    if (abandoned) {
        // Only ending is left; Esc tries again should the system have refused.
        if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
            endAbandoned();
            return TRUE;
        }
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        return onCommand(hwnd, wParam);
    case WM_SYSCOMMAND:
        // The low four bits are the system's own.
        if ((wParam & 0xFFF0) == IDM_ABOUT) {
            showAbout(hwnd);
            return TRUE;
        }
        return FALSE;
    case DialogNotify:
        if (wParam == DialogNotifyCounts) {
            transferCounts(hwnd, true);
        } else if (wParam == DialogNotifyFinished) {
            setFormEnabled(hwnd, true);
        }
        return TRUE;
    default:
        return FALSE;
    }
}


// (Only the fault probe refuses EndDialog on the module's own dialog.)
// Should the system refuse to end the dialog, it stays on screen: it then
// stays attached and open, as usable as before, so that closing it again
// works and a later pluginConfig is not turned away for ever.
void ConfigDialog::endDialog(HWND hwnd, INT_PTR result) {
    engine.detachDialog();
    if (!EndDialog(hwnd, result)) {
        engine.attachDialog(news);
        return;
    }
    dialogOpen = false;
}

void ConfigDialog::abandon() {
    abandoned = true;
    engine.detachDialog();
    if (window != NULL) {
        endAbandoned();
    }
}

void ConfigDialog::bringToFront() {
    if (window != NULL && !abandoned) {
        SetForegroundWindow(window);
    }
}

// (Only the fault probe refuses EndDialog on the module's own dialog.)
// Not through endDialog: the dialog must go even when the system refuses to
// end it, since nobody is left to close it.
void ConfigDialog::endAbandoned() {
    if (!EndDialog(window, 0)) {
        DestroyWindow(window);
    }
}

void ConfigDialog::addAboutMenuItem(HWND hwnd) {
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(menu, MF_STRING, IDM_ABOUT, AboutMenuText);
}

void ConfigDialog::showAbout(HWND hwnd) {
    MessageBoxA(hwnd, AboutText, AboutCaption, MB_OK);
}
