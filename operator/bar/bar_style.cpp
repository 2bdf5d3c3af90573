#include "bar/bar_style.hpp"

namespace tileron {

BarStyle defaultBarStyle() {
  BarStyle style{}; // reserved bytes and texture settings all zero
  style.mode = kBarColour;
  style.colourA = 0x108080FFu; // black
  style.colourB = 0xEB8080FFu; // white
  style.palette[0] = 0xEB8080FFu;
  style.palette[1] = 0x108080FFu;
  style.palette[2] = 0x36A066FFu;
  style.palette[3] = 0x6080A5FFu;
  style.palette[4] = 0x795A65FFu;
  style.palette[5] = 0x895A85FFu;
  return style;
}

uint32_t selectedColour(const BarStyle &style) {
  const int index = style.paletteIndex;
  return style.palette[(index >= 0 && index < kPaletteSize) ? index : 0];
}

} // namespace tileron
