// The toolkit's look: a dark theme, colours as YUVA words (BT.601 studio
// range of the sRGB values noted beside them).
#pragma once

#include <cstdint>

#include "host/media/yuv.hpp"

namespace vxhost::gui::theme {

constexpr uint32_t rgb(int r, int g, int b, int a = 255) { return rgbaToYuva(r, g, b, a); }

constexpr uint32_t window = rgb(0x1C, 0x1D, 0x21);      // request background
constexpr uint32_t titleBar = rgb(0x26, 0x28, 0x2D);
constexpr uint32_t panel = rgb(0x25, 0x27, 0x2B);       // top-level panel
constexpr uint32_t group = rgb(0x2D, 0x30, 0x35);       // nested (group) panel
constexpr uint32_t border = rgb(0x3A, 0x3D, 0x44);
constexpr uint32_t borderLight = rgb(0x4A, 0x4E, 0x56);
constexpr uint32_t shadow = rgb(0x10, 0x11, 0x13);
constexpr uint32_t control = rgb(0x3B, 0x3F, 0x46);     // button face
constexpr uint32_t controlHover = rgb(0x48, 0x4D, 0x56);
constexpr uint32_t controlDisabled = rgb(0x30, 0x32, 0x37);
constexpr uint32_t well = rgb(0x17, 0x18, 0x1B);        // slider track, field, grid
constexpr uint32_t accent = rgb(0x2D, 0x7C, 0xF0);      // selected, focus, slider fill
constexpr uint32_t accentDim = rgb(0x25, 0x5A, 0xAD);
constexpr uint32_t text = rgb(0xE4, 0xE6, 0xEA);
constexpr uint32_t textDim = rgb(0xA3, 0xA8, 0xB1);     // labels
constexpr uint32_t textDisabled = rgb(0x68, 0x6C, 0x74);
constexpr uint32_t knob = rgb(0xE8, 0xEA, 0xEE);
constexpr uint32_t helpBack = rgb(0x0E, 0x0F, 0x11, 235);
constexpr uint32_t menuBack = rgb(0x22, 0x24, 0x28);

constexpr int radius = 4;       // control corners
constexpr int labelGap = 6;     // between a label and its element
constexpr int scrollBar = 12;   // width of a grid's scroll bar

} // namespace vxhost::gui::theme
