#pragma once
// What the thread-hold benchmark measures with: the floors' system calls,
// made through the module's own imports (the host's replacements), a bare
// dialog of the module's template, and steps run each time a dialog that
// the player owns goes idle.

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "benchmarks/Stopwatch.h"
#include "dialog/resource.h"
#include "host/ImportPatch.h"
#include "settings/Settings.h"

// The controls the dialog greys while a countdown runs, in ascending order.
const int FormControls[] = {IDC_COUNT_SONGS,   IDC_SONGS,         IDC_COUNT_MINUTES, IDC_MINUTES,
                            IDC_WAIT_SONG_END, IDC_FADE_OUT,      IDC_STOP_NOW,      IDC_STOP_PLAYING,
                            IDC_QUIT_PLAYER,   IDC_HALT_COMPUTER, IDC_SONGS_LABEL,   IDC_MINUTES_LABEL,
                            IDC_SLEEP,         IDC_HIBERNATE,     IDC_FADE_LENGTH,   IDC_PAUSE};

template <typename Function>
Function importOf(HMODULE module, const char* name, Function) {
    return reinterpret_cast<Function>(importedAddress(module, name));
}
#define NIGHTCAP_IMPORT(function) importOf(module, #function, &function)

// The system calls of the floors, made the module's way.
struct Imports {
    explicit Imports(HMODULE module)
        : send(NIGHTCAP_IMPORT(SendMessageA)),
          post(NIGHTCAP_IMPORT(PostMessageA)),
          setTimer(NIGHTCAP_IMPORT(SetTimer)),
          killTimer(NIGHTCAP_IMPORT(KillTimer)),
          createFile(NIGHTCAP_IMPORT(CreateFileA)),
          readFile(NIGHTCAP_IMPORT(ReadFile)),
          writeFile(NIGHTCAP_IMPORT(WriteFile)),
          flush(NIGHTCAP_IMPORT(FlushFileBuffers)),
          closeHandle(NIGHTCAP_IMPORT(CloseHandle)),
          attributes(NIGHTCAP_IMPORT(GetFileAttributesA)),
          move(NIGHTCAP_IMPORT(MoveFileExA)),
          item(NIGHTCAP_IMPORT(GetDlgItem)),
          enable(NIGHTCAP_IMPORT(EnableWindow)),
          setText(NIGHTCAP_IMPORT(SetWindowTextA)),
          dialogBox(NIGHTCAP_IMPORT(DialogBoxParamA)),
          notifyIcon(NIGHTCAP_IMPORT(Shell_NotifyIconA)),
          createWindow(NIGHTCAP_IMPORT(CreateWindowExA)),
          destroyWindow(NIGHTCAP_IMPORT(DestroyWindow)),
          allocate(NIGHTCAP_IMPORT(malloc)),
          release(NIGHTCAP_IMPORT(free)) {}

    decltype(&SendMessageA) send;
    decltype(&PostMessageA) post;
    decltype(&SetTimer) setTimer;
    decltype(&KillTimer) killTimer;
    decltype(&CreateFileA) createFile;
    decltype(&ReadFile) readFile;
    decltype(&WriteFile) writeFile;
    decltype(&FlushFileBuffers) flush;
    decltype(&CloseHandle) closeHandle;
    decltype(&GetFileAttributesA) attributes;
    decltype(&MoveFileExA) move;
    decltype(&GetDlgItem) item;
    decltype(&EnableWindow) enable;
    decltype(&SetWindowTextA) setText;
    decltype(&DialogBoxParamA) dialogBox;
    decltype(&Shell_NotifyIconA) notifyIcon;
    decltype(&CreateWindowExA) createWindow;
    decltype(&DestroyWindow) destroyWindow;
    decltype(&malloc) allocate;
    decltype(&free) release;

    bool complete() const {
        return send && post && setTimer && killTimer && createFile && readFile && writeFile && flush &&
               closeHandle && attributes && move && item && enable && setText && dialogBox && notifyIcon &&
               createWindow && destroyWindow && allocate && release;
    }

