#pragma once
// The record through which the player finds the plug-in. Its layout is a
// binary interface with the 32-bit player, so it is pinned down below.

#include <windows.h>
#include <stddef.h>

struct PluginDescriptor {
    int interfaceVersion;
    const char* description;
    int (*initEntry)();
    void (*configEntry)();
    void (*quitEntry)();
    // Written by the player before initEntry; read at every use, never copied.
    HWND hostWindow;
    HINSTANCE moduleInstance;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(PluginDescriptor) == 28, "the player reads a 28-byte record");
static_assert(offsetof(PluginDescriptor, interfaceVersion) == 0, "layout");
static_assert(offsetof(PluginDescriptor, description) == 4, "layout");
static_assert(offsetof(PluginDescriptor, initEntry) == 8, "layout");
static_assert(offsetof(PluginDescriptor, configEntry) == 12, "layout");
static_assert(offsetof(PluginDescriptor, quitEntry) == 16, "layout");
static_assert(offsetof(PluginDescriptor, hostWindow) == 20, "layout");
static_assert(offsetof(PluginDescriptor, moduleInstance) == 24, "layout");
#endif

const int PluginInterfaceVersion = 0x10;

extern PluginDescriptor pluginDescriptor;

extern "C" PluginDescriptor* winampGetGeneralPurposePlugin();
