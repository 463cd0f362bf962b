// The dialog's form: the working values, the controls that show them, and
// starting, stopping and closing from it.

#include "dialog/ConfigDialog.h"

#include "dialog/CountText.h"
#include "dialog/FormCheck.h"
#include "dialog/resource.h"
#include "engine/CountdownEngine.h"
#include "engine/PowerRequests.h"
#include "plugin/PlayerMessages.h"
#include "plugin/RunState.h"
#include "settings/Settings.h"

namespace {

const char StartCaption[] = "start now";
const char StopCaption[] = "stop";

// The controls that a running countdown greys.
const int FormControls[] = {
    IDC_COUNT_SONGS,   IDC_SONGS,    IDC_SONGS_LABEL, IDC_COUNT_MINUTES, IDC_MINUTES,       IDC_MINUTES_LABEL,
    IDC_WAIT_SONG_END, IDC_FADE_OUT, IDC_STOP_NOW,    IDC_FADE_LENGTH,   IDC_STOP_PLAYING,  IDC_PAUSE,
    IDC_QUIT_PLAYER,   IDC_HALT_COMPUTER, IDC_SLEEP,  IDC_HIBERNATE,
};
// The fade's length goes with "Shade out and stop the song": enabled when it is.
const int MinutesGroupControls[] = {IDC_MINUTES, IDC_WAIT_SONG_END, IDC_FADE_OUT, IDC_STOP_NOW, IDC_FADE_LENGTH};

// The fade's lengths as the list shows them, in the order of FadeLengths.
const char* const FadeLengthTexts[FadeLengthCount] = {
    "over 5 seconds", "over 30 seconds", "over 1 minute",   "over 2 minutes",
    "over 5 minutes", "over 10 minutes", "over 20 minutes", "over 30 minutes",
};

// The radio buttons of the two choices that the user picks from a set.
struct ChoiceButton {
    int id;
    int value;
};
const ChoiceButton StopMethodButtons[] = {
    {IDC_WAIT_SONG_END, StopMethod::WaitForSongEnd},
    {IDC_FADE_OUT, StopMethod::ShadeOut},
    {IDC_STOP_NOW, StopMethod::StopNow},
};
const ChoiceButton FinalActionButtons[] = {
    {IDC_STOP_PLAYING, FinalAction::StopPlaying},
    {IDC_PAUSE, FinalAction::Pause},
    {IDC_QUIT_PLAYER, FinalAction::QuitPlayer},
    {IDC_HALT_COMPUTER, FinalAction::HaltComputer},
    {IDC_SLEEP, FinalAction::Sleep},
    {IDC_HIBERNATE, FinalAction::Hibernate},
};

template <size_t Count>
const ChoiceButton* buttonWithId(const ChoiceButton (&buttons)[Count], int id) {
    for (const ChoiceButton& button : buttons) {
        if (button.id == id) {
            return &button;
        }
    }
    return NULL;
}

template <size_t Count>
int buttonFor(const ChoiceButton (&buttons)[Count], int value) {
    for (const ChoiceButton& button : buttons) {
        if (button.value == value) {
            return button.id;
        }
    }
    return 0;
}

void enableControl(HWND hwnd, int id, bool enable) {
    EnableWindow(GetDlgItem(hwnd, id), enable ? TRUE : FALSE);
}

// The system unchecks the other automatic radio buttons of the same set.
void selectButton(HWND hwnd, int id) {
    SendMessageA(GetDlgItem(hwnd, id), BM_SETCHECK, BST_CHECKED, 0);
}

// False when the system refused to show the count. (Only the fault probe
// refuses it on the module's own field; Windows does not.)
bool setCountText(HWND hwnd, int id, int value) {
    char text[CountTextChars];
    formatCount(value, text);
    return SetDlgItemTextA(hwnd, id, text) != FALSE;
}

// (Only the fault probe refuses the text of the module's own field.)
// False, and count untouched, when the system refused to give the text back
// (an empty field gives 0 characters too, but no error).
bool readCountText(HWND hwnd, int id, int& count) {
    char text[CountTextBufferBytes];
    text[0] = '\0';
    SetLastError(ERROR_SUCCESS);
    if (GetDlgItemTextA(hwnd, id, text, CountTextLimit) == 0 && GetLastError() != ERROR_SUCCESS) {
        return false;
    }
    text[CountTextBufferBytes - 1] = '\0';
    count = parseCount(text);
    return true;
}

}  // namespace

ConfigDialog::ConfigDialog(RunState& runState, Settings& settings, CountdownEngine& engine)
    : settings(settings), runState(runState), engine(engine), songs(0), minutes(0), songsShown(false),
      minutesShown(false), countMode(0), stopMethod(0),
      finalAction(0), fadeSeconds(DefaultFadeSeconds), window(NULL), abandoned(false), showsRunning(false),
      abilities(unknownAbilities()) {}

