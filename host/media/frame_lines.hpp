// The lines of one frame as the writers read them, and the row kernel that
// splits them into planes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vxhost {

// Line y is row y / 2 of field y % 2, rows `stride` words apart; a missing
// field reads as black lines.
struct FrameLines {
  const uint32_t *fields[2];
  ptrdiff_t stride;
  const uint32_t *black;
  const uint32_t *operator[](int y) const {
    const uint32_t *field = fields[y & 1];
    return field ? field + ptrdiff_t(y >> 1) * stride : black;
  }
};

// The Y, U and V bytes of `height` lines of `width` words into three planes
// (alpha dropped); strides in bytes.
void unpackLines(const FrameLines &lines, int width, int height, uint8_t *const planes[3], const int strides[3]);

} // namespace vxhost
