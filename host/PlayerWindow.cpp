#include "host/PlayerWindow.h"

namespace {
const char WindowClass[] = "NightcapSimulatedPlayer";
}

PlayerWindow::PlayerWindow(PlayerModel& model) : model(model), window(NULL) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = WindowClass;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    window = CreateWindowExA(0, WindowClass, "Simulated player", WS_OVERLAPPEDWINDOW, 0, 0, 320, 200, NULL, NULL,
                             GetModuleHandleA(NULL), this);
}

PlayerWindow::~PlayerWindow() {
    if (window != NULL) {
        DestroyWindow(window);
    }
}

LRESULT CALLBACK PlayerWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        CREATESTRUCTA* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    PlayerWindow* self = reinterpret_cast<PlayerWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    LRESULT result = 0;
    if (self != nullptr && self->model.handle(message, wParam, lParam, result)) {
        return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
