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
WriteResult writeRecord(const char* path, const unsigned char* record);

enum ReadResult {
    WholeRecord,
    NoFile,
    NoRecord,       // shorter than a record
    InUse,          // another program holds it
    Unreadable,     // there, but refused for another reason
};
// Reads the first SettingsFileSize bytes; the rest of a longer file is left.
ReadResult readRecord(const char* path, unsigned char* record);

// True when the file is gone, or was never there.
bool removeRecord(const char* path);
