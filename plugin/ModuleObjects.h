#pragma once
// The module's three long-lived objects: created by pluginInit, deleted by
// pluginQuit, empty before and after.

class CountdownEngine;
class NotificationIcon;
class RunState;
class Settings;

extern RunState* pluginRunState;
extern Settings* pluginSettings;
extern CountdownEngine* pluginEngine;
// The countdown's notification-area icon; empty when it could not be made,
// and the countdown then runs unseen.
extern NotificationIcon* pluginIcon;
