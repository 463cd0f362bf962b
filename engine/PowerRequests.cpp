#include "engine/PowerRequests.h"

#include <windows.h>

#include <powrprof.h>

#include "plugin/PluginDescriptor.h"

namespace {

// Code page 936 (GBK) bytes, as the texts have always been stored:
// "Error: cannot obtain the shutdown privilege, please leave the operating system by hand"
const char PrivilegeMessage[] =
    "\xB4\xED\xCE\xF3\xA3\xBA\xCE\xDE\xB7\xA8\xBB\xF1\xB5\xC3\xB9\xD8\xBB\xFA\xC8\xA8\xCF"
    "\xDE\xA3\xAC\xC7\xEB\xCA\xD6\xB6\xAF\xCD\xCB\xB3\xF6\xB2\xD9\xD7\xF7\xCF\xB5\xCD\xB3";
// "Error: switching the computer off failed, please leave the operating system by hand"
const char PowerOffMessage[] =
    "\xB4\xED\xCE\xF3\xA3\xBA\xB9\xD8\xB1\xD5\xBC\xC6\xCB\xE3\xBB\xFA\xCA\xA7\xB0\xDC\xA3"
    "\xAC\xC7\xEB\xCA\xD6\xB6\xAF\xCD\xCB\xB3\xF6\xB2\xD9\xD7\xF7\xCF\xB5\xCD\xB3";

const UINT ChineseCodePage = 936;

const char ErrorCaption[] = "error";

// What a refused sleep or hibernation says, by what was refused.
struct SuspendTexts {
    const char* privilegeRefused;
    const char* requestRefused;
};
const SuspendTexts SleepTexts = {
    "Nightcap could not put the computer to sleep: Windows did not give it the right to (the shutdown "
    "privilege). Please put the computer to sleep by hand.",
    "Nightcap could not put the computer to sleep: Windows refused. Please put the computer to sleep by hand.",
};
const SuspendTexts HibernateTexts = {
    "Nightcap could not hibernate the computer: Windows did not give it the right to (the shutdown "
    "privilege). Please hibernate the computer by hand.",
    "Nightcap could not hibernate the computer: Windows refused. Please hibernate the computer by hand.",
};

// Shown through the wide-character box: the ANSI one would read the GBK
// bytes in the system's own code page and print them as garbage.
void showError(const char* gbkText) {
    wchar_t text[64];
    int length = MultiByteToWideChar(ChineseCodePage, MB_ERR_INVALID_CHARS, gbkText, -1, text, 64);
    if (length > 0) {
        MessageBoxW(NULL, text, L"error", MB_OK);
    } else {
        MessageBoxA(NULL, gbkText, ErrorCaption, MB_OK);
    }
}

void showPrivilegeError() {
    showError(PrivilegeMessage);
}

// Opens the process token and enables the shutdown privilege in it. A
// refusal calls refused (when given) where it happens, and the steps go on;
// true when nothing was refused.
bool enableShutdownPrivilege(void (*refused)()) {
    bool enabled = true;
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        enabled = false;
        if (refused != NULL) {
            refused();
        }
        token = NULL;
    }

    TOKEN_PRIVILEGES privileges;
    ZeroMemory(&privileges, sizeof privileges);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    // Also set when the call succeeded but the privilege was not granted.
    if (GetLastError() != 0) {
        enabled = false;
        if (refused != NULL) {
            refused();
        }
    }
    if (token != NULL) {
        CloseHandle(token);
    }
    return enabled;
}

// The request is made even when the privilege was refused: should the
// system grant it all the same, the computer sleeps and there is nothing to
// report. Otherwise one box, naming what was refused.
//
// bForce TRUE: only Windows XP reads it, where FALSE first asks every
// program, and any of them may refuse. The listener is asleep and cannot
// answer a program that asks whether to let it; an unattended timer should
// not be vetoed, as the power-off's EWX_FORCE is not. Wake events stay on
// (the last argument, FALSE), so scheduled wake-ups of backups and updates
// still come.
void suspend(bool hibernate, const SuspendTexts& texts) {
    bool enabled = enableShutdownPrivilege(NULL);
    if (!SetSuspendState(static_cast<BOOLEAN>(hibernate), TRUE, FALSE)) {
        MessageBoxA(NULL, enabled ? texts.requestRefused : texts.privilegeRefused, ErrorCaption, MB_OK);
    }
}

}  // namespace

void powerOff() {
    enableShutdownPrivilege(showPrivilegeError);
    if (!ExitWindowsEx(EWX_POWEROFF | EWX_FORCE, 0)) {
        showError(PowerOffMessage);
    }
}

// A Modern Standby computer sleeps when its display goes off (SetSuspendState
// there does nothing, or hibernates). DefWindowProcA carries SC_MONITORPOWER
// out itself, on the player's own window: no window procedure sees it, and
// no other program's window is sent anything, so nothing can keep it
// waiting. A SendMessage to HWND_BROADCAST would wait on every top-level
// window, a hung one for ever. The player has been stopped already, so it
// holds no request that keeps the display on. No privilege is needed.
//
// Checked under Wine 8.0 and Xvfb with lParam -1 (display on, which changes
// nothing) while another thread's top-level window did not answer: the real
// DefWindowProcA returned at once and no window received anything, where a
// SendMessageTimeout to HWND_BROADCAST waited three seconds on that window.
// Tests and the bench never let lParam 2 through: the host intercepts it.
void sleepComputer() {
    if (powerAbilities().sleepTurnsDisplayOff) {
        const LPARAM DisplayOff = 2;
        DefWindowProcA(pluginDescriptor.hostWindow, WM_SYSCOMMAND, SC_MONITORPOWER, DisplayOff);
        return;
    }
    suspend(false, SleepTexts);
}

void hibernateComputer() {
    suspend(true, HibernateTexts);
}

PowerAbilities powerAbilities() {
    SYSTEM_POWER_CAPABILITIES capabilities;
    ZeroMemory(&capabilities, sizeof capabilities);
    // Not known: nothing is refused ahead, and the system answers at the end.
    if (!GetPwrCapabilities(&capabilities)) {
        return unknownAbilities();
    }
    return abilitiesFrom(capabilities);
}
