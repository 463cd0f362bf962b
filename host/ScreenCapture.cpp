#include "host/ScreenCapture.h"

#include <stdio.h>

bool saveScreenArea(const RECT& area, const std::string& bmpPath) {
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) {
        return false;
    }
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, NULL, 0);
    bool saved = false;
    if (bitmap != NULL) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        DWORD pixelBytes = static_cast<DWORD>(((width * 3 + 3) & ~3) * height);
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4d42;
        file.bfOffBits = sizeof file + sizeof header;
        file.bfSize = file.bfOffBits + pixelBytes;
        FILE* out = fopen(bmpPath.c_str(), "wb");
        if (out != nullptr) {
            saved = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&header, sizeof header, 1, out) == 1 &&
                    fwrite(bits, 1, pixelBytes, out) == pixelBytes;
            saved = fclose(out) == 0 && saved;
        }
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return saved;
}
