#pragma once
// The six values that describe a countdown, kept in a file beside the
// module, or, while the module's folder refuses it, in the user's own
// application-data folder (SettingsLocation.h). While a countdown runs, the
// two counts in memory are the remaining counts; the file keeps the user's
// values.

#include <windows.h>
#include <stddef.h>

#include "settings/SettingsLocation.h"
#include "settings/SettingsRecord.h"

class Settings {
public:
    Settings();
    virtual ~Settings() {}

    int getSongs() const { return songs; }
    void setSongs(int value) { songs = value; }
    int getMinutes() const { return minutes; }
    void setMinutes(int value) { minutes = value; }

    // The three choices: setters return the value they replace.
    int getCountMode() const { return countMode; }
    int setCountMode(int value);
    int getStopMethod() const { return stopMethod; }
    int setStopMethod(int value);
    int getFinalAction() const { return finalAction; }
    int setFinalAction(int value);
    // The shade-out's length in seconds, as stored: usableFadeSeconds says
    // what a value outside the list stands for.
    int getFadeSeconds() const { return fadeSeconds; }
    int setFadeSeconds(int value);

    SettingsValues values() const;

    // Saves the six values as the listener's own choice. True only when the
    // whole record reached a file, which then replaced the previous one; on
    // failure the previous files are left as they were. Beside the module
    // first; where that folder refuses, in the per-user folder. A file that
    // another program holds open is not replaced, and nothing goes elsewhere
    // instead: a per-user file would hide it at every later load. A save
    // beside the module removes the per-user file.
    bool save();
    // Replaces all six values from the per-user file when it holds a whole
    // record, else from the file beside the module, or none of them. A file
    // there but held by another program (a backup, a scanner) is left
    // unread: see recordUnread.
    bool load();

    // A record is there that this session could not read yet, because
    // another program held it, and none has been saved since: the values in
    // memory are then not all the listener's (the defaults, at start-up).
    bool recordUnread() const { return unreadRecord; }
    // Reads that record if it can be read now, keeping over it the values
    // the listener changed since it could not be; false while it is held.
    bool readUnreadRecord();
    // A save of a form the listener may only partly have changed (a dialog
    // closed). While the record is unread, it is read first and only the
    // listener's changes go over it; nothing is written while it is still
    // held, nor when nothing changed.
    bool saveChanges();

    // The settings file beside the module, into path (ModulePathChars long).
    // False, with an empty path, when the module's name cannot be had whole or
    // the file name does not fit: a cut-off path could name another folder.
    static bool filePath(HINSTANCE moduleInstance, char* path, size_t pathChars);

private:
    void setValues(const SettingsValues& values);

    int songs;
    int minutes;
    int countMode;
    int stopMethod;
    int finalAction;
    int fadeSeconds;
    // False once this object has seen that no per-user file is there (and
    // made none since): then a load does not look for one, and a save beside
    // the module calls nothing more than it always did.
    bool perUserFileMayExist;
    bool unreadRecord;
    // The values in memory when the record was found held: what differs
    // from them since is the listener's doing.
    SettingsValues unchosen;
};
