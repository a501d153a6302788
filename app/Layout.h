#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "app/WindowSystem.h"

namespace velt {

enum class ControlKind { PictureBox, CommandButton, Frame, Label };

// One control as laid out; positions and sizes in twips, relative to the parent's
// client area.
struct ControlLayout {
    Control control;
    std::string_view name;
    ControlKind kind;
    std::optional<Control> parent;  // empty: the window itself
    int left;
    int top;
    int width;
    int height;
    int tabIndex;
    std::string_view caption;
};

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 5415;
inline constexpr int kClientHeightTwips = 2970;

inline constexpr std::string_view kWindowTitle = "Velt-USB Firmware Update";

// Every control, from the top of the stacking order down.
std::span<const ControlLayout> WindowLayout();
const ControlLayout& LayoutOf(Control control);

}  // namespace velt
