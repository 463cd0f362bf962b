// The settings file as the user's choices meet it: what is loaded at start-up
// shows in the dialog, and closing the idle dialog saves what it holds;
// beside the module, or in the per-user file while the module's folder
// refuses it.

#include <algorithm>
#include <string>

#include "dialog/resource.h"
#include "host/DialogDriver.h"
#include "tests/HostFixture.h"

namespace {

const std::vector<unsigned char> DefaultFileBytes = {0x01, 0, 0, 0, 0x01, 0, 0, 0, 0x03, 0, 0, 0,
                                                     0x03, 0, 0, 0, 0x0A, 0, 0, 0, 0x05, 0, 0, 0};

struct Shown {
    std::string songs;
    std::string minutes;
    int countMode;
    int stopMethod;
    int finalAction;
    std::string fade;
};

int checkedOf(DialogDriver& d, int first, int count) {
    for (int i = 0; i < count; ++i) {
        if (d.checked(first + i)) {
            return i + 1;
        }
    }
    return 0;
}

}  // namespace

class SettingsTest : public HostFixture {
protected:
    // Opens the dialog, notes what it shows, and closes it with Esc, which
    // saves the working values: the way a user reads and rewrites the file.
    Shown openAndClose(const DialogDriver::Step& edit = nullptr) {
        Shown shown = {"", "", 0, 0, 0, ""};
        DialogDriver driver(playerWindow->handle(), host.get());
        driver.then([&](DialogDriver& d) {
            shown.songs = d.text(IDC_SONGS);
            shown.minutes = d.text(IDC_MINUTES);
            shown.countMode = d.checked(IDC_COUNT_SONGS) ? 1 : (d.checked(IDC_COUNT_MINUTES) ? 2 : 0);
            shown.stopMethod = checkedOf(d, IDC_WAIT_SONG_END, 3);
            shown.finalAction = checkedOf(d, IDC_STOP_PLAYING, 3);
            shown.fade = d.text(IDC_FADE_LENGTH);
            if (edit) {
                edit(d);
            }
        });
        driver.then([](DialogDriver& d) { d.escape(); });
        driver.run([&] { host->config(); });
        return shown;
    }

    // A fresh host on the same folders, as the next start of the player.
    void restart(bool folderRefuses) {
        host.reset(new PluginHost());
        loadPlugin();
        if (folderRefuses) {
            host->refusingFolders.push_back(folder);
        }
        ASSERT_EQ(host->init(), 0);
    }

    bool perUserFileExists() const { return GetFileAttributesA(perUserPath().c_str()) != INVALID_FILE_ATTRIBUTES; }

    void writePerUserBytes(const std::vector<unsigned char>& bytes) const {
        CreateDirectoryA((appData + "\\Nightcap").c_str(), NULL);
        ASSERT_TRUE(writeFileBytes(perUserPath(), bytes));
    }

    std::vector<std::string> temporaryFiles() const {
        std::vector<std::string> found;
        for (const std::string& name : filesInFolder()) {
            if (name != "gen_nightcap.dat") {
                found.push_back(name);
            }
        }
        return found;
    }
};

TEST_F(SettingsTest, WithoutAFileTheDefaultsStandAndSaveAsDocumented) {
    startPlugin();
    Shown shown = openAndClose();
    EXPECT_EQ(shown.songs, "3");
    EXPECT_EQ(shown.minutes, "10");
    EXPECT_EQ(shown.countMode, 1);
    EXPECT_EQ(shown.stopMethod, 1);
    EXPECT_EQ(shown.finalAction, 3);
    EXPECT_EQ(readSettingsBytes(), DefaultFileBytes);
    EXPECT_TRUE(temporaryFiles().empty());
}

