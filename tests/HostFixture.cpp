#include "tests/HostFixture.h"

#include <stdio.h>

const char ProbeModule[] = "gen_Nightcap_probe.dll";
const char CheckedModule[] = "gen_Nightcap_checked.dll";

namespace {

int folderCounter = 0;

typedef int (*ProbeFunction)(int* values);

ProbeFunction probe(HMODULE module, const char* name) {
    return reinterpret_cast<ProbeFunction>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void removeFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..") {
                std::string path = folder + "\\" + name;
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

std::vector<unsigned char> settingsBytes(int countMode, int stopMethod, int finalAction, int songs, int minutes) {
    std::vector<unsigned char> bytes;
    for (int value : {countMode, stopMethod, finalAction, songs, minutes}) {
        unsigned int bits = static_cast<unsigned int>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<unsigned char>(bits >> shift));
        }
    }
    return bytes;
}

void HostFixture::SetUp() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%snightcap-%lu-%d", temp, GetCurrentProcessId(), ++folderCounter);
    folder = name;
    removeFolder(folder);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL)) << folder;
    player.playlist = PlayerModel::defaultPlaylist();
    playerWindow.reset(new PlayerWindow(player));
    ASSERT_NE(playerWindow->handle(), static_cast<HWND>(NULL));
    host.reset(new PluginHost());
}

void HostFixture::TearDown() {
    host.reset();
    playerWindow.reset();
    takeQuitMessage();
    removeFolder(folder);
}

void HostFixture::loadPlugin(const char* dllName) {
    ASSERT_TRUE(host->load(PluginHost::besideProgram(dllName))) << dllName;
    host->fakeModuleName = true;
    host->moduleName = folder + "\\" + dllName;
    host->attach(playerWindow->handle());
}

void HostFixture::startPlugin(const char* dllName) {
    loadPlugin(dllName);
    ASSERT_EQ(host->init(), 0);
}

void HostFixture::writeSettingsBytes(const std::vector<unsigned char>& bytes) const {
    FILE* file = fopen(settingsPath().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    if (!bytes.empty()) {
        fwrite(bytes.data(), 1, bytes.size(), file);
    }
    fclose(file);
}

void HostFixture::writeSettings(int countMode, int stopMethod, int finalAction, int songs, int minutes) const {
    writeSettingsBytes(settingsBytes(countMode, stopMethod, finalAction, songs, minutes));
}

bool HostFixture::settingsFileExists() const {
    return GetFileAttributesA(settingsPath().c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<unsigned char> HostFixture::readSettingsBytes() const {
    std::vector<unsigned char> bytes;
    FILE* file = fopen(settingsPath().c_str(), "rb");
    if (file == nullptr) {
        return bytes;
    }
    int c;
    while ((c = fgetc(file)) != EOF) {
        bytes.push_back(static_cast<unsigned char>(c));
    }
    fclose(file);
    return bytes;
}

std::vector<std::string> HostFixture::filesInFolder() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return names;
}

bool HostFixture::takeQuitMessage() {
    MSG message;
    bool found = false;
    while (PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        found = true;
    }
    return found;
}

SettingsValues HostFixture::moduleSettings() const {
    int values[5] = {0, 0, 0, 0, 0};
    ProbeFunction read = probe(host->module(), "nightcapReadSettings");
    EXPECT_NE(read, nullptr) << "this module has no settings probe";
    EXPECT_TRUE(read != nullptr && read(values) == 1) << "the module has no Settings";
    return SettingsValues{values[0], values[1], values[2], values[3], values[4]};
}

void HostFixture::setModuleSettings(const SettingsValues& values) const {
    int fields[5] = {values.songs, values.minutes, values.countMode, values.stopMethod, values.finalAction};
    ProbeFunction write = probe(host->module(), "nightcapWriteSettings");
    EXPECT_NE(write, nullptr) << "this module has no settings probe";
    EXPECT_TRUE(write != nullptr && write(fields) == 1) << "the module has no Settings";
}
