#include "host/scenes/frame_convert.hpp"

#include "host/media/colour.hpp"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace vxhost {
namespace {

// Rows of Y, U and V bytes into words. The fixed blocks of 16 let the
// compiler use vector instructions at the optimisation level of a normal
// build; the rest of a row is done one by one.
void packRow(const uint8_t *__restrict y, const uint8_t *__restrict u, const uint8_t *__restrict v,
             uint32_t *__restrict out, int width) {
  int x = 0;
  for (; x + 16 <= width; x += 16)
    for (int i = 0; i < 16; ++i)
      out[x + i] = uint32_t(y[x + i]) << 24 | uint32_t(u[x + i]) << 16 | uint32_t(v[x + i]) << 8 | 0xFFu;
  for (; x < width; ++x)
    out[x] = packYuva(y[x], u[x], v[x]);
}

void packPlanes(const uint8_t *y, const uint8_t *u, const uint8_t *v, int strideY, int strideU,
                int strideV, int width, int height, uint32_t *out) {
  for (int row = 0; row < height; ++row)
    packRow(y + ptrdiff_t{row} * strideY, u + ptrdiff_t{row} * strideU, v + ptrdiff_t{row} * strideV,
            out + ptrdiff_t{row} * width, width);
}

// The deprecated full-range "J" formats are the plain ones with range 1;
// swscale wants the plain format and the range stated separately.
AVPixelFormat plainFormat(AVPixelFormat format, bool &fullRange) {
  switch (format) {
  case AV_PIX_FMT_YUVJ420P: fullRange = true; return AV_PIX_FMT_YUV420P;
  case AV_PIX_FMT_YUVJ422P: fullRange = true; return AV_PIX_FMT_YUV422P;
  case AV_PIX_FMT_YUVJ444P: fullRange = true; return AV_PIX_FMT_YUV444P;
  case AV_PIX_FMT_YUVJ440P: fullRange = true; return AV_PIX_FMT_YUV440P;
  case AV_PIX_FMT_YUVJ411P: fullRange = true; return AV_PIX_FMT_YUV411P;
  default: return format;
  }
}

int swsColourspace(AVColorSpace space, int height) {
  switch (space) {
  case AVCOL_SPC_BT709: return SWS_CS_ITU709;
  case AVCOL_SPC_BT470BG:
  case AVCOL_SPC_SMPTE170M: return SWS_CS_ITU601;
  case AVCOL_SPC_FCC: return SWS_CS_FCC;
  case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
  case AVCOL_SPC_BT2020_NCL:
  case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
  default: return matrixForHeight(height) == Matrix::bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601;
  }
}

} // namespace

FrameConverter::FrameConverter(int width, int height) : width_(width), height_(height) {}

bool FrameConverter::convert(const AVFrame &frame, std::vector<uint32_t> &out) {
  const auto format = static_cast<AVPixelFormat>(frame.format);
  const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(format);
  if (!descriptor)
    return false;
  out.resize(size_t(width_) * height_);
  bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
  const AVPixelFormat source = plainFormat(format, fullRange);
  const bool fourFourFour = source == AV_PIX_FMT_YUV444P || source == AV_PIX_FMT_YUVA444P;
  if (fourFourFour && !fullRange && frame.width == width_ && frame.height == height_) {
    packPlanes(frame.data[0], frame.data[1], frame.data[2], frame.linesize[0], frame.linesize[1],
               frame.linesize[2], width_, height_, out.data());
    return true;
  }
  // RGB pictures are scaled as RGB and then take the host's own RGB
  // conversion, so that a still shows the colours a palette would give.
  const bool rgb = descriptor->flags & AV_PIX_FMT_FLAG_RGB;
  const AVPixelFormat target = rgb ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_YUV444P;
  SwsContext *previous = scaler_.get();
  scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, frame.height, source, width_, height_,
                                     target,
                                     SWS_BICUBIC | SWS_ACCURATE_RND,
                                     nullptr, nullptr, nullptr));
  if (!scaler_)
    return false;
  // Setting the matrices rebuilds swscale's tables: only for a new context
  // or a picture whose matrix or range differs from the last one.
  const int space = swsColourspace(frame.colorspace, frame.height);
  if (!rgb && (scaler_.get() != previous || space != space_ || fullRange != fullRange_)) {
    const Matrix matrix = matrixForHeight(height_);
    sws_setColorspaceDetails(scaler_.get(), sws_getCoefficients(space), fullRange ? 1 : 0,
                             sws_getCoefficients(matrix == Matrix::bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601), 0, 0,
                             1 << 16, 1 << 16);
    space_ = space;
    fullRange_ = fullRange;
  }
  const size_t plane = size_t(width_) * height_;
  planes_.resize(plane * 3);
  uint8_t *dst[4] = {planes_.data(), planes_.data() + plane, planes_.data() + 2 * plane, nullptr};
  int dstStride[4] = {width_, width_, width_, 0};
  if (rgb)
    dstStride[0] = 3 * width_;
  if (sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, dst, dstStride) != height_)
    return false;
  if (rgb) {
    const Matrix matrix = matrixForHeight(height_);
    const uint8_t *p = planes_.data();
    for (size_t i = 0; i < plane; ++i, p += 3)
      out[i] = rgbToYuva(p[0], p[1], p[2], matrix);
  } else {
    packPlanes(dst[0], dst[1], dst[2], width_, width_, width_, width_, height_, out.data());
  }
  return true;
}

} // namespace vxhost
