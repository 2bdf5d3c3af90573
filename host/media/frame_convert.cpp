#include "host/media/frame_convert.hpp"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "host/media/yuv.hpp"
#include "host/support/cpu.hpp"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

namespace vxhost {
namespace {

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

#define VXHOST_AVX2 __attribute__((target("avx2")))

// 32 pixels a step: interleaving A with V and U with Y gives byte pairs, and
// interleaving those pairs gives the bytes A V U Y of each word (0xYYUUVVAA
// in memory order). The unpacks work within 128-bit lanes, so the words of
// pixels 0-3 and 16-19 share a register; the permutes put them back in order.
VXHOST_AVX2 void packRowAvx2(const uint8_t *y, const uint8_t *u, const uint8_t *v, uint32_t *out, int width) {
  const __m256i alpha = _mm256_set1_epi8(-1);
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m256i ys = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(y + x));
    const __m256i us = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(u + x));
    const __m256i vs = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(v + x));
    const __m256i avLow = _mm256_unpacklo_epi8(alpha, vs), avHigh = _mm256_unpackhi_epi8(alpha, vs);
    const __m256i uyLow = _mm256_unpacklo_epi8(us, ys), uyHigh = _mm256_unpackhi_epi8(us, ys);
    const __m256i w0 = _mm256_unpacklo_epi16(avLow, uyLow);   // pixels 0-3 | 16-19
    const __m256i w1 = _mm256_unpackhi_epi16(avLow, uyLow);   // 4-7 | 20-23
    const __m256i w2 = _mm256_unpacklo_epi16(avHigh, uyHigh); // 8-11 | 24-27
    const __m256i w3 = _mm256_unpackhi_epi16(avHigh, uyHigh); // 12-15 | 28-31
    auto *o = reinterpret_cast<__m256i *>(out + x);
    _mm256_storeu_si256(o, _mm256_permute2x128_si256(w0, w1, 0x20));
    _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(w2, w3, 0x20));
    _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(w0, w1, 0x31));
    _mm256_storeu_si256(o + 3, _mm256_permute2x128_si256(w2, w3, 0x31));
  }
  packRowPlain(y + x, u + x, v + x, out + x, width - x);
}

} // namespace

void packRowPlain(const uint8_t *y, const uint8_t *u, const uint8_t *v, uint32_t *out, int width) {
  for (int x = 0; x < width; ++x)
    out[x] = packYuva(y[x], u[x], v[x]);
}

void packRow(const uint8_t *y, const uint8_t *u, const uint8_t *v, uint32_t *out, int width) {
  (haveAvx2() ? packRowAvx2 : packRowPlain)(y, u, v, out, width);
}

PictureLayout layoutOfStream(const AVStream &stream) {
  PictureLayout layout;
  const AVCodecParameters &p = *stream.codecpar;
  const AVRational sar = stream.sample_aspect_ratio.num > 0 ? stream.sample_aspect_ratio : p.sample_aspect_ratio;
  if (sar.num > 0 && sar.den > 0)
    layout.sampleAspect = sar;
  if (const uint8_t *matrix = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr)) {
    // The matrix turns the picture counterclockwise by this many degrees to
    // show it; showing it upright turns it back, clockwise.
    const double degrees = -av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
    if (!std::isnan(degrees)) {
      const long quarters = std::lround(degrees / 90);
      if (std::abs(degrees - 90.0 * double(quarters)) < 1)
        layout.quarterTurns = int(((quarters % 4) + 4) % 4);
    }
  }
  layout.fieldWise = p.field_order == AV_FIELD_TT || p.field_order == AV_FIELD_BB || p.field_order == AV_FIELD_TB ||
                     p.field_order == AV_FIELD_BT;
  return layout;
}

FrameConverter::FrameConverter(int width, int height, const PictureLayout &layout)
    : width_(width), height_(height), layout_(layout) {}

bool FrameConverter::makeWritable(AVFrame &out, AVPixelFormat format) const {
  if (out.data[0] && out.format == format && out.width == width_ && out.height == height_ &&
      av_frame_is_writable(&out))
    return true;
  av_frame_unref(&out);
  out.format = format;
  out.width = width_;
  out.height = height_;
  return av_frame_get_buffer(&out, 0) >= 0;
}

