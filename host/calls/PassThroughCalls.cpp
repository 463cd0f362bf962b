// The module's imports that the host does not steer: each goes on to the
// system, counted, and fails when told to (PluginHost::failCall), with the
// result and error code the system gives when it fails. So every function the
// module imports can be made to fail, its start-up code's included. Left out
// are those that cannot fail (GetLastError, GetCurrentProcess, the critical
// sections, the C string functions, wsprintfA) or never return (abort, _amsg_exit), and
// the data export _iob.

#include <stdio.h>

#include "host/calls/HostCalls.h"

namespace {

// A replacement that fails with failure and error, else calls the function.
#define NIGHTCAP_PASS(Result, Convention, function, failure, error, parameters, arguments) \
    Result Convention pass##function parameters {                                      \
        if (NIGHTCAP_FAILS(function)) {                                                \
            return failWith<Result>(error, failure);                                   \
        }                                                                              \
        return function arguments;                                                     \
    }

// The dialog.
NIGHTCAP_PASS(BOOL, WINAPI, EndDialog, FALSE, ERROR_INVALID_WINDOW_HANDLE, (HWND dialog, INT_PTR result),
              (dialog, result))
NIGHTCAP_PASS(HWND, WINAPI, GetDlgItem, NULL, ERROR_CONTROL_ID_NOT_FOUND, (HWND dialog, int id), (dialog, id))
NIGHTCAP_PASS(UINT, WINAPI, GetDlgItemTextA, 0, ERROR_CONTROL_ID_NOT_FOUND,
              (HWND dialog, int id, LPSTR text, int size), (dialog, id, text, size))
NIGHTCAP_PASS(BOOL, WINAPI, SetDlgItemTextA, FALSE, ERROR_CONTROL_ID_NOT_FOUND, (HWND dialog, int id, LPCSTR text),
              (dialog, id, text))
NIGHTCAP_PASS(BOOL, WINAPI, SetWindowTextA, FALSE, ERROR_INVALID_WINDOW_HANDLE, (HWND window, LPCSTR text),
              (window, text))
NIGHTCAP_PASS(BOOL, WINAPI, EnableWindow, FALSE, ERROR_INVALID_WINDOW_HANDLE, (HWND window, BOOL enable),
              (window, enable))
NIGHTCAP_PASS(HMENU, WINAPI, GetSystemMenu, NULL, ERROR_INVALID_WINDOW_HANDLE, (HWND window, BOOL revert),
              (window, revert))
NIGHTCAP_PASS(BOOL, WINAPI, AppendMenuA, FALSE, ERROR_INVALID_MENU_HANDLE,
              (HMENU menu, UINT flags, UINT_PTR id, LPCSTR text), (menu, flags, id, text))
NIGHTCAP_PASS(BOOL, WINAPI, DestroyWindow, FALSE, ERROR_ACCESS_DENIED, (HWND window), (window))

// The notification icon: its window's class and the window, its image, its
// menu, and the shell's restart message.
NIGHTCAP_PASS(ATOM, WINAPI, RegisterClassA, 0, ERROR_NOT_ENOUGH_MEMORY, (const WNDCLASSA* windowClass), (windowClass))
NIGHTCAP_PASS(BOOL, WINAPI, UnregisterClassA, FALSE, ERROR_CLASS_HAS_WINDOWS, (LPCSTR name, HINSTANCE instance),
              (name, instance))
NIGHTCAP_PASS(HWND, WINAPI, CreateWindowExA, NULL, ERROR_NOT_ENOUGH_MEMORY,
              (DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width, int height,
               HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter),
              (exStyle, className, title, style, x, y, width, height, parent, menu, instance, parameter))
NIGHTCAP_PASS(UINT, WINAPI, RegisterWindowMessageA, 0, ERROR_NOT_ENOUGH_MEMORY, (LPCSTR name), (name))
NIGHTCAP_PASS(int, WINAPI, GetSystemMetrics, 0, ERROR_INVALID_PARAMETER, (int index), (index))
NIGHTCAP_PASS(HANDLE, WINAPI, LoadImageA, NULL, ERROR_RESOURCE_NAME_NOT_FOUND,
              (HINSTANCE instance, LPCSTR name, UINT type, int width, int height, UINT flags),
              (instance, name, type, width, height, flags))
NIGHTCAP_PASS(BOOL, WINAPI, DestroyIcon, FALSE, ERROR_INVALID_CURSOR_HANDLE, (HICON icon), (icon))
NIGHTCAP_PASS(HMENU, WINAPI, CreatePopupMenu, NULL, ERROR_NOT_ENOUGH_MEMORY, (), ())
NIGHTCAP_PASS(BOOL, WINAPI, SetMenuDefaultItem, FALSE, ERROR_INVALID_MENU_HANDLE, (HMENU menu, UINT item, UINT byPosition),
              (menu, item, byPosition))
NIGHTCAP_PASS(BOOL, WINAPI, DestroyMenu, FALSE, ERROR_INVALID_MENU_HANDLE, (HMENU menu), (menu))
// Refused on a secure desktop, and to a window of a process not in the foreground.
NIGHTCAP_PASS(BOOL, WINAPI, GetCursorPos, FALSE, ERROR_ACCESS_DENIED, (LPPOINT point), (point))
NIGHTCAP_PASS(BOOL, WINAPI, SetForegroundWindow, FALSE, ERROR_ACCESS_DENIED, (HWND window), (window))

