#include "app/Layout.h"

#include <stdexcept>

namespace velt {

namespace {
using enum Control;
using K = ControlKind;

constexpr std::array<ControlLayout, 12> kLayout{{
    {Pic, "Pic", K::PictureBox, std::nullopt, 180, 1920, 5055, 75, 10, ""},
    {btnUpgradeFW, "btnUpgradeFW", K::CommandButton, std::nullopt, 840, 2280, 3735, 495, 9,
     "Update Firmware"},
    {Frame1, "Frame1", K::Frame, std::nullopt, 120, 0, 5175, 1695, 0, ""},
    {lblSerialNumber, "lblSerialNumber", K::Label, Frame1, 1560, 1320, 3480, 330, 8, ""},
    {lblVersion, "lblVersion", K::Label, Frame1, 1560, 960, 3540, 330, 7, ""},
    {lblProduct, "lblProduct", K::Label, Frame1, 1560, 600, 3540, 330, 6, ""},
    {lblManuf, "lblManuf", K::Label, Frame1, 1560, 240, 3540, 330, 5, ""},
    {Label2, "Label2", K::Label, Frame1, 120, 960, 1455, 285, 4, "Version"},
    {Label5, "Label5", K::Label, Frame1, 120, 600, 1215, 285, 3, "Product"},
    {Label4, "Label4", K::Label, Frame1, 120, 240, 1215, 285, 2, "Manufacturer"},
    {Label3, "Label3", K::Label, Frame1, 120, 1320, 1455, 285, 1, "Serial Number"},
    {Picture1, "Picture1", K::PictureBox, std::nullopt, 120, 1860, 5175, 195, 11, ""},
}};
}  // namespace

std::span<const ControlLayout> WindowLayout() {
    return kLayout;
}

const ControlLayout& LayoutOf(Control control) {
    for (const auto& entry : kLayout) {
        if (entry.control == control) {
            return entry;
        }
    }
    throw std::out_of_range("control not in the layout");
}

}  // namespace velt
