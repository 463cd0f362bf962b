#include "tests/HostFixture.h"


const char ProbeModule[] = "gen_Nightcap_probe.dll";
const char CheckedModule[] = "gen_Nightcap_checked.dll";

namespace {

typedef int (*ProbeFunction)(int* values);

ProbeFunction probe(HMODULE module, const char* name) {
    return reinterpret_cast<ProbeFunction>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

void HostFixture::SetUp() {
    folder = newFolder("test");
    ASSERT_NE(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES) << folder;
    appData = newFolder("appdata");
    player.playlist = PlayerModel::defaultPlaylist();
    playerWindow.reset(new PlayerWindow(player));
    ASSERT_NE(playerWindow->handle(), static_cast<HWND>(NULL));
    host.reset(new PluginHost());
}

void HostFixture::TearDown() {
    if (host->initialised()) {
        host->quit();
    }
    host->unload();
    EXPECT_EQ(host->referencesKept, referencesKept) << "references the module kept of itself";
    host.reset();
    playerWindow.reset();
    takeQuitMessage();
    removeFolder(folder);
    removeFolder(appData);
}

void HostFixture::loadPlugin(const char* dllName) {
    host->guardHeap = true;
    ASSERT_TRUE(host->load(PluginHost::besideProgram(dllName))) << dllName;
    host->fakeModuleName = true;
    host->moduleName = folder + "\\" + dllName;
    host->appDataFolder = appData;
    host->attach(playerWindow->handle());
}

void HostFixture::startPlugin(const char* dllName) {
    loadPlugin(dllName);
    ASSERT_EQ(host->init(), 0);
}

void HostFixture::writeSettingsBytes(const std::vector<unsigned char>& bytes) const {
    ASSERT_TRUE(writeFileBytes(settingsPath(), bytes));
}

void HostFixture::writeSettings(int countMode, int stopMethod, int finalAction, int songs, int minutes,
                                int fadeSeconds) const {
    writeSettingsBytes(settingsBytes(countMode, stopMethod, finalAction, songs, minutes, fadeSeconds));
}

std::vector<unsigned char> HostFixture::readSettingsBytes() const {
    return readFileBytes(settingsPath());
}

std::vector<std::string> HostFixture::filesInFolder() const {
    return filesIn(folder);
}

bool HostFixture::takeQuitMessage() {
    MSG message;
    bool found = false;
    while (PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        found = true;
    }
    return found;
}

LiveSettings HostFixture::moduleSettings() const {
    int values[6] = {0, 0, 0, 0, 0, 0};
    ProbeFunction read = probe(host->module(), "nightcapReadSettings");
    EXPECT_NE(read, nullptr) << "this module has no settings probe";
    EXPECT_TRUE(read != nullptr && read(values) == 1) << "the module has no Settings";
    return LiveSettings{values[0], values[1], values[2], values[3], values[4], values[5]};
}

void HostFixture::setModuleSettings(const LiveSettings& values) const {
    int fields[6] = {values.songs,      values.minutes,     values.countMode,
                     values.stopMethod, values.finalAction, values.fadeSeconds};
    ProbeFunction write = probe(host->module(), "nightcapWriteSettings");
    EXPECT_NE(write, nullptr) << "this module has no settings probe";
    EXPECT_TRUE(write != nullptr && write(fields) == 1) << "the module has no Settings";
}