INT_PTR ConfigDialog::onCommand(HWND hwnd, WPARAM wParam) {
    int id = LOWORD(wParam);
    if (const ChoiceButton* button = buttonWithId(StopMethodButtons, id)) {
        chooseStopMethod(hwnd, button->value);
        return TRUE;
    }
    if (const ChoiceButton* button = buttonWithId(FinalActionButtons, id)) {
        chooseFinalAction(hwnd, button->value);
        return TRUE;
    }
    switch (id) {
    case IDOK:
        // Enter outside the start button: nothing to do, and the dialog stays.
        return TRUE;
    case IDCANCEL:
        onClose(hwnd, wParam);
        return TRUE;
    case IDC_COUNT_SONGS:
        onCountSongs(hwnd);
        return TRUE;
    case IDC_COUNT_MINUTES:
        onCountMinutes(hwnd);
        return TRUE;
    case IDC_START_STOP:
        onStartStop(hwnd);
        return TRUE;
    case IDC_FADE_LENGTH:
        if (HIWORD(wParam) == CBN_SELCHANGE) {
            chooseFadeLength(hwnd);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL ConfigDialog::onInit(HWND hwnd) {
    window = hwnd;
    if (abandoned) {
        endAbandoned();
        return TRUE;
    }
    // The record may have been held by another program when the player
    // started: shown as it is stored, not as the defaults that stood in.
    // While a countdown runs, memory holds its remaining counts instead.
    if (!runState.isRunning()) {
        settings.readUnreadRecord();
    }
    countMode = settings.getCountMode();
    stopMethod = settings.getStopMethod();
    finalAction = settings.getFinalAction();
    abilities = powerAbilities();
    setFormEnabled(hwnd, !runState.isRunning());

    if (countMode == CountMode::Minutes) {
        selectButton(hwnd, IDC_COUNT_MINUTES);
    } else {
        selectButton(hwnd, IDC_COUNT_SONGS);
        countMode = CountMode::Songs;
    }

    if (buttonFor(StopMethodButtons, stopMethod) == 0) {
        stopMethod = StopMethod::WaitForSongEnd;
    }
    selectButton(hwnd, buttonFor(StopMethodButtons, stopMethod));

    // Anything unknown falls back to the default final action, not the first.
    if (buttonFor(FinalActionButtons, finalAction) == 0) {
        finalAction = FinalAction::HaltComputer;
    }
    selectButton(hwnd, buttonFor(FinalActionButtons, finalAction));

    fadeSeconds = usableFadeSeconds(settings.getFadeSeconds());
    showFadeLengths(hwnd);

    transferCounts(hwnd, true);
    news.window = hwnd;
    engine.attachDialog(news);
    addAboutMenuItem(hwnd);
    return TRUE;
}

void ConfigDialog::onCountSongs(HWND hwnd) {
    if (countMode == CountMode::Songs) {
        return;
    }
    enableGroup(hwnd, MinutesGroup, false);
    enableGroup(hwnd, SongsGroup, true);
    selectButton(hwnd, IDC_COUNT_SONGS);
    countMode = CountMode::Songs;
}

void ConfigDialog::onCountMinutes(HWND hwnd) {
    if (countMode == CountMode::Minutes) {
        return;
    }
    enableGroup(hwnd, SongsGroup, false);
    enableGroup(hwnd, MinutesGroup, true);
    selectButton(hwnd, IDC_COUNT_MINUTES);
    countMode = CountMode::Minutes;
}

void ConfigDialog::chooseStopMethod(HWND hwnd, int method) {
    if (stopMethod == method) {
        return;
    }
    selectButton(hwnd, buttonFor(StopMethodButtons, method));
    stopMethod = method;
}

void ConfigDialog::chooseFinalAction(HWND hwnd, int action) {
    if (finalAction == action) {
        return;
    }
    selectButton(hwnd, buttonFor(FinalActionButtons, action));
    finalAction = action;
}

void ConfigDialog::showFadeLengths(HWND hwnd) {
    HWND list = GetDlgItem(hwnd, IDC_FADE_LENGTH);
    int shown = 0;
    for (int i = 0; i < FadeLengthCount; ++i) {
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FadeLengthTexts[i]));
        if (FadeLengths[i] == fadeSeconds) {
            shown = i;
        }
    }
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(shown), 0);
}

