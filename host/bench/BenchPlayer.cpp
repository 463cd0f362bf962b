#include "host/bench/BenchPlayer.h"

#include <commctrl.h>
#include <commdlg.h>
#include <stdio.h>

#include "host/ScreenCapture.h"
#include "plugin/PlayerMessages.h"

namespace {

const char WindowClass[] = "NightcapBenchPlayer";
const char WindowTitle[] = "Nightcap bench player";

const UINT_PTR HeartbeatTimer = 1;
const UINT HeartbeatMs = 10;
// The player's clock in simulated mode: one plug-in tick of play per step.
const int SimulatedStepMs = 500;

enum ControlId {
    IdTitle = 100,
    IdState,
    IdPosition,
    IdPrevious = 110,
    IdPlay,
    IdPause,
    IdStop,
    IdNext,
    IdBack,
    IdForward,
    IdNearEnd,
    IdRepeat,
    IdVolumeLabel,
    IdVolume,
    IdVolumeValue,
    IdPlugin = 130,
    IdBanner,
    IdPlaylistLabel = 140,
    IdPlaylist,
    IdLogLabel,
    IdLog,
    // Menu commands; none may be the player's stop command (40047).
    IdOpenPlaylist = 200,
    IdExit,
    IdNightcap = 210,
};

const int SkipSeconds = 10;
const int NearEndSeconds = 5;
const size_t LogListLimit = 5000;

std::wstring wide(const std::string& utf8) {
    int chars = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, NULL, 0);
    if (chars <= 0) {
        return std::wstring();
    }
    std::wstring out(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], chars);
    out.resize(static_cast<size_t>(chars - 1));
    return out;
}

