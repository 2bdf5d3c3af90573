#include "host/media/yuv.hpp"

#include <algorithm>
#include <charconv>

namespace vxhost {

Matrix matrixForHeight(int frameHeight) { return frameHeight > 576 ? Matrix::bt709 : Matrix::bt601; }

uint32_t rgbToYuva(int r, int g, int b, Matrix matrix) {
  if (matrix == Matrix::bt601)
    return rgbaToYuva(r, g, b, 255);
  const int y = 16 + ((47 * r + 157 * g + 16 * b + 128) >> 8);
  const int u = 128 + ((-26 * r - 86 * g + 112 * b + 128) >> 8);
  const int v = 128 + ((112 * r - 102 * g - 10 * b + 128) >> 8);
  return packYuva(uint32_t(y), uint32_t(u), uint32_t(v));
}

bool parseHexRgb(const std::string &text, int &r, int &g, int &b) {
  unsigned bits = 0;
  if (text.size() != 7 || text[0] != '#' || text[1] == '+' || text[1] == '-')
    return false;
  const auto [end, error] = std::from_chars(text.data() + 1, text.data() + 7, bits, 16);
  if (error != std::errc() || end != text.data() + 7)
    return false;
  r = int(bits >> 16), g = int(bits >> 8 & 0xFF), b = int(bits & 0xFF);
  return true;
}

Rgb yuvaToRgb(uint32_t word, Matrix matrix) {
  if (matrix == Matrix::bt601) {
    const Rgba p = yuvaToRgba(word);
    return {p.r, p.g, p.b};
  }
  const int c = int(word >> 24) - 16, d = int(word >> 16 & 0xFF) - 128, e = int(word >> 8 & 0xFF) - 128;
  const auto clamp = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
  return {clamp((298 * c + 459 * e + 128) >> 8), clamp((298 * c - 55 * d - 136 * e + 128) >> 8),
          clamp((298 * c + 541 * d + 128) >> 8)};
}

} // namespace vxhost
