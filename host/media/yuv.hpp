// RGB <-> YUVA words (0xYYUUVVAA, alpha in the low byte): BT.601 studio
// range in 8-bit integers, the conversion of every picture that enters or
// leaves the host as RGB (PNG files, the window).
//
//   Y = 16  + (( 66 R + 129 G +  25 B + 128) >> 8)     (16..235)
//   U = 128 + ((-38 R -  74 G + 112 B + 128) >> 8)     (16..240)
//   V = 128 + ((112 R -  94 G -  18 B + 128) >> 8)     (16..240)
// and back, with C = Y - 16, D = U - 128, E = V - 128, each clamped to 0..255:
//   R = (298 C + 409 E + 128) >> 8
//   G = (298 C - 100 D - 208 E + 128) >> 8
//   B = (298 C + 516 D + 128) >> 8
// (>> is an arithmetic shift: it rounds toward minus infinity.)
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace vxhost {

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

} // namespace vxhost
