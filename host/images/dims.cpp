// opCalcDims: fitting a picture into a box across two pixel aspects.
#include <algorithm>
#include <cstdint>

#include "vxhost/oplibcommon.h"

namespace {

using Wide = __int128; // products of up to four 32-bit factors

// num / den rounded to the nearest integer, halves up (num, den > 0).
Wide roundedQuotient(Wide num, Wide den) { return (2 * num + den) / (2 * den); }

} // namespace

// The picture shows w * sourceAspect : h. In the box's pixels (targetAspect)
// that is a width/height ratio of (w * sourceAspect) / (h * targetAspect). The
// result takes the full box height when the width that goes with it fits,
// else the full box width; the other side is rounded to the nearest integer
// (halves up) and is at least 1. Both sides are limited to 65535, the range
// of the 16-bit fields written.
extern "C" int32_t opCalcDims(uint16_t *width, uint16_t *height, int32_t sourceAspect,
                              int32_t maxWidth, int32_t maxHeight, int32_t targetAspect, int32_t) {
  if (!width || !height || *width == 0 || *height == 0 || sourceAspect <= 0 || targetAspect <= 0 ||
      maxWidth <= 0 || maxHeight <= 0)
    return 0;
  const Wide w = *width, h = *height, sa = sourceAspect, ta = targetAspect;
  const Wide boxW = std::min<int32_t>(maxWidth, 65535), boxH = std::min<int32_t>(maxHeight, 65535);
  Wide outW, outH;
  if (boxH * w * sa <= boxW * h * ta) {
    outH = boxH;
    outW = roundedQuotient(boxH * w * sa, h * ta);
  } else {
    outW = boxW;
    outH = roundedQuotient(boxW * h * ta, w * sa);
  }
  *width = static_cast<uint16_t>(std::max<Wide>(outW, 1));
  *height = static_cast<uint16_t>(std::max<Wide>(outH, 1));
  return 1;
}