TEST_F(SettingsTest, SavedFileHoldsTheChoicesFirstTheCountsThenTheFade) {
    startPlugin();
    openAndClose([](DialogDriver& d) {
        d.paste(IDC_SONGS, "4");
        d.click(IDC_COUNT_MINUTES);
        d.paste(IDC_MINUTES, "30");
        d.click(IDC_STOP_NOW);
        d.click(IDC_STOP_PLAYING);
        d.choose(IDC_FADE_LENGTH, "over 10 minutes");
    });
    EXPECT_EQ(readSettingsBytes(), std::vector<unsigned char>({0x02, 0, 0, 0, 0x03, 0, 0, 0, 0x01, 0, 0, 0, 0x04, 0,
                                                                0, 0, 0x1E, 0, 0, 0, 0x58, 0x02, 0, 0}));
}

// A record is whole from its first five values, which every older Nightcap
// writes; the fade's length follows when it is there, and a save always
// writes all six.
TEST_F(SettingsTest, OnlyAWholeRecordIsLoaded) {
    std::vector<unsigned char> record = settingsBytes(2, 3, 1, 4, 30, 600);
    const std::vector<unsigned char> older(record.begin(), record.begin() + 20);
    std::vector<unsigned char> longer = record;
    longer.insert(longer.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    const struct {
        const char* what;
        std::vector<unsigned char> file;
        const char* songs;
        const char* fade;
        std::vector<unsigned char> saved;
    } rows[] = {
        {"19 bytes change nothing", std::vector<unsigned char>(older.begin(), older.end() - 1), "3",
         "over 5 seconds", DefaultFileBytes},
        {"an older 20-byte record", older, "4", "over 5 seconds", settingsBytes(2, 3, 1, 4, 30, 5)},
        {"a longer file gives its first 24 bytes", longer, "4", "over 10 minutes", record},
        {"a length not in the list", settingsBytes(2, 3, 1, 4, 30, 7), "4", "over 5 seconds",
         settingsBytes(2, 3, 1, 4, 30, 5)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        host.reset(new PluginHost());
        writeSettingsBytes(row.file);
        startPlugin();
        Shown shown = openAndClose();
        EXPECT_EQ(shown.songs, row.songs);
        EXPECT_EQ(shown.fade, row.fade);
        EXPECT_EQ(readSettingsBytes(), row.saved);
    }
    writeSettingsBytes(record);
    host.reset(new PluginHost());

    writePerUserBytes(std::vector<unsigned char>(record.begin(), record.begin() + 19));
    startPlugin();
    Shown shown = openAndClose([](DialogDriver& d) { d.paste(IDC_SONGS, "5"); });
    EXPECT_EQ(shown.songs, "4") << "a 19-byte per-user file gives way to the file beside the module";
    EXPECT_EQ(readSettingsBytes(), settingsBytes(2, 3, 1, 5, 30, 600));
    EXPECT_FALSE(perUserFileExists()) << "and the save beside the module removes it";
}

// Counts are not clamped on load; the dialog shows them as they are and
// picks its documented fallbacks for choices outside the lists.
TEST_F(SettingsTest, OutOfRangeValuesLoadAsTheyStand) {
    writeSettings(7, 9, 0, -5, 2147483647);
    startPlugin();
    Shown shown = openAndClose();
    EXPECT_EQ(shown.songs, "-5");
    EXPECT_EQ(shown.minutes, "2147483647");
    EXPECT_EQ(shown.countMode, 1);
    EXPECT_EQ(shown.stopMethod, 1);
    EXPECT_EQ(shown.finalAction, 3);
    EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 3, -5, 2147483647));
}

// Only a backslash separates: a name with forward slashes alone is a bare
// name too, and the file is the current folder's.
TEST_F(SettingsTest, ModuleNameWithoutBackslashUsesTheCurrentFolder) {
    std::string elsewhere = folder + "\\elsewhere";
    ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), NULL));
    std::string slashed = elsewhere + "\\gen_Nightcap.dll";
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    for (const std::string& name : {std::string("gen_Nightcap.dll"), slashed}) {
        SCOPED_TRACE(name);
        host.reset(new PluginHost());
        writeSettings(2, 3, 1, 4, 30);
        loadPlugin();
        host->moduleName = name;
        ASSERT_EQ(host->init(), 0);
        Shown shown = openAndClose([](DialogDriver& d) { d.paste(IDC_MINUTES, "45"); });
        EXPECT_EQ(shown.songs, "4");
        EXPECT_EQ(readSettingsBytes(), settingsBytes(2, 3, 1, 4, 45));
        EXPECT_TRUE(filesIn(elsewhere).empty());
    }
    SetCurrentDirectoryA(previous);
    RemoveDirectoryA(elsewhere.c_str());
}

