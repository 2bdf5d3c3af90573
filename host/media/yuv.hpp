// The host's YUV arithmetic: YUVA words (0xYYUUVVAA, alpha in the low byte)
// and the two colour matrices of video in and out, both studio range in
// 8-bit integers. BT.601 is also the conversion of every picture that enters
// or leaves the host as RGB (PNG files, the window); frames of up to 576
// lines are BT.601, taller frames BT.709.
//
// BT.601:
//   Y = 16  + (( 66 R + 129 G +  25 B + 128) >> 8)     (16..235)
//   U = 128 + ((-38 R -  74 G + 112 B + 128) >> 8)     (16..240)
//   V = 128 + ((112 R -  94 G -  18 B + 128) >> 8)     (16..240)
// and back, with C = Y - 16, D = U - 128, E = V - 128, each clamped to 0..255:
//   R = (298 C + 409 E + 128) >> 8
//   G = (298 C - 100 D - 208 E + 128) >> 8
//   B = (298 C + 516 D + 128) >> 8
//
// BT.709, the same 8-bit integer form, with rows that sum to 220 (Y) and 0
// (U, V) so that greys keep neutral chroma:
//   Y = 16  + (( 47 R + 157 G +  16 B + 128) >> 8)
//   U = 128 + ((-26 R -  86 G + 112 B + 128) >> 8)
//   V = 128 + ((112 R - 102 G -  10 B + 128) >> 8)
// and back:
//   R = (298 C + 459 E + 128) >> 8
//   G = (298 C -  55 D - 136 E + 128) >> 8
//   B = (298 C + 541 D + 128) >> 8
// (>> is an arithmetic shift: it rounds toward minus infinity.)
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vxhost {

constexpr uint32_t packYuva(uint32_t y, uint32_t u, uint32_t v, uint32_t a = 255) {
  return y << 24 | u << 16 | v << 8 | a;
}

// ---- BT.601 with alpha: RGBA pictures ----------------------------------------

struct Rgba {
  uint8_t r, g, b, a;
};

constexpr uint32_t rgbaToYuva(int r, int g, int b, int a) {
  const int y = 16 + ((66 * r + 129 * g + 25 * b + 128) >> 8);
  const int u = 128 + ((-38 * r - 74 * g + 112 * b + 128) >> 8);
  const int v = 128 + ((112 * r - 94 * g - 18 * b + 128) >> 8);
  return uint32_t(y) << 24 | uint32_t(u) << 16 | uint32_t(v) << 8 | uint32_t(a & 0xFF);
}

constexpr Rgba yuvaToRgba(uint32_t yuva) {
  const int c = int(yuva >> 24) - 16, d = int((yuva >> 16) & 0xFF) - 128,
            e = int((yuva >> 8) & 0xFF) - 128;
  auto clamp = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
  return Rgba{clamp((298 * c + 409 * e + 128) >> 8), clamp((298 * c - 100 * d - 208 * e + 128) >> 8),
              clamp((298 * c + 516 * d + 128) >> 8), static_cast<uint8_t>(yuva & 0xFF)};
}

// Rows of `count` pixels: RGBA bytes (R first) <-> YUVA words.
inline void rgbaRowToYuva(const uint8_t *rgba, uint32_t *yuva, size_t count) {
  for (size_t i = 0; i < count; ++i, rgba += 4)
    yuva[i] = rgbaToYuva(rgba[0], rgba[1], rgba[2], rgba[3]);
}
inline void yuvaRowToRgba(const uint32_t *yuva, uint8_t *rgba, size_t count) {
  for (size_t i = 0; i < count; ++i, rgba += 4) {
    const Rgba p = yuvaToRgba(yuva[i]);
    rgba[0] = p.r, rgba[1] = p.g, rgba[2] = p.b, rgba[3] = p.a;
  }
}

// ---- the matrices of video frames -------------------------------------------

enum class Matrix { bt601, bt709 };

// The matrix of a format whose frames are `frameHeight` lines high.
Matrix matrixForHeight(int frameHeight);

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
