// The module as the player meets it: the export, the descriptor, the version
// resource, and the lifetime of what pluginInit creates.

#include <string>

#include "tests/HostFixture.h"

namespace {

std::string versionString(const std::vector<BYTE>& block, const char* name) {
    char* value = nullptr;
    UINT length = 0;
    std::string query = std::string("\\StringFileInfo\\080404b0\\") + name;
    if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) || value == nullptr) {
        return "<missing>";
    }
    return std::string(value);
}

bool insideModule(HMODULE module, const void* address) {
    MEMORY_BASIC_INFORMATION info;
    return VirtualQuery(address, &info, sizeof info) != 0 && info.AllocationBase == module;
}

}  // namespace

class FrameTest : public HostFixture {};

TEST_F(FrameTest, DescriptorIsTheSameRecordOnEveryCallAndCreatesNothing) {
    loadPlugin();
    host->trace.clear();
    PluginDescriptor* first = host->getDescriptor();
    PluginDescriptor* second = host->getDescriptor();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(host->trace.count(TraceEvent::Heap), 0);
    EXPECT_TRUE(insideModule(host->module(), first)) << "a static record of the module";

    EXPECT_EQ(first->interfaceVersion, 0x10);
    EXPECT_STREQ(first->description, "Nightcap v2.0");
    EXPECT_TRUE(insideModule(host->module(), reinterpret_cast<const void*>(first->initEntry)));
    EXPECT_TRUE(insideModule(host->module(), reinterpret_cast<const void*>(first->configEntry)));
    EXPECT_TRUE(insideModule(host->module(), reinterpret_cast<const void*>(first->quitEntry)));
    // Exactly what loadPlugin wrote: the module never writes them itself.
    EXPECT_EQ(first->hostWindow, playerWindow->handle());
    EXPECT_EQ(first->moduleInstance, host->module());
}

TEST_F(FrameTest, HandlesAreEmptyUntilThePlayerWritesThem) {
    PluginHost fresh;
    ASSERT_TRUE(fresh.load(PluginHost::besideProgram(CheckedModule)));
    EXPECT_EQ(fresh.descriptor()->hostWindow, static_cast<HWND>(NULL));
    EXPECT_EQ(fresh.descriptor()->moduleInstance, static_cast<HINSTANCE>(NULL));
}

TEST_F(FrameTest, ExportHasItsUndecoratedName) {
    loadPlugin();
    EXPECT_NE(GetProcAddress(host->module(), "winampGetGeneralPurposePlugin"), nullptr);
    EXPECT_EQ(GetProcAddress(host->module(), "_winampGetGeneralPurposePlugin"), nullptr);
}

TEST_F(FrameTest, VersionResourceNamesVersionTwoInChinesePrcUnicode) {
    std::string path = PluginHost::besideProgram("gen_Nightcap.dll");
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 2));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 2));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0804);
    EXPECT_EQ(translation[1], 1200);

    EXPECT_EQ(versionString(block, "InternalName"), "Nightcap");
    EXPECT_EQ(versionString(block, "FileVersion"), "2, 0, 0, 0");
    EXPECT_EQ(versionString(block, "ProductVersion"), "2, 0, 0, 0");
    EXPECT_EQ(versionString(block, "LegalCopyright"), "Copyright (c) 2026 The Nightcap project") << "as in LICENSE";
}

TEST_F(FrameTest, QuitFreesEverythingInitCreated) {
    loadPlugin();
    host->liveAllocations.clear();
    ASSERT_EQ(host->init(), 0);
    EXPECT_EQ(host->liveAllocations.size(), 4u) << "run state, settings, engine, notification icon";
    host->quit();
    EXPECT_TRUE(host->liveAllocations.empty());
    EXPECT_EQ(host->liveTimers(), 0);
}

// Every creation that can fail, failing: nothing stays allocated, the
// settings file is not read, and the module can be set up again afterwards.
TEST_F(FrameTest, FailedInitLeavesNothingBehind) {
    writeSettings(2, 3, 1, 4, 30);
    for (int failing = 1; failing <= 3; ++failing) {
        SCOPED_TRACE(failing);
        host.reset(new PluginHost());
        loadPlugin();
        host->liveAllocations.clear();
        host->trace.clear();
        host->failCall("malloc", failing);

        EXPECT_EQ(host->init(), 1);
        EXPECT_TRUE(host->liveAllocations.empty());
        EXPECT_EQ(host->callsOf("GetModuleFileNameA"), 0) << "the settings file must not be looked for";

        // Nothing to configure: no dialog appears, and quitting is harmless.
        host->config();
        host->quit();
        EXPECT_EQ(host->trace.lines(), std::vector<std::string>{});

        host->liveAllocations.clear();
        EXPECT_EQ(host->init(), 0);
        EXPECT_EQ(host->liveAllocations.size(), 4u);
        host->quit();
        EXPECT_TRUE(host->liveAllocations.empty());
    }
    // Without memory for the notification icon the plug-in still sets up:
    // its countdowns run unseen.
    host.reset(new PluginHost());
    loadPlugin();
    host->liveAllocations.clear();
    host->failCall("malloc", 4);
    EXPECT_EQ(host->init(), 0);
    EXPECT_EQ(host->liveAllocations.size(), 3u);
    host->quit();
    EXPECT_TRUE(host->liveAllocations.empty());
}
