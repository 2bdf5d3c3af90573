// Converts decoded pictures to the form sources keep their frames in: the
// format's frame size as planar 8-bit 4:4:4 studio-range YUV; and packs lines
// of such a picture into host words (0xYYUUVVAA, alpha 255).
#pragma once

#include <cstdint>
#include <vector>

#include "host/media/av.hpp"

namespace vxhost {

class FrameConverter {
public:
  FrameConverter(int width, int height);

  // Makes `out` the picture of `frame` at width x height, its planes 0, 1
  // and 2 holding Y, U and V. An 8-bit 4:4:4 studio-range YUV picture of
  // exactly that size becomes a new reference to its own planes (no colour
  // conversion, no scaling, no copy). Other YUV pictures are scaled
  // (bicubic) and converted by swscale from their own matrix and range
  // (guessed from their height when unstated) to the matrix of the target
  // height; RGB pictures are scaled as RGB and converted with rgbToYuva.
  // Alpha is dropped. Buffers that `out` holds alone are reused. Returns
  // false when the pixel format cannot be converted.
  bool convert(const AVFrame &frame, AVFrame &out);

private:
  // Gives `out` YUV 4:4:4 planes of width x height that it may write.
  bool makeWritable(AVFrame &out) const;

  int width_, height_;
  av::ScalerPtr scaler_;
  int space_ = -1;         // the source matrix and range scaler_ was set up for
  bool fullRange_ = false;
  std::vector<uint8_t> rgb_; // an RGB picture scaled to width x height
};

// One line of Y, U and V bytes into `width` words. The plain version is the
// reference; packRow gives the same words faster where the processor allows.
void packRowPlain(const uint8_t *y, const uint8_t *u, const uint8_t *v, uint32_t *out, int width);
void packRow(const uint8_t *y, const uint8_t *u, const uint8_t *v, uint32_t *out, int width);

// Lines first, first + step, … (`count` of them) of a picture that
// FrameConverter made, as words into `out`, picture.width words a line.
void packLines(const AVFrame &picture, int first, int step, int count, uint32_t *out);

} // namespace vxhost
