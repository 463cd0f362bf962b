#pragma once
// Pictures of what is on screen, for the README's screenshots.

#include <windows.h>

#include <string>

// Copies an area of the screen into a 24-bit BMP file.
bool saveScreenArea(const RECT& area, const std::string& bmpPath);
