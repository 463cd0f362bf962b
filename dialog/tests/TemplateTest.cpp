// The dialog template as the module carries it: read back from the module's
// resources and taken apart as the system's dialog manager reads it.

#include <gtest/gtest.h>
#include <windows.h>

#include <ctype.h>
#include <string.h>

#include <string>
#include <vector>

#include "dialog/resource.h"
#include "host/PluginHost.h"

namespace {

// Reads the classic (not extended) dialog template.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, DWORD size) : at(data), begin(data), end(data + size) {}

    bool overrun() const { return failed; }
    WORD word() {
        WORD value = 0;
        if (!take(2)) {
            return 0;
        }
        memcpy(&value, at - 2, 2);
        return value;
    }
    DWORD dword() {
        DWORD value = 0;
        if (!take(4)) {
            return 0;
        }
        memcpy(&value, at - 4, 4);
        return value;
    }
    short coordinate() { return static_cast<short>(word()); }
    // A name or an ordinal: empty, "#n" for an ordinal, else the text.
    std::string nameOrOrdinal() {
        WORD first = word();
        if (first == 0xFFFF) {
            return "#" + std::to_string(word());
        }
        std::string text;
        for (WORD c = first; c != 0 && !failed; c = word()) {
            // Every text of this template is plain ASCII.
            text += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return text;
    }
    void alignToDword() {
        while ((at - begin) % 4 != 0 && !failed) {
            take(1);
        }
    }

private:
    bool take(size_t bytes) {
        if (static_cast<size_t>(end - at) < bytes) {
            failed = true;
            return false;
        }
        at += bytes;
        return true;
    }
    const BYTE* at;
    const BYTE* begin;
    const BYTE* end;
    bool failed = false;
};

struct Control {
    int id;
    std::string className;  // the predefined class, by name
    DWORD style;
    std::string text;
    short x, y, width, height;

    int right() const { return x + width; }
    int bottom() const { return y + height; }
};

// The sixteen controls that every Nightcap has had, as the first template
// held them. The group box and the start button have grown and moved since
// with what they hold; their other fields, and all of the rest, have not.
const Control FirstSixteen[] = {
    {-1, "Button", 0x50000007, " The story goes like ", 5, 4, 212, 129},
    {-1, "Static", 0x50020000, "First, ", 26, 16, 20, 8},
    {IDC_COUNT_SONGS, "Button", 0x50000009, "Count down", 54, 21, 54, 10},
    {IDC_COUNT_MINUTES, "Button", 0x50000009, "Count down", 54, 36, 54, 10},
    {IDC_SONGS, "Edit", 0x50812080, "", 109, 20, 40, 12},
    {IDC_MINUTES, "Edit", 0x50812080, "", 109, 35, 40, 12},
    {IDC_SONGS_LABEL, "Static", 0x50020000, "Songs", 154, 22, 21, 8},
    {IDC_MINUTES_LABEL, "Static", 0x50020000, "Mins, then", 154, 37, 42, 8},
    {IDC_WAIT_SONG_END, "Button", 0x50000009, "Wait until the song completes", 68, 51, 113, 10},
    {IDC_FADE_OUT, "Button", 0x50000009, "Shade out and stop the song", 68, 63, 109, 10},
    {IDC_STOP_NOW, "Button", 0x50000009, "Directly stop the song", 68, 75, 87, 10},
    {-1, "Static", 0x50020000, "Then, ", 26, 89, 21, 8},
    {IDC_STOP_PLAYING, "Button", 0x50000009, "Stop Playing", 54, 94, 57, 10},
    {IDC_QUIT_PLAYER, "Button", 0x50000009, "Quit Winamp", 54, 105, 58, 10},
    {IDC_HALT_COMPUTER, "Button", 0x50000009, "Halt Computer", 54, 116, 62, 10},
    {IDC_START_STOP, "Button", 0x50010000, "", 160, 113, 50, 14},
};
const short FirstWidth = 221;   // the first dialog's size
const short FirstHeight = 140;
const size_t GroupBox = 0;
const size_t StartButton = 15;

// The predefined classes may be stored by ordinal or by name, in any case.
std::string className(const std::string& stored) {
    if (stored == "#128") return "button";
    if (stored == "#129") return "edit";
    if (stored == "#130") return "static";
    std::string lower = stored;
    for (char& c : lower) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

BOOL CALLBACK collectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

BOOL CALLBACK collectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(found)->push_back(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}

class TemplateTest : public ::testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryExA(PluginHost::besideProgram("gen_Nightcap.dll").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, static_cast<HMODULE>(NULL));
    }
    void TearDown() override {
        if (module != NULL) {
            FreeLibrary(module);
        }
    }
    HMODULE module = NULL;
};