// A module path the system cuts short, or one too long for the settings
// file's name, must not send the file somewhere else: nothing is read or
// written beside the module, the defaults stand, and the save goes to the
// per-user file.
TEST_F(SettingsTest, PathsThatDoNotFitAreNeitherReadNorWritten) {
    // Cut at 259 characters, the name's last backslash is the test folder's
    // own, where a cut-off path would find this file.
    writeSettings(2, 3, 1, 4, 30);
    std::vector<unsigned char> before = readSettingsBytes();
    std::string tooLong = folder + "\\" + std::string(300, 'x') + "\\gen_Nightcap.dll";

    struct Case {
        const char* what;
        std::string moduleName;
        bool legacy;
        DWORD error;
    };
    const Case cases[] = {
        {"cut name", tooLong, false, 0},
        {"cut name without terminator", tooLong, true, 0},
        {"no name at all", folder + "\\gen_Nightcap.dll", false, ERROR_MOD_NOT_FOUND},
        // 244 characters of folder and backslash: the module's name fits,
        // the settings file's does not.
        {"settings name does not fit", folder + "\\" + std::string(243 - folder.size() - 1, 'y') + "\\n.dll", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host.reset(new PluginHost());
        loadPlugin();
        host->moduleName = c.moduleName;
        host->legacyTruncation = c.legacy;
        host->moduleNameError = c.error;
        ASSERT_EQ(host->init(), 0);
        Shown shown = openAndClose([](DialogDriver& d) { d.paste(IDC_SONGS, "9"); });
        EXPECT_EQ(shown.songs, "3");
        EXPECT_EQ(readSettingsBytes(), before);
        EXPECT_TRUE(temporaryFiles().empty());
        EXPECT_EQ(readFileBytes(perUserPath()), settingsBytes(1, 1, 3, 9, 10));
        DeleteFileA(perUserPath().c_str());
    }
}

TEST_F(SettingsTest, AFolderThatJustFitsIsUsed) {
    // 243 characters of folder and backslash, the longest that leaves room.
    std::string deep = folder + "\\" + std::string(242 - folder.size() - 1, 'z');
    ASSERT_EQ(deep.size() + 1, 243u);
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), NULL));
    std::string file = deep + "\\gen_nightcap.dat";
    loadPlugin();
    host->moduleName = deep + "\\gen_Nightcap.dll";
    ASSERT_EQ(host->init(), 0);
    openAndClose([](DialogDriver& d) { d.paste(IDC_SONGS, "6"); });
    FILE* saved = fopen(file.c_str(), "rb");
    ASSERT_NE(saved, nullptr);
    unsigned char bytes[20] = {};
    EXPECT_EQ(fread(bytes, 1, sizeof bytes, saved), 20u);
    fclose(saved);
    EXPECT_EQ(bytes[12], 6);
    DeleteFileA(file.c_str());
    RemoveDirectoryA(deep.c_str());
}