bool FrameConverter::scaleOnce(const AVFrame &frame, const uint8_t *const src[4], const int srcStrides[4], int srcH,
                               int w, int h, uint8_t *const planes[4], const int strides[4], bool alpha) {
  const auto format = static_cast<AVPixelFormat>(frame.format);
  const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(format);
  bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
  const AVPixelFormat source = plainFormat(format, fullRange);
  // RGB pictures are scaled as RGB and then take the host's own RGB
  // conversion, so that a still shows the colours a palette would give.
  const bool rgb = descriptor->flags & AV_PIX_FMT_FLAG_RGB;
  const AVPixelFormat target = rgb ? (alpha ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24)
                                   : (alpha ? AV_PIX_FMT_YUVA444P : AV_PIX_FMT_YUV444P);
  SwsContext *previous = scaler_.get();
  scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, srcH, source, w, h, target,
                                     SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
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
  if (!rgb)
    return sws_scale(scaler_.get(), src, srcStrides, 0, srcH, planes, strides) == h;

  const int bytes = alpha ? 4 : 3;
  rgb_.resize(size_t(w) * h * bytes);
  uint8_t *dst[4] = {rgb_.data(), nullptr, nullptr, nullptr};
  int dstStride[4] = {bytes * w, 0, 0, 0};
  if (sws_scale(scaler_.get(), src, srcStrides, 0, srcH, dst, dstStride) != h)
    return false;
  const Matrix matrix = matrixForHeight(height_);
  const uint8_t *p = rgb_.data();
  for (int y = 0; y < h; ++y) {
    uint8_t *row[4];
    for (int i = 0; i < 4; ++i)
      row[i] = planes[i] ? planes[i] + ptrdiff_t{y} * strides[i] : nullptr;
    for (int x = 0; x < w; ++x, p += bytes) {
      const uint32_t word = rgbToYuva(p[0], p[1], p[2], matrix);
      row[0][x] = uint8_t(word >> 24);
      row[1][x] = uint8_t(word >> 16);
      row[2][x] = uint8_t(word >> 8);
      if (alpha)
        row[3][x] = p[3];
    }
  }
  return true;
}

bool FrameConverter::scaleInto(const AVFrame &frame, int w, int h, uint8_t *const planes[4], const int strides[4]) {
  const bool alpha = planes[3] != nullptr;
  if (!layout_.fieldWise || frame.height % 2 || h % 2)
    return scaleOnce(frame, frame.data, frame.linesize, frame.height, w, h, planes, strides, alpha);
  // Each field alone: its lines (and, in 4:2:0, its chroma lines) are every
  // other line from its parity on, so the fields never mix.
  for (int parity = 0; parity < 2; ++parity) {
    const uint8_t *src[4] = {};
    int srcStrides[4] = {};
    uint8_t *dst[4] = {};
    int dstStrides[4] = {};
    for (int i = 0; i < 4; ++i) {
      if (frame.data[i]) {
        src[i] = frame.data[i] + parity * frame.linesize[i];
        srcStrides[i] = 2 * frame.linesize[i];
      }
      if (planes[i]) {
        dst[i] = planes[i] + parity * strides[i];
        dstStrides[i] = 2 * strides[i];
      }
    }
    if (!scaleOnce(frame, src, srcStrides, frame.height / 2, w, h / 2, dst, dstStrides, alpha))
      return false;
  }
  return true;
}

namespace {

// The picture's rectangle in the frame: size and top left corner, which lie
// outside the frame for a crop. Display shapes are compared as ratios of
// integers: the picture's aw : ah against the frame's tw : th.
struct Placement {
  int width, height, left, top;
};

Placement placementOf(const PictureLayout &layout, int pictureWidth, int pictureHeight, int width, int height) {
  if (layout.fit == Fit::fill)
    return {width, height, 0, 0};
  // Stored pictures show sw sarN : sh sarD; a quarter turn swaps the sides.
  int64_t aw = int64_t{pictureWidth} * layout.sampleAspect.num, ah = int64_t{pictureHeight} * layout.sampleAspect.den;
  if (layout.quarterTurns % 2)
    std::swap(aw, ah);
  const int64_t tw = int64_t{width} * layout.formatAspect, th = int64_t{height} * 1000;
  // Keeping the aspect: a rectangle `width` wide is width pa ah / (1000 aw)
  // lines high, one `height` high is height 1000 aw / (pa ah) pixels wide
  // (rounded to nearest; at most 16384 either way).
  const auto linesFor = [&](int64_t w) {
    return int(std::clamp<int64_t>((2 * w * layout.formatAspect * ah + 1000 * aw) / (2000 * aw), 1, 16384));
  };
  const auto pixelsFor = [&](int64_t h) {
    return int(std::clamp<int64_t>((2 * h * 1000 * aw + layout.formatAspect * ah) / (2 * layout.formatAspect * ah),
                                   1, 16384));
  };
  const bool wider = aw * th >= tw * ah;
  Placement p{width, height, 0, 0};
  if (wider == (layout.fit == Fit::fit))
    p.height = linesFor(width);
  else
    p.width = pixelsFor(height);
  if (layout.fit == Fit::fit)
    p.width = std::min(p.width, width), p.height = std::min(p.height, height);
  if (layout.fieldWise)
    p.height += p.height % 2;
  // Centred; halves round down, and field-wise pictures start on a top line.
  const auto half = [](int d) { return d >= 0 ? d / 2 : -((-d + 1) / 2); };
  p.left = half(width - p.width);
  p.top = half(height - p.height);
  if (layout.fieldWise && p.top % 2)
    --p.top;
  return p;
}

} // namespace