TEST_F(TemplateTest, OneDialogNumbered101InUsEnglish) {
    std::vector<ULONG_PTR> names;
    EnumResourceNamesA(module, MAKEINTRESOURCEA(5) /* RT_DIALOG */, collectName, reinterpret_cast<LONG_PTR>(&names));
    EXPECT_EQ(names, std::vector<ULONG_PTR>{IDD_CONFIG});
    std::vector<WORD> languages;
    EnumResourceLanguagesA(module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_CONFIG), collectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{1033});
}

TEST_F(TemplateTest, HeaderAndControlsFieldByField) {
    HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_CONFIG),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(found, static_cast<HRSRC>(NULL));
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(data, nullptr);
    TemplateReader read(data, SizeofResource(module, found));

    DWORD style = read.dword();
    EXPECT_EQ(style, 0x80C808C0u);
    EXPECT_NE(style & 0xFFFF0000u, 0xFFFF0000u) << "an extended template";
    EXPECT_EQ(style, static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT));
    EXPECT_EQ(read.dword(), 0u) << "extended style";
    WORD count = read.word();
    ASSERT_EQ(count, 20);
    EXPECT_EQ(read.coordinate(), 0);
    EXPECT_EQ(read.coordinate(), 0);
    short width = read.coordinate();
    short height = read.coordinate();
    EXPECT_EQ(read.nameOrOrdinal(), "") << "menu";
    EXPECT_EQ(read.nameOrOrdinal(), "") << "window class";
    EXPECT_EQ(read.nameOrOrdinal(), "Nightcap v2.0");
    EXPECT_EQ(read.word(), 10) << "point size";
    EXPECT_EQ(read.nameOrOrdinal(), "System");

    std::vector<Control> controls;
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        read.alignToDword();
        Control control;
        control.style = read.dword();
        EXPECT_EQ(read.dword(), 0u) << "extended style";
        control.x = read.coordinate();
        control.y = read.coordinate();
        control.width = read.coordinate();
        control.height = read.coordinate();
        control.id = static_cast<short>(read.word());
        control.className = className(read.nameOrOrdinal());
        control.text = read.nameOrOrdinal();
        EXPECT_EQ(read.word(), 0) << "creation data";
        ASSERT_FALSE(read.overrun());
        controls.push_back(control);
    }
    std::vector<int> order;
    for (const Control& control : controls) {
        order.push_back(control.id);
    }
    // The later controls where they belong: the fade's length after the stop
    // methods, "Pause" right after "Stop Playing", "Sleep" and "Hibernate"
    // right after "Halt Computer".
    EXPECT_EQ(order, (std::vector<int>{-1, -1, IDC_COUNT_SONGS, IDC_COUNT_MINUTES, IDC_SONGS, IDC_MINUTES,
                                       IDC_SONGS_LABEL, IDC_MINUTES_LABEL, IDC_WAIT_SONG_END, IDC_FADE_OUT,
                                       IDC_STOP_NOW, IDC_FADE_LENGTH, -1, IDC_STOP_PLAYING, IDC_PAUSE,
                                       IDC_QUIT_PLAYER, IDC_HALT_COMPUTER, IDC_SLEEP, IDC_HIBERNATE,
                                       IDC_START_STOP}));
    std::vector<Control> first;
    const Control* list = nullptr;
    std::vector<const Control*> later;
    for (const Control& control : controls) {
        if (control.id == IDC_FADE_LENGTH) {
            list = &control;
        } else if (control.id == IDC_PAUSE || control.id == IDC_SLEEP || control.id == IDC_HIBERNATE) {
            later.push_back(&control);
        } else {
            first.push_back(control);
        }
    }
    ASSERT_EQ(first.size(), 16u);
    ASSERT_NE(list, nullptr);

    // The sixteen: ids, classes, styles, texts and order as ever, and where
    // they stood, but for the box, the button, and the endings below
    // "Pause", one row lower.
    const int Row = 11;
    for (size_t i = 0; i < first.size(); ++i) {
        const Control& was = FirstSixteen[i];
        const Control& is = first[i];
        SCOPED_TRACE("old control " + std::to_string(i + 1) + " \"" + was.text + "\"");
        EXPECT_EQ(is.id, was.id);
        EXPECT_EQ(is.className, className(was.className));
        EXPECT_EQ(is.style, was.style);
        EXPECT_EQ(is.text, was.text);
        if (i == GroupBox || i == StartButton) {
            continue;
        }
        EXPECT_EQ(is.x, was.x);
        EXPECT_EQ(is.width, was.width);
        EXPECT_EQ(is.height, was.height);
        bool belowPause = is.id == IDC_QUIT_PLAYER || is.id == IDC_HALT_COMPUTER;
        EXPECT_EQ(is.y, was.y + (belowPause ? Row : 0));
    }

    // The list: a drop-down list right of "Shade out and stop the song", on
    // its line, a tab stop and a set of its own.
    const Control& fade = first[9];
    ASSERT_EQ(fade.id, IDC_FADE_OUT);
    EXPECT_EQ(list->className, "combobox");
    EXPECT_EQ(list->style, static_cast<DWORD>(WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | WS_VSCROLL |
                                              CBS_DROPDOWNLIST));
    EXPECT_GE(list->x, fade.right());
    EXPECT_LE(list->y, fade.y);
    EXPECT_GE(list->y + 12, fade.bottom()) << "the closed list's line holds the button's";
    EXPECT_GE(list->height, 8 * 8) << "room for the eight lengths when it drops";

    // The six endings: automatic radio buttons in one column, each below the
    // last, clear of the start button, in the set that "Then, " opens.
    const Control& box = controls[0];
    const Control& button = controls.back();
    std::vector<const Control*> endings;
    for (const Control& control : controls) {
        if (control.id >= IDC_STOP_PLAYING && control.id <= IDC_HALT_COMPUTER) {
            endings.push_back(&control);
        } else if (control.id == IDC_SLEEP || control.id == IDC_HIBERNATE || control.id == IDC_PAUSE) {
            endings.push_back(&control);
        }
    }
    ASSERT_EQ(endings.size(), 6u);
    int previousBottom = 0;
    for (const Control* ending : endings) {
        SCOPED_TRACE(ending->text);
        EXPECT_EQ(ending->className, "button");
        EXPECT_EQ(ending->style, 0x50000009u) << "BS_AUTORADIOBUTTON, no WS_GROUP, no WS_TABSTOP";
        EXPECT_EQ(ending->x, endings[0]->x);
        EXPECT_EQ(ending->height, endings[0]->height);
        EXPECT_GE(ending->y, previousBottom);
        previousBottom = ending->bottom();
        EXPECT_LE(ending->bottom(), box.bottom());
        EXPECT_LE(ending->right(), button.x) << "clear of the start button";
    }
    EXPECT_EQ(later[0]->text, "Pause");
    EXPECT_EQ(later[1]->text, "Sleep");
    EXPECT_EQ(later[2]->text, "Hibernate");
    size_t groupOfEndings = 0;
    for (size_t i = 0; i + 1 < controls.size(); ++i) {
        if (controls[i].style & WS_GROUP) {
            groupOfEndings = i;
        }
    }
    EXPECT_EQ(controls[groupOfEndings].text, "Then, ") << "the six endings are one set";

    // The box holds them all; the dialog grew with it; "start now" keeps its
    // place at the bottom right.
    const Control& firstBox = FirstSixteen[GroupBox];
    const Control& firstButton = FirstSixteen[StartButton];
    EXPECT_GE(box.right(), list->right());
    EXPECT_EQ(height - box.bottom(), FirstHeight - firstBox.bottom());
    EXPECT_EQ(width - box.right(), FirstWidth - firstBox.right());
    EXPECT_EQ(box.bottom() - button.bottom(), firstBox.bottom() - firstButton.bottom());
    EXPECT_EQ(box.right() - button.right(), firstBox.right() - firstButton.right());
    EXPECT_EQ(box.bottom() - endings.back()->bottom(), firstBox.bottom() - FirstSixteen[14].bottom());
}

}  // namespace
