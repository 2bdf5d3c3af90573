// Shared by the compositing, bar fill and kernel tests: a fresh host per test
// (temporary VXHOME, captured log, no live image left) and tiny host images.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "host/images/images.hpp"
#include "host/log/logger.hpp"
#include "host/reset.hpp"
#include "support/handles.hpp"
#include "support/reports.hpp"
#include "support/sandbox.hpp"

namespace testing_support {

class HostImageTest : public Sandbox {
protected:
  // Level and source of every record logged since the last call.
  static std::vector<std::pair<int, std::string>> reports() {
    std::vector<std::pair<int, std::string>> out;
    for (const auto &record : takeReports()) out.emplace_back(record.level, record.source);
    return out;
  }
};

// A host image of `kind` with every 32-bit pixel (kind 1) or byte (kind 3) = fill.
inline tileron::OpImagePtr makeImage(int width, int height, int kind, uint32_t fill) {
  tileron::OpImagePtr image = tileron::allocOpImage(width, height, kind);
  if (!image) throw std::runtime_error("opAllocImage failed");
  for (int i = 0; i < width * height; ++i) {
    if (kind == OP_KIND_YUVA)
      tileron::pixels32(image.get())[i] = fill;
    else
      image->pixels[i] = static_cast<uint8_t>(fill);
  }
  return image;
}

inline uint32_t &px(const OpImage *image, int x, int y) {
  return tileron::pixels32(image)[y * image->width + x];
}
inline uint8_t alphaAt(const OpImage *image, int x, int y) { return px(image, x, y) & 0xFF; }

// Deterministic pseudo-random words (xorshift32).
struct Random {
  uint32_t state;
  explicit Random(uint32_t seed) : state(seed ? seed : 1) {}
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
};

} // namespace testing_support