// Texts.
NIGHTCAP_PASS(int, WINAPI, MultiByteToWideChar, 0, ERROR_NO_UNICODE_TRANSLATION,
              (UINT codePage, DWORD flags, LPCSTR text, int bytes, LPWSTR wide, int chars),
              (codePage, flags, text, bytes, wide, chars))

// The runtime's start-up and shut-down.
NIGHTCAP_PASS(HMODULE, WINAPI, GetModuleHandleA, NULL, ERROR_MOD_NOT_FOUND, (LPCSTR name), (name))
NIGHTCAP_PASS(BOOL, WINAPI, GetModuleHandleExA, FALSE, ERROR_MOD_NOT_FOUND,
              (DWORD flags, LPCSTR name, HMODULE* module), (flags, name, module))
NIGHTCAP_PASS(HMODULE, WINAPI, LoadLibraryA, NULL, ERROR_MOD_NOT_FOUND, (LPCSTR name), (name))
NIGHTCAP_PASS(FARPROC, WINAPI, GetProcAddress, NULL, ERROR_PROC_NOT_FOUND, (HMODULE module, LPCSTR name),
              (module, name))
NIGHTCAP_PASS(BOOL, WINAPI, FreeLibrary, FALSE, ERROR_INVALID_HANDLE, (HMODULE module), (module))
NIGHTCAP_PASS(LPVOID, WINAPI, TlsGetValue, NULL, ERROR_INVALID_PARAMETER, (DWORD index), (index))
NIGHTCAP_PASS(BOOL, WINAPI, VirtualProtect, FALSE, ERROR_INVALID_ADDRESS,
              (LPVOID address, SIZE_T size, DWORD protection, PDWORD old), (address, size, protection, old))
NIGHTCAP_PASS(SIZE_T, WINAPI, VirtualQuery, 0, ERROR_INVALID_PARAMETER,
              (LPCVOID address, PMEMORY_BASIC_INFORMATION info, SIZE_T size), (address, info, size))
NIGHTCAP_PASS(size_t, __cdecl, fwrite, 0, ERROR_WRITE_FAULT, (const void* data, size_t size, size_t count, FILE* file),
              (data, size, count, file))
NIGHTCAP_PASS(int, __cdecl, vfprintf, -1, ERROR_WRITE_FAULT, (FILE * file, const char* format, va_list arguments),
              (file, format, arguments))

}  // namespace

const Replacement PassedReplacements[] = {
    NIGHTCAP_REPLACE("EndDialog", passEndDialog),
    NIGHTCAP_REPLACE("GetDlgItem", passGetDlgItem),
    NIGHTCAP_REPLACE("GetDlgItemTextA", passGetDlgItemTextA),
    NIGHTCAP_REPLACE("SetDlgItemTextA", passSetDlgItemTextA),
    NIGHTCAP_REPLACE("SetWindowTextA", passSetWindowTextA),
    NIGHTCAP_REPLACE("EnableWindow", passEnableWindow),
    NIGHTCAP_REPLACE("GetSystemMenu", passGetSystemMenu),
    NIGHTCAP_REPLACE("AppendMenuA", passAppendMenuA),
    NIGHTCAP_REPLACE("DestroyWindow", passDestroyWindow),
    NIGHTCAP_REPLACE("RegisterClassA", passRegisterClassA),
    NIGHTCAP_REPLACE("UnregisterClassA", passUnregisterClassA),
    NIGHTCAP_REPLACE("CreateWindowExA", passCreateWindowExA),
    NIGHTCAP_REPLACE("RegisterWindowMessageA", passRegisterWindowMessageA),
    NIGHTCAP_REPLACE("GetSystemMetrics", passGetSystemMetrics),
    NIGHTCAP_REPLACE("LoadImageA", passLoadImageA),
    NIGHTCAP_REPLACE("DestroyIcon", passDestroyIcon),
    NIGHTCAP_REPLACE("CreatePopupMenu", passCreatePopupMenu),
    NIGHTCAP_REPLACE("SetMenuDefaultItem", passSetMenuDefaultItem),
    NIGHTCAP_REPLACE("DestroyMenu", passDestroyMenu),
    NIGHTCAP_REPLACE("GetCursorPos", passGetCursorPos),
    NIGHTCAP_REPLACE("SetForegroundWindow", passSetForegroundWindow),
    NIGHTCAP_REPLACE("MultiByteToWideChar", passMultiByteToWideChar),
    NIGHTCAP_REPLACE("GetModuleHandleA", passGetModuleHandleA),
    NIGHTCAP_REPLACE("GetModuleHandleExA", passGetModuleHandleExA),
    NIGHTCAP_REPLACE("LoadLibraryA", passLoadLibraryA),
    NIGHTCAP_REPLACE("GetProcAddress", passGetProcAddress),
    NIGHTCAP_REPLACE("FreeLibrary", passFreeLibrary),
    NIGHTCAP_REPLACE("TlsGetValue", passTlsGetValue),
    NIGHTCAP_REPLACE("VirtualProtect", passVirtualProtect),
    NIGHTCAP_REPLACE("VirtualQuery", passVirtualQuery),
    NIGHTCAP_REPLACE("fwrite", passfwrite),
    NIGHTCAP_REPLACE("vfprintf", passvfprintf),
};
NIGHTCAP_CALL_TABLE(PassedCalls, PassedReplacements);
