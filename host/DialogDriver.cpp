#include "host/DialogDriver.h"

#include <stdio.h>

#include "host/PluginHost.h"

DialogDriver* DialogDriver::current = nullptr;

std::function<void(const std::string&)> DialogDriver::reportFailure = [](const std::string& why) {
    fprintf(stderr, "dialog driver: %s\n", why.c_str());
};

namespace {

// As fast as the system's timers go: each step costs one firing.
const UINT FiringIntervalMs = USER_TIMER_MINIMUM;
const DWORD ShowWaitMs = 10000;

struct DialogSearch {
    HWND owner;
    HWND first;
    int count;
};

BOOL CALLBACK findDialog(HWND window, LPARAM lParam) {
    DialogSearch& search = *reinterpret_cast<DialogSearch*>(lParam);
    char className[16];
    if (GetClassNameA(window, className, sizeof className) > 0 && lstrcmpA(className, "#32770") == 0 &&
        GetWindow(window, GW_OWNER) == search.owner) {
        if (search.first == NULL) {
            search.first = window;
        }
        ++search.count;
    }
    return TRUE;
}

std::string windowText(HWND window) {
    if (window == NULL) {
        return std::string();
    }
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int got = GetWindowTextA(window, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

LPARAM keyData(UINT virtualKey, bool alt, bool release) {
    UINT scanCode = MapVirtualKeyA(virtualKey, 0 /* MAPVK_VK_TO_VSC */);
    unsigned int data = 1 | (scanCode & 0xff) << 16;
    if (alt) {
        data |= 1u << 29;
    }
    if (release) {
        data |= 3u << 30;
    }
    return static_cast<LPARAM>(data);
}

}  // namespace

HWND findOwnedDialog(HWND owner) {
    DialogSearch search = {owner, NULL, 0};
    EnumThreadWindows(GetCurrentThreadId(), findDialog, reinterpret_cast<LPARAM>(&search));
    return search.first;
}

void pumpWaitingMessages(HWND owner) {
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        HWND dialog = findOwnedDialog(owner);
        if (dialog == NULL || !IsDialogMessageA(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

DialogDriver::DialogDriver(HWND owner, PluginHost* host) : owner(owner), host(host) {}

DialogDriver::~DialogDriver() {
    if (timer != 0) {
        KillTimer(NULL, timer);
    }
    if (current == this) {
        current = nullptr;
    }
}

DialogDriver& DialogDriver::then(Step step) {
    steps.push_back(step);
    return *this;
}

void DialogDriver::run(const std::function<void()>& open) {
    firings = 0;
    waitingSinceMs = 0;
    nextStep = 0;
    ending = false;
    DialogDriver* outer = current;
    current = this;
    timer = SetTimer(NULL, 0, FiringIntervalMs, onTimer);
    if (timer == 0) {
        fail("no timer to drive the dialog");
        current = outer;
        return;
    }
    open();
    KillTimer(NULL, timer);
    timer = 0;
    current = outer;
    if (nextStep != steps.size()) {
        fail("the dialog ended, or never showed, with " + std::to_string(steps.size() - nextStep) + " of " +
             std::to_string(steps.size()) + " steps not run");
    }
    ranSteps = nextStep;
    steps.clear();
    nextStep = 0;
}

void CALLBACK DialogDriver::onTimer(HWND, UINT, UINT_PTR, DWORD) {
    // A step that runs a message loop of its own would fire again inside.
    if (current != nullptr && !current->busy) {
        current->busy = true;
        current->fire();
        current->busy = false;
    }
}

void DialogDriver::fire() {
    HWND open = dialog();
    if (open == NULL) {
        return;
    }
    if (ending) {
        // Ended once already and still there: take it down outright.
        DestroyWindow(open);
        return;
    }
    // Waiting for the dialog to show is bounded by time, not by firings:
    // on a slow (emulated) processor it takes many of them.
    if (!IsWindowVisible(open)) {
        DWORD now = GetTickCount();
        if (waitingSinceMs == 0) {
            waitingSinceMs = now;
        } else if (now - waitingSinceMs > static_cast<DWORD>(ShowWaitMs * PluginHost::timeFactor())) {
            endDialog(open, "the dialog never showed");
        }
        return;
    }
    waitingSinceMs = 0;
    ++firings;
    if (firings > static_cast<int>(steps.size()) + spareFirings) {
        endDialog(open, "the step limit was reached");
        return;
    }
    if (nextStep == steps.size()) {
        endDialog(open, "the dialog is still open after the last step");
        return;
    }
    Step& step = steps[nextStep++];
    step(*this);
}

void DialogDriver::endDialog(HWND open, const char* why) {
    fail(std::string(why) + " (" + std::to_string(nextStep) + " of " + std::to_string(steps.size()) +
         " steps run); the driver closes it");
    ending = true;
    EndDialog(open, 0);
}

void DialogDriver::fail(const std::string& why) const {
    if (reportFailure) {
        reportFailure(why);
    }
}

bool DialogDriver::playNextStep() {
    HWND open = dialog();
    if (nextStep < steps.size() && open != NULL && IsWindowVisible(open)) {
        Step& step = steps[nextStep++];
        step(*this);
    }
    if (nextStep < steps.size()) {
        return true;
    }
    ranSteps = nextStep;
    return false;
}

HWND DialogDriver::dialog() const {
    return findOwnedDialog(owner);
}

int DialogDriver::openDialogs() const {
    DialogSearch search = {owner, NULL, 0};
    EnumThreadWindows(GetCurrentThreadId(), findDialog, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

HWND DialogDriver::item(int id) const {
    HWND control = GetDlgItem(dialog(), id);
    if (control == NULL) {
        fail("no control " + std::to_string(id));
    }
    return control;
}

std::string DialogDriver::text(int id) const {
    return windowText(item(id));
}

std::string DialogDriver::caption() const {
    return windowText(dialog());
}

bool DialogDriver::checked(int id) const {
    return SendMessageA(item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool DialogDriver::enabled(int id) const {
    return IsWindowEnabled(item(id)) != FALSE;
}

int DialogDriver::focusedId() const {
    HWND focus = GetFocus();
    HWND open = dialog();
    if (focus == NULL || open == NULL || !IsChild(open, focus)) {
        return 0;
    }
    return GetDlgCtrlID(focus);
}

void DialogDriver::click(int id) {
    HWND button = item(id);
    // A user cannot click a greyed control, and BM_CLICK on a greyed
    // automatic radio button can hang the system's button code.
    if (button == NULL || !IsWindowEnabled(button)) {
        fail("control " + std::to_string(id) + " is greyed and cannot be clicked");
        return;
    }
    SendMessageA(button, BM_CLICK, 0, 0);
}

void DialogDriver::type(int id, const std::string& chars) {
    HWND field = item(id);
    if (field == NULL || !IsWindowEnabled(field)) {
        fail("field " + std::to_string(id) + " is greyed and cannot be typed into");
        return;
    }
    // Focused as Tab focuses it, which selects the field's text.
    SendMessageA(dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    for (char c : chars) {
        PostMessageA(field, WM_CHAR, static_cast<unsigned char>(c), 1);
    }
}

void DialogDriver::paste(int id, const std::string& text) {
    HWND field = item(id);
    if (field == NULL) {
        return;
    }
    SendMessageA(field, EM_SETSEL, 0, -1);
    SendMessageA(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

void DialogDriver::choose(int id, const std::string& itemText) {
    HWND list = item(id);
    if (list == NULL || !IsWindowEnabled(list)) {
        fail("list " + std::to_string(id) + " is greyed and cannot be chosen from");
        return;
    }
    LRESULT index = SendMessageA(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(itemText.c_str()));
    if (index == CB_ERR) {
        fail("list " + std::to_string(id) + " has no item \"" + itemText + "\"");
        return;
    }
    // The list tells its dialog of a choice the user made, not of one set by
    // a program: the notification is sent as the list sends it.
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void DialogDriver::press(UINT virtualKey, bool alt) {
    HWND target = GetFocus();
    HWND open = dialog();
    if (target == NULL || (target != open && !IsChild(open, target))) {
        target = open;
    }
    UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    UINT up = alt ? WM_SYSKEYUP : WM_KEYUP;
    PostMessageA(target, down, virtualKey, keyData(virtualKey, alt, false));
    PostMessageA(target, up, virtualKey, keyData(virtualKey, alt, true));
}

void DialogDriver::systemCommand(WPARAM command) {
    PostMessageA(dialog(), WM_SYSCOMMAND, command, 0);
}

void DialogDriver::tick(int count) {
    if (host == nullptr) {
        fail("the driver has no host to tick");
        return;
    }
    host->ticks(count);
}