    // The settings file's 20 bytes, opened, read and closed.
    double read(const std::string& path) const {
        Stopwatch clock;
        HANDLE file = createFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 NULL);
        unsigned char record[SettingsFileSize];
        DWORD got = 0;
        readFile(file, record, sizeof record, &got, NULL);
        closeHandle(file);
        return clock.elapsedMs();
    }

    // 20 bytes to a sibling, flushed, closed and moved over the file.
    double save(const std::string& path) const {
        std::string temporary = path + ".tmp";
        unsigned char record[SettingsFileSize] = {1};
        Stopwatch clock;
        attributes(path.c_str());
        HANDLE file = createFile(temporary.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        DWORD written = 0;
        writeFile(file, record, sizeof record, &written, NULL);
        flush(file);
        closeHandle(file);
        move(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        return clock.elapsedMs();
    }

    // A notification icon of a hidden window of its own (made untimed), then
    // its removal: the icon's delete and the window's, timed.
    double removeIcon() const {
        HWND window = createWindow(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
        NOTIFYICONDATAA data = {};
        data.cbSize = NOTIFYICONDATAA_V2_SIZE;
        data.hWnd = window;
        data.uID = 1;
        data.uFlags = NIF_TIP;
        notifyIcon(NIM_ADD, &data);
        Stopwatch clock;
        notifyIcon(NIM_DELETE, &data);
        destroyWindow(window);
        return clock.elapsedMs();
    }

    // The form's controls greyed and the button renamed, then (untimed)
    // given back.
    double greyForm(HWND dialog) const {
        Stopwatch clock;
        for (int id : FormControls) {
            enable(item(dialog, id), FALSE);
        }
        setText(item(dialog, IDC_START_STOP), "stop");
        double ms = clock.elapsedMs();
        for (int id : FormControls) {
            EnableWindow(GetDlgItem(dialog, id), TRUE);
        }
        return ms;
    }
};

// The ids of a dialog's greyed controls, in ascending order: while a
// countdown runs, the plug-in's dialog must grey exactly FormControls, or
// the floor above times other work than the dialog's.
inline BOOL CALLBACK addIfGreyed(HWND control, LPARAM ids) {
    if (!IsWindowEnabled(control)) {
        reinterpret_cast<std::vector<int>*>(ids)->push_back(GetDlgCtrlID(control));
    }
    return TRUE;
}
inline std::vector<int> greyedControls(HWND dialog) {
    std::vector<int> ids;
    EnumChildWindows(dialog, addIfGreyed, reinterpret_cast<LPARAM>(&ids));
    std::sort(ids.begin(), ids.end());
    return ids;
}

// A dialog of the module's template that does nothing of its own.
inline INT_PTR CALLBACK bareDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

// The player window is told (WM_ENTERIDLE) whenever a dialog it owns has
// handled everything and waits: while run() shows a dialog, the next step
// runs there, one per wait, and a null message wakes the dialog's loop for
// the wait after it. A dialog that outlives its steps is ended.
class IdleSteps {
public:
    typedef std::function<void(HWND)> Step;

    explicit IdleSteps(HWND player) : player(player) {
        current = this;
        original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(player, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(windowProc)));
    }
    ~IdleSteps() {
        SetWindowLongPtrA(player, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        current = nullptr;
    }
    IdleSteps(const IdleSteps&) = delete;
    IdleSteps& operator=(const IdleSteps&) = delete;

    void run(const std::vector<Step>& next, const std::function<void()>& open) {
        steps = next;
        at = 0;
        running = true;
        open();
        running = false;
    }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX && current->running) {
            HWND dialog = reinterpret_cast<HWND>(lParam);
            if (current->at < current->steps.size()) {
                current->steps[current->at++](dialog);
            } else {
                printf("Hold: a dialog outlived its steps and was ended\n");
                EndDialog(dialog, 0);
            }
            PostMessageA(dialog, WM_NULL, 0, 0);
            return 0;
        }
        return CallWindowProcA(current->original, window, message, wParam, lParam);
    }

    static inline IdleSteps* current = nullptr;
    HWND player;
    WNDPROC original;
    std::vector<Step> steps;
    size_t at = 0;
    bool running = false;
};

inline void pressEscape(HWND dialog) {
    HWND focus = GetFocus();
    HWND target = focus != NULL && IsChild(dialog, focus) ? focus : dialog;
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0000001);
}

inline double click(HWND dialog, int id) {
    Stopwatch clock;
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
    return clock.elapsedMs();
}
