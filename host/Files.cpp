#include "host/Files.h"

#include <windows.h>

#include <stdio.h>

std::string newFolder(const char* purpose) {
    static int counter = 0;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%snightcap-%s-%lu-%d", temp, purpose, GetCurrentProcessId(), ++counter);
    removeFolder(name);
    CreateDirectoryA(name, NULL);
    return name;
}

std::vector<std::string> filesIn(const std::string& folder) {
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

void removeFolder(const std::string& folder) {
    for (const std::string& name : filesIn(folder)) {
        std::string path = folder + "\\" + name;
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            removeFolder(path);
            continue;
        }
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(folder.c_str());
}

std::vector<unsigned char> readFileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (file != nullptr) {
        int c;
        while ((c = fgetc(file)) != EOF) {
            bytes.push_back(static_cast<unsigned char>(c));
        }
        fclose(file);
    }
    return bytes;
}

bool writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* file = fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

std::vector<unsigned char> settingsBytes(int countMode, int stopMethod, int finalAction, int songs, int minutes,
                                         int fadeSeconds) {
    std::vector<unsigned char> bytes;
    for (int value : {countMode, stopMethod, finalAction, songs, minutes, fadeSeconds}) {
        unsigned int bits = static_cast<unsigned int>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<unsigned char>(bits >> shift));
        }
    }
    return bytes;
}
