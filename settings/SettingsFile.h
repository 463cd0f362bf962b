#pragma once
// The settings record on disk: read whole or not at all, and written safely
// (a sibling first, then moved over the file), so that a failure on the way
// never leaves a damaged or empty file behind.

#include "settings/SettingsRecord.h"

enum WriteResult {
    Written,
    KeptReadOnly,   // a read-only file is the user's word that it must not change
    Held,           // another program holds the file: not replaced
    NotWritten,
};
// Writes SettingsRecordSize bytes.
WriteResult writeRecord(const char* path, const unsigned char* record);

enum ReadResult {
    WholeRecord,
    NoFile,
    NoRecord,       // shorter than a record
    InUse,          // another program holds it
    Unreadable,     // there, but refused for another reason
};
// Reads up to SettingsRecordSize bytes into record, at least SettingsFileSize
// for a whole one; size says how many. The rest of a longer file is left.
ReadResult readRecord(const char* path, unsigned char* record, int& size);

// True when the file is gone, or was never there.
bool removeRecord(const char* path);
