#pragma once

#include <string>

struct HWND__;

namespace velt {

// Writes the window's client area as it looks now to a PNG file, or a 24-bit BMP file where
// the name ends in .bmp; false if it cannot.
bool SaveClientArea(HWND__* window, const std::string& path);

}  // namespace velt
