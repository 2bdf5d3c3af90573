// Converts decoded pictures to host frames: the format's frame size, one
// 0xYYUUVVAA word per pixel, studio range, alpha 255.
#pragma once

#include <cstdint>
#include <vector>

#include "host/media/av.hpp"

namespace vxhost {

class FrameConverter {
public:
  FrameConverter(int width, int height);

  // Writes `frame` into `out` (resized to width x height words). An 8-bit
  // 4:4:4 studio-range YUV picture of exactly that size is copied byte for
  // byte. Other YUV pictures are scaled (bicubic) and converted by swscale
  // from their own matrix and range (guessed from their height when unstated)
  // to the matrix of the target height; RGB pictures are scaled as RGB and
  // converted with rgbToYuva. Alpha is dropped (words carry 255). Returns
  // false when the pixel format cannot be converted.
  bool convert(const AVFrame &frame, std::vector<uint32_t> &out);

private:
  int width_, height_;
  av::ScalerPtr scaler_;
  int space_ = -1;         // the source matrix and range scaler_ was set up for
  bool fullRange_ = false;
  std::vector<uint8_t> planes_; // Y, U, V planes of the converted picture
};

} // namespace vxhost
