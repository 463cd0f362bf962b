#include "engine/CountdownEngine.h"

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

// Shown through the wide-character box: the ANSI one would read the GBK
// bytes in the system's own code page and print them as garbage.
void showError(const char* gbkText) {
    wchar_t text[64];
    int length = MultiByteToWideChar(ChineseCodePage, MB_ERR_INVALID_CHARS, gbkText, -1, text, 64);
    if (length > 0) {
        MessageBoxW(NULL, text, L"error", MB_OK);
    } else {
        MessageBoxA(NULL, gbkText, "error", MB_OK);
    }
}

}  // namespace

void powerOff() {
    HANDLE token = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        showError(PrivilegeMessage);
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
        showError(PrivilegeMessage);
    }
    if (token != NULL) {
        CloseHandle(token);
    }

    if (!ExitWindowsEx(EWX_POWEROFF | EWX_FORCE, 0)) {
        showError(PowerOffMessage);
    }
}