// A save that fails on the way leaves the last good file as it was, and no
// temporary file behind.
TEST_F(SettingsTest, FailedSavesKeepTheLastGoodFile) {
    writeSettings(2, 3, 1, 4, 30);
    std::vector<unsigned char> good = readSettingsBytes();

    struct Case {
        const char* what;
        std::function<void(PluginHost&)> breakIt;
    };
    const Case cases[] = {
        {"short write",
         [](PluginHost& h) {
             h.writeLimitBytes = 10;
             h.failCall("WriteFile");
         }},
        {"write reports all but wrote less", [](PluginHost& h) { h.writeLimitBytes = 19; }},
        {"error at close", [](PluginHost& h) { h.failCall("CloseHandle", 1, true); }},
        {"replacing refused", [](PluginHost& h) { h.failCall("MoveFileExA"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host.reset(new PluginHost());
        startPlugin();
        c.breakIt(*host);
        openAndClose([](DialogDriver& d) { d.paste(IDC_SONGS, "9"); });
        EXPECT_EQ(readSettingsBytes(), good);
        EXPECT_TRUE(temporaryFiles().empty());
    }

    // And with no earlier file, a failed save leaves none.
    DeleteFileA(settingsPath().c_str());
    host.reset(new PluginHost());
    startPlugin();
    host->failCall("MoveFileExA");
    openAndClose();
    EXPECT_TRUE(filesInFolder().empty());
}

// A read-only file is the listener's word that the choices in it stay: a
// save neither changes it nor goes to the per-user file instead, and a
// per-user file left from a refusing folder gives way to it.
TEST_F(SettingsTest, ReadOnlyFileIsLeftAsItWas) {
    writeSettings(2, 3, 1, 4, 30);
    std::vector<unsigned char> good = readSettingsBytes();
    ASSERT_TRUE(SetFileAttributesA(settingsPath().c_str(), FILE_ATTRIBUTE_READONLY));
    writePerUserBytes(settingsBytes(2, 3, 1, 7, 30));
    startPlugin();
    EXPECT_EQ(openAndClose([](DialogDriver& d) { d.paste(IDC_SONGS, "9"); }).songs, "7");
    EXPECT_EQ(readSettingsBytes(), good);
    EXPECT_TRUE(GetFileAttributesA(settingsPath().c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(temporaryFiles().empty());
    EXPECT_FALSE(perUserFileExists());
    restart(false);
    EXPECT_EQ(openAndClose().songs, "4");
    EXPECT_FALSE(perUserFileExists());
}

// Program Files refuses a listener's files. Their choices go to the per-user
// file, win over an older file beside the module, come back at the next
// start and after a finished countdown, and move back beside the module as
// soon as its folder takes them again.
TEST_F(SettingsTest, ARefusingFolderKeepsTheChoicesInThePerUserFile) {
    writeSettings(1, 1, 3, 5, 10);  // from before the folder refused
    restart(true);
    EXPECT_EQ(openAndClose([](DialogDriver& d) {
                  d.paste(IDC_SONGS, "2");
                  d.click(IDC_STOP_PLAYING);
              }).songs,
              "5");
    std::vector<unsigned char> chosen = settingsBytes(1, 1, 1, 2, 10);
    EXPECT_EQ(readFileBytes(perUserPath()), chosen);
    EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 3, 5, 10));
    EXPECT_TRUE(temporaryFiles().empty());

    restart(true);
    player.state = PlayerModel::Playing;
    player.positionMs = 240000;
    DialogDriver driver(playerWindow->handle(), host.get());
    std::string shown;
    driver.then([&](DialogDriver& d) {
        shown = d.text(IDC_SONGS);
        d.click(IDC_START_STOP);
    });
    driver.run([&] { host->config(); });
    EXPECT_EQ(shown, "2");
    ASSERT_EQ(host->liveTimers(), 1);
    for (int i = 0; i < 1000 && host->liveTimers() > 0; ++i) {
        player.advance(500);
        host->tick();
    }
    ASSERT_EQ(host->liveTimers(), 0) << "the two songs were not counted down";
    EXPECT_EQ(openAndClose().songs, "2") << "the finish reloads the chosen count, not 0";
    EXPECT_EQ(readFileBytes(perUserPath()), chosen);

    host->refusingFolders.clear();
    openAndClose();
    EXPECT_EQ(readSettingsBytes(), chosen);
    EXPECT_FALSE(perUserFileExists());
}

// Both places refusing: the choices live on in memory for the session, and
// nothing is said and nothing written anywhere.
TEST_F(SettingsTest, BothPlacesRefusingKeepTheChoicesInMemoryOnly) {
    loadPlugin();
    host->refusingFolders = {folder, appData};
    ASSERT_EQ(host->init(), 0);
    openAndClose([](DialogDriver& d) { d.paste(IDC_SONGS, "9"); });
    EXPECT_EQ(openAndClose().songs, "9");
    EXPECT_EQ(host->trace.count(TraceEvent::MessageBox), 0);
    EXPECT_TRUE(filesInFolder().empty());
    EXPECT_TRUE(filesIn(appData).empty());
}

TEST_F(SettingsTest, ASaveReplacesTheWholeFile) {
    writeSettingsBytes(std::vector<unsigned char>(24, 0x55));
    startPlugin();
    openAndClose([](DialogDriver& d) { d.paste(IDC_SONGS, "12"); });
    std::vector<unsigned char> saved = readSettingsBytes();
    EXPECT_EQ(saved, settingsBytes(1, 1, 3, 12, 0x55555555));
    EXPECT_TRUE(temporaryFiles().empty());
}

// Another program (a backup, a scanner) may hold the file open without
// sharing it while the player starts. The defaults that stand in meanwhile
// are none of the listener's choices, and must never reach the file: the
// dialog reads the record again when it opens, a close writes only what the
// listener changed, and a save to a held file goes nowhere else.
TEST_F(SettingsTest, ARecordHeldByAnotherProgramIsNeverWrittenOverWithTheDefaults) {
    const std::vector<unsigned char> stored = settingsBytes(1, 1, 1, 4, 30);
    writeSettingsBytes(stored);
    auto startHeld = [&] {
        host.reset(new PluginHost());
        loadPlugin();
        ASSERT_TRUE(host->holdFile(settingsPath()));
        ASSERT_EQ(host->init(), 0);
    };

    // Held at start-up only: the dialog shows the stored record.
    startHeld();
    host->releaseFile(settingsPath());
    Shown shown = openAndClose();
    EXPECT_EQ(shown.songs + " " + shown.minutes + " " + std::to_string(shown.finalAction), "4 30 1");
    EXPECT_EQ(readSettingsBytes(), stored);

    // Held through the dialog: the defaults stand in, and Esc writes nothing,
    // there or in the per-user file...
    startHeld();
    EXPECT_EQ(openAndClose().songs, "3");
    // ...and once the record can be read, only the change goes over it.
    openAndClose([&](DialogDriver& d) {
        d.paste(IDC_SONGS, "9");
        host->releaseFile(settingsPath());
    });
    EXPECT_FALSE(perUserFileExists());
    EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 1, 9, 30));

    // A record read, then held at a save: it stays as it was, and no per-user
    // file takes the save instead.
    ASSERT_TRUE(host->holdFile(settingsPath()));
    openAndClose([](DialogDriver& d) { d.paste(IDC_SONGS, "7"); });
    host->releaseFile(settingsPath());
    EXPECT_FALSE(perUserFileExists());
    EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 1, 9, 30));

    // The module's own name refused at start-up: the file was not looked at,
    // which is not a file missing; the dialog reads it, and Esc leaves it.
    host.reset(new PluginHost());
    loadPlugin();
    host->failCall("GetModuleFileNameA");
    ASSERT_EQ(host->init(), 0);
    EXPECT_EQ(openAndClose().songs, "9");
    EXPECT_EQ(readSettingsBytes(), settingsBytes(1, 1, 1, 9, 30));

    // "start now" takes every value on the form as the listener's.
    startHeld();
    DialogDriver driver(playerWindow->handle(), host.get());
    driver.then([&](DialogDriver& d) {
        host->releaseFile(settingsPath());
        d.click(IDC_START_STOP);
    });
    driver.run([&] { host->config(); });
    EXPECT_EQ(host->liveTimers(), 1);
    EXPECT_EQ(readSettingsBytes(), DefaultFileBytes);
}
