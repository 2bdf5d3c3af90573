// Turning a mask description into pixels: soft-edged part shapes, the stamp
// map and the values the mask file records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "description.hpp"

namespace tileron::masktool {

// An 8-bit grey image, rows without gaps.
struct GreyImage {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
};

// Values of the stamp map from here up are white line work; below, a part index.
inline constexpr int kStampLineWork = 20;

// One part as the mask file records it, in shape-image pixels.
struct BuiltPart {
  GreyImage shape;             // 0 inside, 255 outside, soft edge between
  int centerX = 0, centerY = 0, width = 0, height = 0;
  int scale = 100;
  int markerX = 0, markerY = 0; // on the stamp map; markerX >= 1 (0 means "no marker")
};

struct BuiltBar {
  int left = 0, top = 0, right = 0, bottom = 0; // a line from (left, top) to (right, bottom)
};

struct BuiltMask {
  std::vector<BuiltPart> parts;
  std::vector<BuiltBar> bars;
  GreyImage stamp;
};

// Renders a description at its size. Throws std::runtime_error when a part
// covers no pixel of the frame or does not show on the stamp map.
BuiltMask buildMask(const MaskDescription &description);

// Signed distance, in pixels, from every pixel centre of a width x height
// image to the border of `part` (negative inside), limited to +-limit.
// Borders lying on the frame's edges do not count: a part reaching the edge
// stays solid up to it.
std::vector<float> partDistance(const PartDescription &part, int width, int height, double limit);

} // namespace tileron::masktool
