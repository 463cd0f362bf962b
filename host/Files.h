#pragma once
// Folders and files for the rig: each run of a test or a probe keeps the
// plug-in's settings in a fresh folder of its own.

#include <string>
#include <vector>

// A new, empty folder under the system's temporary folder.
std::string newFolder(const char* purpose);
// The folder and everything in it, read-only files included.
void removeFolder(const std::string& folder);
// The names of the files and folders in the folder.
std::vector<std::string> filesIn(const std::string& folder);

// Empty when the file cannot be read.
std::vector<unsigned char> readFileBytes(const std::string& path);
bool writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// The settings record as a save writes it, in the file's order: choices
// first, the counts, then the fade's length in seconds (24 bytes).
std::vector<unsigned char> settingsBytes(int countMode, int stopMethod, int finalAction, int songs, int minutes,
                                         int fadeSeconds = 5);
