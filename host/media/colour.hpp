// The colour matrix of video in and out. Frames of up to 576 lines are
// BT.601, taller frames BT.709, both studio range in 0xYYUUVVAA words.
// BT.601 is the host's RGB conversion (host/media/yuv.hpp); BT.709 uses the
// same 8-bit integer form, with rows that sum to 220 (Y) and 0 (U, V) so that
// greys keep neutral chroma:
//
//   Y = 16  + (( 47 R + 157 G +  16 B + 128) >> 8)
//   U = 128 + ((-26 R -  86 G + 112 B + 128) >> 8)
//   V = 128 + ((112 R - 102 G -  10 B + 128) >> 8)
// and back, with C = Y - 16, D = U - 128, E = V - 128, each clamped to 0..255:
//   R = (298 C + 459 E + 128) >> 8
//   G = (298 C -  55 D - 136 E + 128) >> 8
//   B = (298 C + 541 D + 128) >> 8
#pragma once

#include <cstdint>
#include <string>

namespace vxhost {

enum class Matrix { bt601, bt709 };

// The matrix of a format whose frames are `frameHeight` lines high.
Matrix matrixForHeight(int frameHeight);

constexpr uint32_t packYuva(uint32_t y, uint32_t u, uint32_t v, uint32_t a = 255) {
  return y << 24 | u << 16 | v << 8 | a;
}

// The opaque word of an 8-bit full-range RGB colour.
uint32_t rgbToYuva(int r, int g, int b, Matrix matrix);

// The 8-bit RGB colour of "#RRGGBB" (hex digits in either case); false for
// any other text.
bool parseHexRgb(const std::string &text, int &r, int &g, int &b);

struct Rgb {
  uint8_t r, g, b;
};
// The full-range RGB colour of a word (alpha ignored).
Rgb yuvaToRgb(uint32_t word, Matrix matrix);

} // namespace vxhost