void ConfigDialog::chooseFadeLength(HWND hwnd) {
    LRESULT chosen = SendMessageA(GetDlgItem(hwnd, IDC_FADE_LENGTH), CB_GETCURSEL, 0, 0);
    if (chosen >= 0 && chosen < FadeLengthCount) {
        fadeSeconds = FadeLengths[chosen];
    }
}

void ConfigDialog::enableGroup(HWND hwnd, int group, bool enable) {
    if (group == SongsGroup) {
        enableControl(hwnd, IDC_SONGS, enable);
    } else if (group == MinutesGroup) {
        for (int id : MinutesGroupControls) {
            enableControl(hwnd, id, enable);
        }
    }
}

void ConfigDialog::setFormEnabled(HWND hwnd, bool enable) {
    for (int id : FormControls) {
        // An ending this computer cannot make stays greyed; when it is the
        // saved choice it stays selected, so that the listener sees it.
        const ChoiceButton* ending = buttonWithId(FinalActionButtons, id);
        const EndingAbility* ability = ending != NULL ? abilityOf(ending->value) : NULL;
        enableControl(hwnd, id, enable && (ability == NULL || ability->possible));
    }
    if (enable) {
        if (countMode == CountMode::Minutes) {
            enableGroup(hwnd, SongsGroup, false);
        } else {
            enableGroup(hwnd, MinutesGroup, false);
            countMode = CountMode::Songs;
        }
    }
    SetWindowTextA(GetDlgItem(hwnd, IDC_START_STOP), enable ? StartCaption : StopCaption);
    showsRunning = !enable;
}

void ConfigDialog::transferCounts(HWND hwnd, bool toDialog) {
    if (toDialog) {
        songs = settings.getSongs();
        minutes = settings.getMinutes();
        songsShown = setCountText(hwnd, IDC_SONGS, songs);
        minutesShown = setCountText(hwnd, IDC_MINUTES, minutes);
    } else {
        // A field that could not show its count, or give its text back,
        // keeps the count: what it holds is not the listener's.
        if (songsShown) {
            readCountText(hwnd, IDC_SONGS, songs);
        }
        if (minutesShown) {
            readCountText(hwnd, IDC_MINUTES, minutes);
        }
    }
}

bool ConfigDialog::validate(HWND hwnd) {
    transferCounts(hwnd, false);
    if (runState.isRunning()) {
        return true;
    }
    const EndingAbility* ending = abilityOf(finalAction);
    FormProblem problem = checkForm(form(), ending, playerIsPlaying);
    FormBox box = boxFor(problem, ending);
    if (box.text != NULL) {
        MessageBoxA(hwnd, box.text, box.caption, MB_OK);
    }
    return formStarts(problem);
}

SettingsValues ConfigDialog::form() const {
    SettingsValues values = {countMode, stopMethod, finalAction, songs, minutes, fadeSeconds};
    return values;
}

void ConfigDialog::onStartStop(HWND hwnd) {
    if (runState.isRunning()) {
        engine.stop();
        // The fields keep the remaining counts last shown.
        setFormEnabled(hwnd, true);
        return;
    }
    if (showsRunning) {
        // The countdown ended before its news reached the dialog: "stop"
        // has nothing to stop, and must not start a countdown either.
        setFormEnabled(hwnd, true);
        transferCounts(hwnd, true);
        return;
    }
    // A box shown by validate runs a message loop, in which the plug-in
    // may have been quit.
    if (!validate(hwnd) || abandoned) {
        return;
    }
    storeSettings(true);
    if (!engine.start()) {
        return;
    }
    setFormEnabled(hwnd, false);
    endDialog(hwnd, 0);
}

void ConfigDialog::onClose(HWND hwnd, WPARAM command) {
    // Closing keeps what the user typed, unchecked; a running countdown's
    // values stay as they were saved at its start.
    if (!runState.isRunning()) {
        transferCounts(hwnd, false);
        storeSettings(false);
    }
    endDialog(hwnd, static_cast<INT_PTR>(command));
}
// "start now" makes every value on the form the listener's choice. A close
// may leave values they never chose (the defaults that stood in for a
// record another program held): only their changes then go over it.
bool ConfigDialog::storeSettings(bool everyValueChosen) {
    settings.setCountMode(countMode);
    settings.setStopMethod(stopMethod);
    settings.setFinalAction(finalAction);
    settings.setFadeSeconds(fadeSeconds);
    settings.setSongs(songs);
    settings.setMinutes(minutes);
    return everyValueChosen ? settings.save() : settings.saveChanges();
}

const EndingAbility* ConfigDialog::abilityOf(int action) const {
    if (action == FinalAction::Sleep) {
        return &abilities.sleep;
    }
    if (action == FinalAction::Hibernate) {
        return &abilities.hibernate;
    }
    return NULL;
}