bool FrameConverter::convert(const AVFrame &frame, AVFrame &out) {
  const auto format = static_cast<AVPixelFormat>(frame.format);
  const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(format);
  if (!descriptor)
    return false;
  bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
  const AVPixelFormat source = plainFormat(format, fullRange);
  const bool pictureAlpha = layout_.keepAlpha && (descriptor->flags & AV_PIX_FMT_FLAG_ALPHA);
  const bool placed = layout_.fit != Fit::fill || layout_.quarterTurns != 0;
  const bool fourFourFour = source == AV_PIX_FMT_YUV444P || source == AV_PIX_FMT_YUVA444P;
  if (!placed && !layout_.fieldWise && fourFourFour && !fullRange && frame.width == width_ &&
      frame.height == height_) {
    av_frame_unref(&out);
    if (av_frame_ref(&out, &frame) < 0)
      return false;
    out.format = pictureAlpha ? AV_PIX_FMT_YUVA444P : AV_PIX_FMT_YUV444P;
    return true;
  }
  // Borders of a fitted picture are transparent where alpha is kept.
  const bool alphaOut = pictureAlpha || (layout_.keepAlpha && layout_.fit == Fit::fit);
  if (!makeWritable(out, alphaOut ? AV_PIX_FMT_YUVA444P : AV_PIX_FMT_YUV444P))
    return false;
  if (!placed) {
    uint8_t *planes[4] = {out.data[0], out.data[1], out.data[2], pictureAlpha ? out.data[3] : nullptr};
    return scaleInto(frame, width_, height_, planes, out.linesize);
  }

  // Scaled at the rectangle's size before the turn, then turned and placed.
  const Placement p = placementOf(layout_, frame.width, frame.height, width_, height_);
  const bool odd = layout_.quarterTurns % 2;
  const int sw = odd ? p.height : p.width, sh = odd ? p.width : p.height;
  if (!staging_ || staging_->width != sw || staging_->height != sh) {
    staging_ = av::makeFrame();
    staging_->format = AV_PIX_FMT_YUVA444P;
    staging_->width = sw;
    staging_->height = sh;
    if (av_frame_get_buffer(staging_.get(), 0) < 0)
      return false;
  }
  uint8_t *planes[4] = {staging_->data[0], staging_->data[1], staging_->data[2],
                        pictureAlpha ? staging_->data[3] : nullptr};
  if (!scaleInto(frame, sw, sh, planes, staging_->linesize))
    return false;
  static constexpr uint8_t kBorder[4] = {16, 128, 128, 0}; // black, transparent
  const int planeCount = alphaOut ? 4 : 3;
  for (int y = 0; y < height_; ++y) {
    const int ry = y - p.top;
    for (int i = 0; i < planeCount; ++i) {
      uint8_t *row = out.data[i] + ptrdiff_t{y} * out.linesize[i];
      for (int x = 0; x < width_; ++x) {
        const int rx = x - p.left;
        if (rx < 0 || ry < 0 || rx >= p.width || ry >= p.height) {
          row[x] = kBorder[i];
          continue;
        }
        // The stored pixel shown at (rx, ry) after the clockwise turns.
        int sx = rx, sy = ry;
        switch (layout_.quarterTurns) {
        case 1: sx = ry, sy = sh - 1 - rx; break;
        case 2: sx = sw - 1 - rx, sy = sh - 1 - ry; break;
        case 3: sx = sw - 1 - ry, sy = rx; break;
        default: break;
        }
        row[x] = i == 3 && !pictureAlpha ? 255 : staging_->data[i][ptrdiff_t{sy} * staging_->linesize[i] + sx];
      }
    }
  }
  return true;
}

void packLines(const AVFrame &picture, int first, int step, int count, uint32_t *out) {
  const bool alpha = picture.format == AV_PIX_FMT_YUVA444P;
  for (int i = 0; i < count; ++i, out += picture.width) {
    const ptrdiff_t line = first + ptrdiff_t{i} * step;
    packRow(picture.data[0] + line * picture.linesize[0], picture.data[1] + line * picture.linesize[1],
            picture.data[2] + line * picture.linesize[2], out, picture.width);
    if (alpha) {
      const uint8_t *a = picture.data[3] + line * picture.linesize[3];
      for (int x = 0; x < picture.width; ++x)
        out[x] = (out[x] & 0xFFFFFF00u) | a[x];
    }
  }
}

} // namespace vxhost
