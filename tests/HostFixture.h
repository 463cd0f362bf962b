#pragma once
// A test with the real plug-in loaded in a PluginHost, a simulated player
// window on the test thread, and the module's own file name and the user's
// application-data folder pointed into fresh folders, so every test has its
// own settings files. The module's heap blocks come from the guard heap: a
// touch of a freed one faults at once.

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "host/Files.h"
#include "host/PlayerModel.h"
#include "host/PlayerWindow.h"
#include "host/PluginHost.h"

// The six live values of the module's Settings, in its field order.
struct LiveSettings {
    int songs;
    int minutes;
    int countMode;
    int stopMethod;
    int finalAction;
    int fadeSeconds = 5;

    bool operator==(const LiveSettings& other) const {
        return songs == other.songs && minutes == other.minutes && countMode == other.countMode &&
               stopMethod == other.stopMethod && finalAction == other.finalAction && fadeSeconds == other.fadeSeconds;
    }
};

// The tests' builds of the module: the shipped code with a probe of the live
// settings (gen_Nightcap_probe), and the same with undefined behaviour
// trapped (gen_Nightcap_checked).
extern const char ProbeModule[];
extern const char CheckedModule[];

class HostFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads the module (the shipped one unless told otherwise), fakes its
    // location into folder and the user's application-data folder into
    // appData, writes the two handles. Does not call init.
    void loadPlugin(const char* dllName = "gen_Nightcap.dll");
    // loadPlugin and init, which must succeed.
    void startPlugin(const char* dllName = "gen_Nightcap.dll");

    std::string settingsPath() const { return folder + "\\gen_nightcap.dat"; }
    void writeSettingsBytes(const std::vector<unsigned char>& bytes) const;
    // countMode, stopMethod, finalAction, songs, minutes, fade: the file's order.
    void writeSettings(int countMode, int stopMethod, int finalAction, int songs, int minutes,
                       int fadeSeconds = 5) const;
    std::vector<unsigned char> readSettingsBytes() const;
    std::vector<std::string> filesInFolder() const;
    // Where the module keeps its settings while its own folder refuses them.
    std::string perUserPath() const { return appData + "\\Nightcap\\gen_nightcap.dat"; }

    // Removes and returns the quit request posted to this thread, if any.
    bool takeQuitMessage();

    // The module's live Settings, through the probe of the tests' builds:
    // also choices outside the lists, which the dialog never stores. A module
    // without the probe, or without Settings, fails the test.
    LiveSettings moduleSettings() const;
    void setModuleSettings(const LiveSettings& values) const;

    std::string folder;
    std::string appData;
    // How many references the module is to keep of itself when the test
    // ends; it keeps one only when quit inside its own dialog.
    int referencesKept = 0;
    PlayerModel player;
    std::unique_ptr<PlayerWindow> playerWindow;
    std::unique_ptr<PluginHost> host;
};
