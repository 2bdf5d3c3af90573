// Converts decoded pictures to the form sources keep their frames in: the
// format's frame size as planar 8-bit 4:4:4 studio-range YUV (with alpha
// where the picture keeps its own); and packs lines of such a picture into
// host words (0xYYUUVVAA).
#pragma once

#include <cstdint>
#include <vector>

#include "host/media/av.hpp"

namespace vxhost {

// How a picture of another shape is laid in the frame.
enum class Fit {
  fill, // stretched to the whole frame
  fit,  // whole, keeping its aspect, centred; the borders are transparent
  crop  // covering the frame, keeping its aspect, centred; the rest cut off
};

// What is known of a clip's pictures besides their pixels.
struct PictureLayout {
  Fit fit = Fit::fill;
  int formatAspect = 1000;          // the format's pixel aspect, per mille
  AVRational sampleAspect{1, 1};    // the clip's pixel aspect
  int quarterTurns = 0;             // clockwise quarter turns to show the picture upright (0..3)
  bool keepAlpha = false;           // keep the picture's alpha; else every pixel is opaque
  bool fieldWise = false;           // an interlaced clip: its fields are scaled apart
};

// The layout the stream asks for: its pixel aspect, its display matrix
// (rotations by quarter turns; others are ignored) and whether it is
// interlaced; fit, formatAspect and keepAlpha are left to the caller.
PictureLayout layoutOfStream(const AVStream &stream);

class FrameConverter {
public:
  FrameConverter(int width, int height, const PictureLayout &layout = {});

  // Makes `out` the picture of `frame` at width x height, its planes 0, 1
  // and 2 holding Y, U and V, and plane 3 alpha when the layout keeps alpha
  // and the picture has it or has transparent borders (out.format is then
  // YUVA444P). An 8-bit 4:4:4 studio-range YUV picture of exactly that size,
  // filled, unturned and not field-wise, becomes a new reference to its own
  // planes (no colour conversion, no scaling, no copy). Other YUV pictures
  // are scaled (bicubic) and converted by swscale from their own matrix and
  // range (guessed from their height when unstated) to the matrix of the
  // target height; RGB pictures are scaled as RGB and converted with
  // rgbToYuva. Buffers that `out` holds alone are reused. Returns false when
  // the pixel format cannot be converted.
  bool convert(const AVFrame &frame, AVFrame &out);

private:
  // Gives `out` planes of `format` at width x height that it may write.
  bool makeWritable(AVFrame &out, AVPixelFormat format) const;
  // Scales and converts `frame` to a `w` x `h` picture of 8-bit 4:4:4
  // studio-range planes (alpha into planes[3] when not null).
  bool scaleInto(const AVFrame &frame, int w, int h, uint8_t *const planes[4], const int strides[4]);
  bool scaleOnce(const AVFrame &frame, const uint8_t *const src[4], const int srcStrides[4], int srcH, int w, int h,
                 uint8_t *const planes[4], const int strides[4], bool alpha);

  int width_, height_;
  PictureLayout layout_;
  av::ScalerPtr scaler_;
  int space_ = -1;         // the source matrix and range scaler_ was set up for
  bool fullRange_ = false;
  std::vector<uint8_t> rgb_; // an RGB(A) picture scaled to the target size
  av::FramePtr staging_;     // the scaled picture before turning and placing
};

// One line of Y, U and V bytes into `width` words. The plain version is the
// reference; packRow gives the same words faster where the processor allows.
void packRowPlain(const uint8_t *y, const uint8_t *u, const uint8_t *v, uint32_t *out, int width);
void packRow(const uint8_t *y, const uint8_t *u, const uint8_t *v, uint32_t *out, int width);

// Lines first, first + step, … (`count` of them) of a picture that
// FrameConverter made, as words into `out`, picture.width words a line;
// alpha from plane 3 when the picture is YUVA444P, else 255.
void packLines(const AVFrame &picture, int first, int step, int count, uint32_t *out);

} // namespace vxhost
