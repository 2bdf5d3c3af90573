#include "host/media/frame_lines.hpp"

namespace vxhost {

void unpackLines(const FrameLines &lines, int width, int height, uint8_t *const planes[3], const int strides[3]) {
  for (int y = 0; y < height; ++y) {
    const uint32_t *line = lines[y];
    uint8_t *py = planes[0] + ptrdiff_t{y} * strides[0];
    uint8_t *pu = planes[1] + ptrdiff_t{y} * strides[1];
    uint8_t *pv = planes[2] + ptrdiff_t{y} * strides[2];
    for (int x = 0; x < width; ++x) {
      py[x] = uint8_t(line[x] >> 24);
      pu[x] = uint8_t(line[x] >> 16);
      pv[x] = uint8_t(line[x] >> 8);
    }
  }
}

} // namespace vxhost
