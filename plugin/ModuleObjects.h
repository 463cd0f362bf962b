#pragma once
// The module's three long-lived objects: created by pluginInit, deleted by
// pluginQuit, empty before and after.

class CountdownEngine;
class RunState;
class Settings;

extern RunState* pluginRunState;
extern Settings* pluginSettings;
extern CountdownEngine* pluginEngine;
