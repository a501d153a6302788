#include "app/win32/ClientImage.h"

#include <windows.h>

#include <cstdio>

#include "app/win32/PngFile.h"
#include "platform/WindowsText.h"

namespace velt {

bool SaveClientArea(HWND window, const std::string& path) {
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0) {
        return false;
    }
    // A .bmp name gets the pixels as they are; any other a PNG, as image viewers expect.
    const bool bmp =
        path.size() >= 4 && _wcsicmp(Utf16(path.substr(path.size() - 4)).c_str(), L".bmp") == 0;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    // Bottom-up, as a .bmp file stores its rows; top-down for the PNG encoder.
    header.biHeight = bmp ? height : -height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3U;
    header.biSizeImage = rowBytes * static_cast<DWORD>(height);

    HDC windowDc = GetDC(window);
    void* bits = nullptr;
    HBITMAP image = CreateDIBSection(windowDc, reinterpret_cast<BITMAPINFO*>(&header),
                                     DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(windowDc);
    HGDIOBJ old = SelectObject(memory, image);
    // Copied from what the window shows, brought up to date first. (PrintWindow would
    // work for a covered window too, but wine's leaves the child windows out.)
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    BitBlt(memory, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    GdiFlush();

    bool written = false;
    if (!bmp) {
        written = WritePng(path, width, height, static_cast<const std::uint8_t*>(bits), rowBytes);
    } else if (FILE* out = _wfopen(Utf16(path).c_str(), L"wb")) {
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;  // "BM"
        file.bfOffBits = sizeof file + sizeof header;
        file.bfSize = file.bfOffBits + header.biSizeImage;
        written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                  std::fwrite(&header, sizeof header, 1, out) == 1 &&
                  std::fwrite(bits, header.biSizeImage, 1, out) == 1;
        written = std::fclose(out) == 0 && written;
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(image);
    ReleaseDC(window, windowDc);
    return written;
}

}  // namespace velt