std::string fileNameOf(const std::string& path) {
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

long long counterNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

struct DialogSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK findOwnedDialog(HWND window, LPARAM data) {
    DialogSearch* search = reinterpret_cast<DialogSearch*>(data);
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") == 0 && GetWindow(window, GW_OWNER) == search->owner &&
        IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

BenchPlayer::BenchPlayer(const BenchOptions& chosen) : options(chosen) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    counterFrequency = frequency.QuadPart;
    startCounter = counterNow();
    lastSyncCounter = startCounter;

    host.trace.onEvent = [this](const TraceEvent& event) { onTraceEvent(event); };
    host.beforeTick = [this]() {
        if (!options.simulated) {
            syncClock();
        }
        log.setClock(clock);
        log.tickBegins(host.ticksDelivered - facts.tickAtArming);
    };
    host.afterTick = [this]() {
        log.tickEnds();
        if (!countdownArmed()) {
            facts.tickAtFinish = host.ticksDelivered - facts.tickAtArming;
        }
    };
    host.onMessageBox = [this](const TraceEvent& event) {
        if (options.showMessageBoxes) {
            host.messageBoxAnswer = MessageBoxW(event.window, wide(event.text).c_str(), wide(event.caption).c_str(),
                                                event.message);
        } else {
            host.messageBoxAnswer = IDOK;
        }
    };
    log.onLine = [this](const std::string& line) {
        if (options.echo) {
            printf("%s\n", line.c_str());
            fflush(stdout);
        }
        HWND list = mainWindow != NULL ? control(IdLog) : NULL;
        if (list != NULL) {
            if (static_cast<size_t>(SendMessageA(list, LB_GETCOUNT, 0, 0)) >= LogListLimit) {
                SendMessageA(list, LB_DELETESTRING, 0, 0);
            }
            addLogLine(list, line);
        }
    };
}

BenchPlayer::~BenchPlayer() {
    if (host.initialised()) {
        host.quit();
    }
    if (mainWindow != NULL) {
        loopEnded = true;
        DestroyWindow(mainWindow);
    }
    host.unload();
    if (titleFont != NULL) {
        DeleteObject(titleFont);
    }
    if (bannerFont != NULL) {
        DeleteObject(bannerFont);
    }
}

long long BenchPlayer::realMs() const {
    return (counterNow() - startCounter) * 1000 / counterFrequency;
}

bool BenchPlayer::start(std::string& error) {
    if (!options.simulated && (options.speed <= 0 || options.speed > MaxSpeed)) {
        error = "the speed must lie above 0 and at most 50";
        return false;
    }
    if (!options.playlistPath.empty() && !PlayerModel::readM3u(options.playlistPath, model.playlist)) {
        error = "cannot read a playlist from " + options.playlistPath;
        return false;
    }

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
    int width = 960;
    int height = 680;
    mainWindow = CreateWindowExA(0, WindowClass, WindowTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, work.left,
                                 work.top, width, height, NULL, menu, GetModuleHandleA(NULL), this);
    if (mainWindow == NULL) {
        error = "cannot create the player window (is there a display?)";
        return false;
    }
    createControls();
    RECT client;
    GetClientRect(mainWindow, &client);
    layout(client.right, client.bottom);
    // The plug-in's dialog appears in the middle of the screen: place the
    // window so that it covers the log there, and the player's state and
    // controls stay in sight while it is open.
    RECT logArea;
    GetWindowRect(control(IdLog), &logArea);
    int x = (work.left + work.right) / 2 - ((logArea.left + logArea.right) / 2 - work.left);
    int y = (work.top + work.bottom) / 2 - ((logArea.top + logArea.bottom) / 2 - work.top);
    x = x + width > work.right ? work.right - width : x;
    y = y + height > work.bottom ? work.bottom - height : y;
    SetWindowPos(mainWindow, NULL, x < work.left ? work.left : x, y < work.top ? work.top : y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    pluginFile = options.pluginPath.empty() ? PluginHost::besideProgram("gen_Nightcap.dll") : options.pluginPath;
    host.realTimers = !options.simulated;
    host.realSleep = !options.simulated;
    host.speed = options.simulated ? 1.0 : options.speed;
    if (!host.load(pluginFile)) {
        char reason[64];
        snprintf(reason, sizeof reason, "error %lu", GetLastError());
        error = "cannot load the plug-in " + pluginFile + " (" +
                (host.module() != NULL ? "no winampGetGeneralPurposePlugin export" : reason) + ")";
        return false;
    }
    if (!options.homeFolder.empty()) {
        CreateDirectoryA(options.homeFolder.c_str(), NULL);
        host.fakeModuleName = true;
        host.moduleName = options.homeFolder + "\\" + fileNameOf(pluginFile);
    }
    PluginDescriptor* descriptor = host.descriptor();
    pluginDescription = descriptor->description != nullptr ? descriptor->description : "(no description)";
    log.note("loaded " + pluginDescription + " from " + pluginFile);
    host.attach(mainWindow);
    facts.initResult = host.init();
    facts.pluginReady = facts.initResult == 0;
    log.note(facts.pluginReady ? std::string("pluginInit: ready") : std::string("pluginInit failed (returned 1)"));

    refresh();
    SetTimer(mainWindow, HeartbeatTimer, HeartbeatMs, NULL);
    if (options.show) {
        ShowWindow(mainWindow, SW_SHOW);
        UpdateWindow(mainWindow);
    }
    return true;
}

void BenchPlayer::run() {
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    loopEnded = true;
    if (!closing) {
        facts.quitByPlugin = true;
        log.setClock(clock);
        log.note("the plug-in asked the player to quit: the player closes");
    }
    if (host.initialised()) {
        log.note("pluginQuit");
        host.quit();
        facts.pluginQuitCalled = true;
    }
    if (mainWindow != NULL) {
        DestroyWindow(mainWindow);
    }
    host.unload();
}

HWND BenchPlayer::pluginDialog() const {
    DialogSearch search = {mainWindow, NULL};
    if (mainWindow != NULL) {
        EnumThreadWindows(GetCurrentThreadId(), findOwnedDialog, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

// --- transport --------------------------------------------------------------

void BenchPlayer::openPluginConfig() {
    PostMessageA(mainWindow, WM_COMMAND, IdNightcap, 0);
}

void BenchPlayer::play() {
    syncClock();
    log.note("you: play");
    model.play();
    afterPlayerChange();
}

void BenchPlayer::pause() {
    syncClock();
    log.note("you: pause");
    model.pause();
    afterPlayerChange();
}

void BenchPlayer::stop() {
    syncClock();
    log.note("you: stop");
    model.stop();
    afterPlayerChange();
}

void BenchPlayer::next() {
    syncClock();
    log.note("you: next track");
    model.next();
    afterPlayerChange();
}

void BenchPlayer::previous() {
    syncClock();
    log.note("you: previous track");
    model.previous();
    afterPlayerChange();
}

void BenchPlayer::playTrack(size_t index) {
    if (index >= model.playlist.size()) {
        return;
    }
    syncClock();
    log.note("you: play track " + std::to_string(index + 1));
    model.trackIndex = index;
    model.positionMs = 0;
    model.state = PlayerModel::Stopped;
    model.play();
    afterPlayerChange();
}

void BenchPlayer::seek(int ms) {
    syncClock();
    model.seek(ms);
    log.note("you: go to " + BenchLog::formatTime(model.positionMs));
    afterPlayerChange();
}

void BenchPlayer::jumpBeforeEnd(int seconds) {
    syncClock();
    model.seek(model.currentLengthMs() - seconds * 1000);
    log.note("you: go to " + std::to_string(seconds) + " s before the end (" + BenchLog::formatTime(model.positionMs) +
             ")");
    afterPlayerChange();
}

void BenchPlayer::setRepeat(bool on) {
    model.setRepeat(on);
    log.note(std::string("you: repeat ") + (on ? "on" : "off"));
    refresh();
}

void BenchPlayer::setVolume(int volume) {
    model.volume = volume < 0 ? 0 : (volume > 255 ? 255 : volume);
    log.note("you: volume " + std::to_string(model.volume));
    refresh();
}

void BenchPlayer::close() {
    PostMessageA(mainWindow, WM_CLOSE, 0, 0);
}

// --- clock ------------------------------------------------------------------

void BenchPlayer::syncClock() {
    long long now = counterNow();
    long long elapsed = now - lastSyncCounter;
    lastSyncCounter = now;
    if (options.simulated) {
        return;
    }
    double warped = static_cast<double>(elapsed) * 1000.0 / static_cast<double>(counterFrequency) * options.speed +
                    clockRemainder;
    long long whole = static_cast<long long>(warped);
    clockRemainder = warped - static_cast<double>(whole);
    // The position is a 32-bit count: advance in bounded steps.
    while (whole > 0) {
        int step = whole > 60000 ? 60000 : static_cast<int>(whole);
        clock += step;
        model.advance(step);
        whole -= step;
    }
    log.setClock(clock);
    afterPlayerChange();
}

void BenchPlayer::heartbeat() {
    // A message box shown from inside a beat runs a loop that delivers the
    // next beat: that one waits.
    if (inHeartbeat) {
        return;
    }
    inHeartbeat = true;
    if (options.simulated) {
        for (int i = 0; i < options.ticksPerHeartbeat; ++i) {
            clock += SimulatedStepMs;
            model.advance(SimulatedStepMs);
            log.setClock(clock);
            afterPlayerChange();
            if (countdownArmed()) {
                host.tick();
            }
        }
    } else {
        syncClock();
    }
    refresh();
    if (onHeartbeat) {
        onHeartbeat();
    }
    inHeartbeat = false;
}

void BenchPlayer::afterPlayerChange() {
    if (model.trackIndex != shownTrack && model.state == PlayerModel::Playing) {
        const Track* track = model.currentTrack();
        if (track != nullptr) {
            log.note("now playing " + std::to_string(model.trackIndex + 1) + "/" +
                     std::to_string(model.playlist.size()) + " " + track->title + " (" +
                     BenchLog::formatLength(track->lengthSeconds) + ")");
        }
        if (shownTrack != static_cast<size_t>(-1) && countdownArmed()) {
            ++facts.trackChangesWhileArmed;
        }
        shownTrack = model.trackIndex;
    }
    if (model.state != shownState) {
        if (model.state == PlayerModel::Stopped) {
            log.note("player stopped");
        } else if (model.state == PlayerModel::Paused) {
            log.note("player paused");
        }
        shownState = model.state;
    }
}

// --- what the plug-in did ---------------------------------------------------

void BenchPlayer::onTraceEvent(const TraceEvent& event) {
    if (event.isResource()) {
        return;
    }
    log.setClock(clock);
    if (event.kind == TraceEvent::Send) {
        log.sent(event.message, event.wParam, event.lParam, event.result);
        if (event.message == WM_COMMAND) {
            ++facts.stopCommands;
            if (facts.firstStopAtRealMs < 0 && facts.armedAtRealMs >= 0) {
                facts.firstStopAtRealMs = realMs();
            }
        }
        return;
    }
    log.event(event);
    switch (event.kind) {
    case TraceEvent::SetTimer:
        ++facts.armed;
        facts.armedAtRealMs = realMs();
        facts.firstStopAtRealMs = -1;
        facts.tickAtArming = host.ticksDelivered;
        facts.tickAtFinish = 0;
        facts.trackChangesWhileArmed = 0;
        powerOffSteps.clear();
        break;
    case TraceEvent::KillTimer:
        ++facts.disarmed;
        break;
    case TraceEvent::OpenToken:
        powerOffSteps.push_back("opened its process token");
        break;
    case TraceEvent::AdjustPrivileges:
        powerOffSteps.push_back("enabled the shutdown privilege");
        break;
    case TraceEvent::MessageBox:
        if (!powerOffSteps.empty()) {
            powerOffSteps.push_back("showed the \"" + event.caption + "\" box");
        }
        break;
    case TraceEvent::ExitWindows:
        powerOffSteps.push_back("called ExitWindowsEx (power off, force)");
        facts.powerOffAsked = true;
        showPowerOffBanner();
        break;
    default:
        break;
    }
}

void BenchPlayer::showPowerOffBanner() {
    std::string text = "The plug-in asked to power off the computer: it ";
    for (size_t i = 0; i < powerOffSteps.size(); ++i) {
        text += (i == 0 ? "" : (i + 1 == powerOffSteps.size() ? " and " : ", ")) + powerOffSteps[i];
    }
    text += ". Intercepted: nothing was switched off.";
    facts.powerOffNotice = text;
    log.note("the plug-in asked to power off the computer (intercepted)");
    if (mainWindow == NULL) {
        return;
    }
    SetWindowTextA(control(IdBanner), text.c_str());
    ShowWindow(control(IdBanner), SW_SHOW);
    RECT client;
    GetClientRect(mainWindow, &client);
    layout(client.right, client.bottom);
    InvalidateRect(mainWindow, NULL, TRUE);
}

// --- the window -------------------------------------------------------------

LRESULT CALLBACK BenchPlayer::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        CREATESTRUCTA* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    BenchPlayer* self = reinterpret_cast<BenchPlayer*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr || self->mainWindow == NULL) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT BenchPlayer::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    // The player's part: every message the plug-in sends is answered by the
    // model, at the position the clock has reached at that moment.
    if (message == PlayerMessage || (message == WM_COMMAND && LOWORD(wParam) == StopCommand)) {
        syncClock();
        LRESULT result = 0;
        if (model.handle(message, wParam, lParam, result)) {
            afterPlayerChange();
            return result;
        }
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
            heartbeat();
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
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == control(IdBanner)) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(176, 0, 0));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        break;
    case WM_CLOSE:
        closing = true;
        DestroyWindow(mainWindow);
        return 0;
    case WM_DESTROY:
        KillTimer(mainWindow, HeartbeatTimer);
        closing = closing || !loopEnded;
        if (!loopEnded) {
            PostQuitMessage(0);
        }
        return 0;
    case WM_NCDESTROY: {
        HWND was = mainWindow;
        mainWindow = NULL;
        return DefWindowProcA(was, message, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcA(mainWindow, message, wParam, lParam);
}

void BenchPlayer::createControls() {
    HINSTANCE instance = GetModuleHandleA(NULL);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    titleFont = CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    bannerFont = CreateFontA(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    struct Spec {
        int id;
        const char* className;
        const char* text;
        DWORD style;
    };
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const Spec specs[] = {
        {IdTitle, "STATIC", "", child | SS_LEFTNOWORDWRAP | SS_NOPREFIX},
        {IdState, "STATIC", "", child | SS_LEFTNOWORDWRAP | SS_NOPREFIX},
        {IdPosition, TRACKBAR_CLASSA, "", child | WS_TABSTOP | TBS_HORZ | TBS_NOTICKS},
        {IdPrevious, "BUTTON", "|<", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdPlay, "BUTTON", "Play", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdPause, "BUTTON", "Pause", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdStop, "BUTTON", "Stop", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdNext, "BUTTON", ">|", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdBack, "BUTTON", "-10 s", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdForward, "BUTTON", "+10 s", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdNearEnd, "BUTTON", "5 s before end", child | WS_TABSTOP | BS_PUSHBUTTON},
        {IdRepeat, "BUTTON", "Repeat", child | WS_TABSTOP | BS_AUTOCHECKBOX},
        {IdVolumeLabel, "STATIC", "Volume", child | SS_RIGHT},
        {IdVolume, TRACKBAR_CLASSA, "", child | WS_TABSTOP | TBS_HORZ | TBS_NOTICKS},
        {IdVolumeValue, "STATIC", "", child | SS_LEFT},
        {IdPlugin, "STATIC", "", child | SS_LEFTNOWORDWRAP | SS_NOPREFIX},
        {IdBanner, "STATIC", "", WS_CHILD | SS_LEFT | SS_NOPREFIX},
        {IdPlaylistLabel, "STATIC", "Playlist (double-click to play)", child | SS_LEFT},
        {IdPlaylist, "LISTBOX", "", child | WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT},
        {IdLogLabel, "STATIC", "What the plug-in said to the player", child | SS_LEFT},
        {IdLog, "LISTBOX", "",
         child | WS_TABSTOP | WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT},
    };
    for (const Spec& spec : specs) {
        HWND made = CreateWindowExA(0, spec.className, spec.text, spec.style, 0, 0, 10, 10, mainWindow,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance, NULL);
        SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    SendMessageA(control(IdTitle), WM_SETFONT, reinterpret_cast<WPARAM>(titleFont), FALSE);
    SendMessageA(control(IdBanner), WM_SETFONT, reinterpret_cast<WPARAM>(bannerFont), FALSE);
    SendMessageA(control(IdVolume), TBM_SETRANGE, FALSE, MAKELPARAM(0, 255));
    SendMessageA(control(IdVolume), TBM_SETPAGESIZE, 0, 16);
    for (size_t i = 0; i < model.playlist.size(); ++i) {
        const Track& track = model.playlist[i];
        std::string item = std::to_string(i + 1) + ". " + track.title + "   " + BenchLog::formatLength(track.lengthSeconds);
        SendMessageW(control(IdPlaylist), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
    }
    for (const std::string& line : log.lines) {
        addLogLine(control(IdLog), line);
    }
}

// Scrolled to the newest line, and sideways as far as the longest needs.
void BenchPlayer::addLogLine(HWND list, const std::string& line) {
    std::wstring text = wide(line);
    LRESULT at = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(at), 0);
    HDC dc = GetDC(list);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    if (size.cx + 8 > logExtent) {
        logExtent = size.cx + 8;
        SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(logExtent), 0);
    }
}

void BenchPlayer::layout(int width, int height) {
    if (mainWindow == NULL || control(IdLog) == NULL) {
        return;
    }
    const int margin = 10;
    int inner = width - 2 * margin;
    auto place = [this](int id, int x, int y, int w, int h) { MoveWindow(control(id), x, y, w, h, TRUE); };
    place(IdTitle, margin, 8, inner, 26);
    place(IdState, margin, 38, inner, 18);
    place(IdPosition, margin - 4, 58, inner + 8, 26);

    int y = 90;
    int x = margin;
    const int buttonHeight = 26;
    const struct {
        int id;
        int width;
    } buttons[] = {{IdPrevious, 36}, {IdPlay, 56}, {IdPause, 56}, {IdStop, 56}, {IdNext, 36},
                   {IdBack, 52},     {IdForward, 52}, {IdNearEnd, 104}};
    for (const auto& button : buttons) {
        place(button.id, x, y, button.width, buttonHeight);
        x += button.width + 4;
    }
    place(IdRepeat, x + 8, y + 3, 70, 20);
    int volumeValueX = width - margin - 30;
    int volumeX = x + 8 + 70 + 56;
    place(IdVolumeLabel, x + 8 + 70, y + 5, 50, 18);
    place(IdVolume, volumeX, y, volumeValueX - volumeX - 4, buttonHeight);
    place(IdVolumeValue, volumeValueX, y + 5, 30, 18);

    y += buttonHeight + 10;
    place(IdPlugin, margin, y, inner, 18);
    y += 22;
    if (IsWindowVisible(control(IdBanner))) {
        // As tall as its wrapped text.
        char text[512] = "";
        GetWindowTextA(control(IdBanner), text, sizeof text);
        HDC dc = GetDC(control(IdBanner));
        HGDIOBJ old = SelectObject(dc, bannerFont);
        RECT needed = {0, 0, inner, 0};
        DrawTextA(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(control(IdBanner), dc);
        place(IdBanner, margin, y, inner, needed.bottom + 2);
        y += needed.bottom + 8;
    }
    int playlistWidth = 220;
    place(IdPlaylistLabel, margin, y, playlistWidth, 18);
    place(IdLogLabel, margin + playlistWidth + 10, y, inner - playlistWidth - 10, 18);
    y += 20;
    int listHeight = height - y - margin;
    place(IdPlaylist, margin, y, playlistWidth, listHeight);
    place(IdLog, margin + playlistWidth + 10, y, inner - playlistWidth - 10, listHeight);
}

void BenchPlayer::onCommand(int id, int code) {
    switch (id) {
    case IdNightcap:
        if (!facts.pluginReady) {
            log.note("the plug-in is not ready: no dialog");
            return;
        }
        log.note("you: Plug-ins > Nightcap... (pluginConfig)");
        host.config();
        log.setClock(clock);
        log.note("pluginConfig returned");
        return;
    case IdOpenPlaylist: {
        char path[MAX_PATH] = "";
        OPENFILENAMEA open = {};
        open.lStructSize = sizeof open;
        open.hwndOwner = mainWindow;
        open.lpstrFilter = "Playlists (*.m3u)\0*.m3u;*.m3u8\0All files\0*.*\0";
        open.lpstrFile = path;
        open.nMaxFile = MAX_PATH;
        open.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
        std::vector<Track> tracks;
        if (GetOpenFileNameA(&open) && PlayerModel::readM3u(path, tracks)) {
            model.stop();
            model.playlist = tracks;
            model.trackIndex = 0;
            shownTrack = static_cast<size_t>(-1);
            SendMessageA(control(IdPlaylist), LB_RESETCONTENT, 0, 0);
            for (size_t i = 0; i < tracks.size(); ++i) {
                std::string item =
                    std::to_string(i + 1) + ". " + tracks[i].title + "   " + BenchLog::formatLength(tracks[i].lengthSeconds);
                SendMessageW(control(IdPlaylist), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
            }
            log.note(std::string("you: opened the playlist ") + path);
            afterPlayerChange();
        }
        return;
    }
    case IdExit:
        close();
        return;
    case IdPrevious:
        previous();
        return;
    case IdPlay:
        play();
        return;
    case IdPause:
        pause();
        return;
    case IdStop:
        stop();
        return;
    case IdNext:
        next();
        return;
    case IdBack:
        seek(model.positionMs - SkipSeconds * 1000);
        return;
    case IdForward:
        seek(model.positionMs + SkipSeconds * 1000);
        return;
    case IdNearEnd:
        jumpBeforeEnd(NearEndSeconds);
        return;
    case IdRepeat:
        setRepeat(SendMessageA(control(IdRepeat), BM_GETCHECK, 0, 0) == BST_CHECKED);
        return;
    case IdPlaylist:
        if (code == LBN_DBLCLK) {
            LRESULT chosen = SendMessageA(control(IdPlaylist), LB_GETCURSEL, 0, 0);
            if (chosen != LB_ERR) {
                playTrack(static_cast<size_t>(chosen));
            }
        }
        return;
    default:
        return;
    }
}

void BenchPlayer::onScroll(HWND slider, int code) {
    int value = static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0));
    if (slider == control(IdPosition)) {
        // The position is taken when the user lets go.
        if (code == TB_THUMBTRACK) {
            seeking = true;
        } else if (code == TB_ENDTRACK) {
            seeking = false;
            seek(value * 1000);
        }
    } else if (slider == control(IdVolume)) {
        model.volume = value;
        if (code == TB_ENDTRACK) {
            log.note("you: volume " + std::to_string(value));
        }
        refresh();
    }
}

void BenchPlayer::setText(int id, const std::string& text) {
    HWND item = control(id);
    wchar_t shown[512];
    GetWindowTextW(item, shown, 512);
    std::wstring wanted = wide(text);
    if (wanted != shown) {
        SetWindowTextW(item, wanted.c_str());
    }
}

std::string BenchPlayer::stateLine() const {
    const char* state = model.state == PlayerModel::Playing ? "Playing" : (model.state == PlayerModel::Paused ? "Paused" : "Stopped");
    std::string clockText;
    if (options.simulated) {
        clockText = "simulated clock";
    } else {
        char speed[32];
        snprintf(speed, sizeof speed, "speed x%g", options.speed);
        clockText = speed;
    }
    return BenchLog::formatTime(model.positionMs) + " / " +
           BenchLog::formatLength(model.currentTrack() != nullptr ? model.currentTrack()->lengthSeconds : 0) +
           "      " + state + "      Repeat " + (model.repeat ? "on" : "off") + "      Volume " +
           std::to_string(model.volume) + "      " + clockText;
}

std::string BenchPlayer::pluginLine() const {
    if (!facts.pluginReady) {
        return "Nightcap: not ready";
    }
    std::string line = pluginDescription + " (" + fileNameOf(pluginFile) + "): ";
    if (host.liveTimers() > 0) {
        char text[128];
        if (options.simulated) {
            snprintf(text, sizeof text, "countdown running, tick %d (every 500 ms of play)",
                     host.ticksDelivered - facts.tickAtArming);
        } else {
            snprintf(text, sizeof text, "countdown running, tick %d (every 500 ms; %g ms real)",
                     host.ticksDelivered - facts.tickAtArming, 500 / options.speed);
        }
        line += text;
    } else if (facts.armed > 0) {
        line += "countdown over after " + std::to_string(facts.tickAtFinish) + " ticks";
    } else {
        line += "ready, no countdown (Plug-ins > Nightcap... to start one)";
    }
    return line;
}

void BenchPlayer::refresh() {
    if (mainWindow == NULL) {
        return;
    }
    const Track* track = model.currentTrack();
    setText(IdTitle, track != nullptr ? std::to_string(model.trackIndex + 1) + "/" +
                                            std::to_string(model.playlist.size()) + "   " + track->title
                                      : std::string("(empty playlist)"));
    setText(IdState, stateLine());
    setText(IdPlugin, pluginLine());
    setText(IdVolumeValue, std::to_string(model.volume));
    HWND position = control(IdPosition);
    int lengthSeconds = track != nullptr ? track->lengthSeconds : 0;
    if (SendMessageA(position, TBM_GETRANGEMAX, 0, 0) != lengthSeconds) {
        SendMessageA(position, TBM_SETRANGE, TRUE, MAKELPARAM(0, lengthSeconds));
    }
    if (!seeking && SendMessageA(position, TBM_GETPOS, 0, 0) != model.positionMs / 1000) {
        SendMessageA(position, TBM_SETPOS, TRUE, model.positionMs / 1000);
    }
    if (SendMessageA(control(IdVolume), TBM_GETPOS, 0, 0) != model.volume) {
        SendMessageA(control(IdVolume), TBM_SETPOS, TRUE, model.volume);
    }
    WPARAM check = model.repeat ? BST_CHECKED : BST_UNCHECKED;
    if (static_cast<WPARAM>(SendMessageA(control(IdRepeat), BM_GETCHECK, 0, 0)) != check) {
        SendMessageA(control(IdRepeat), BM_SETCHECK, check, 0);
    }
    if (SendMessageA(control(IdPlaylist), LB_GETCURSEL, 0, 0) != static_cast<LRESULT>(model.trackIndex)) {
        SendMessageA(control(IdPlaylist), LB_SETCURSEL, model.trackIndex, 0);
    }
}

void BenchPlayer::repaint() {
    UINT how = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME;
    if (mainWindow != NULL) {
        RedrawWindow(mainWindow, NULL, NULL, how);
    }
    HWND dialog = pluginDialog();
    if (dialog != NULL) {
        RedrawWindow(dialog, NULL, NULL, how);
    }
}

bool BenchPlayer::saveScreenshot(const std::string& bmpPath) {
    if (mainWindow == NULL) {
        return false;
    }
    RECT area;
    GetWindowRect(mainWindow, &area);
    HWND dialog = pluginDialog();
    if (dialog != NULL) {
        RECT dialogArea;
        GetWindowRect(dialog, &dialogArea);
        UnionRect(&area, &area, &dialogArea);
    }
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&area, &area, &screen);
    return saveScreenArea(area, bmpPath);
}
