#include "bar/bar_fill.hpp"

#include <cmath>
#include <cstring>
#include <memory>

#include "engine/compositing.hpp"
#include "engine/kernels.hpp"
#include "support/report.hpp"

namespace tileron {

namespace {

// Host image sides are 16-bit signed.
constexpr int kMaxSide = 32767;

// sqrt(w^2 + h^2) + 1, rounded half away from zero, then cut to even: the side
// of a square that holds the w x h image turned by any angle.
int evenDiagonal(int width, int height) {
  const double diagonal = std::sqrt(double(width) * width + double(height) * height) + 1.0;
  const long rounded = static_cast<long>(diagonal + 0.5);
  return static_cast<int>(rounded / 2 * 2);
}

// A new kind-1 or kind-3 image of a size the caller asked for; sizes the host
// would read as its probe (0 or -1) or that do not fit a host image give none.
OpImagePtr allocChecked(int width, int height, int kind) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return {};
  return allocOpImage(width, height, kind);
}

struct TxRequestDeleter {
  void operator()(TxRequest *request) const { txFreeRequest(request); }
};

} // namespace

OpImagePtr makeBarFill(const BarStyle &style, int width, int height) {
  switch (style.mode) {
  case kBarColour: {
    OpImagePtr image = allocChecked(width, height, OP_KIND_YUVA);
    if (!image) {
      TILERON_REPORT(kLevelError, kSrcPaletteReq);
      return {};
    }
    kernels::fillPixels(pixels32(image.get()), width, width, height, selectedColour(style));
    return image;
  }
  case kBarTexture: {
    if (style.textureChosen == 0) {
      TILERON_REPORT(kLevelError, kSrcPaletteReq);
      return {};
    }
    OpImagePtr image = allocChecked(width, height, OP_KIND_YUVA);
    if (!image) {
      TILERON_REPORT(kLevelError, kSrcPaletteReq);
      return {};
    }
    const OpImagePtr texture = makeTextureImage(style);
    if (!texture) return image; // as the host gave it
    if (style.tile != 0)
      txTileOpImagePrefs(image.get(), texture.get(), 0, 36);
    else
      opScaleImage(texture.get(), image.get(), 0);
    return image;
  }
  case kBarGradient:
    return makeGradient(style, width, height);
  default:
    return {};
  }
}

OpImagePtr makeTextureImage(const BarStyle &style) {
  if (style.mode != kBarTexture || style.textureChosen == 0) return {};
  // The request is held while the texture is made.
  const std::unique_ptr<TxRequest, TxRequestDeleter> request(txAllocRequest(0));
  if (!request) return {};
  OpImagePtr texture(txGetOpImage(&style.texture, 1, 0));
  if (!texture || !texture->pixels || texture->kind != OP_KIND_YUVA) return {};
  OpImagePtr result = allocChecked(texture->width, texture->height, OP_KIND_YUVA);
  if (result) {
    kernels::fillPixels(pixels32(result.get()), result->width, result->width, result->height,
                        selectedColour(style));
    compositeOver(texture.get(), result.get(), texture->width, texture->height);
  } else {
    TILERON_REPORT(kLevelError, kSrcPaletteReq);
    result = std::move(texture); // the bare texture goes on
  }
  const auto alpha = static_cast<uint8_t>(txGetColor(&style.texture, 2) & 0xFFu);
  kernels::setAlpha(pixels32(result.get()), result->width, result->width, result->height, alpha);
  return result;
}

OpImagePtr makeGradient(const BarStyle &style, int width, int height) {
  if (style.mode != kBarGradient) {
    TILERON_REPORT(kLevelError, kSrcPaletteReq);
    return {};
  }
  const int rampSide = evenDiagonal(width, height);
  OpImagePtr ramp = allocChecked(rampSide, rampSide, OP_KIND_8);
  if (!ramp || width <= 0 || height <= 0) {
    TILERON_REPORT(kLevelError, kSrcPaletteReq);
    return {};
  }
  kernels::fillRamp(ramp->pixels, rampSide, rampSide);
  // Only the centred width x height window of the turned ramp is read, and
  // each turned pixel depends on its position alone, so just that window is
  // turned: the same bytes as turning the whole square and cutting it.
  const int side = evenDiagonal(rampSide, rampSide);
  OpImagePtr window = allocChecked(width, height, OP_KIND_8);
  OpImagePtr result = allocChecked(width, height, OP_KIND_YUVA);
  if (!window || !result) {
    TILERON_REPORT(kLevelError, kSrcPaletteReq);
    return {};
  }
  kernels::rotateBilinear(ramp->pixels, rampSide, rampSide, rampSide, window->pixels, width, side,
                          -double(style.angle), (side - width) / 2, (side - height) / 2, width,
                          height);
  kernels::fastKernels().gradientMap(window->pixels, width, pixels32(result.get()), width, width,
                                     height, style.colourA, style.colourB);
  return result;
}

OpImagePtr rotateRamp(const OpImage *source, double degrees) {
  if (!source || !source->pixels || source->kind != OP_KIND_8) {
    TILERON_REPORT(kLevelError, kSrcPaletteReq);
    return {};
  }
  const int side = evenDiagonal(source->width, source->height);
  OpImagePtr turned = allocChecked(side, side, OP_KIND_8);
  if (!turned) {
    TILERON_REPORT(kLevelError, kSrcPaletteReq);
    return {};
  }
  kernels::rotateBilinear(source->pixels, source->width, source->width, source->height,
                          turned->pixels, side, side, degrees, 0, 0, side, side);
  return turned;
}

void compositeOver(const OpImage *source, OpImage *destination, int width, int height) {
  overlayImage(source, destination, width, height, false, 0);
}

OpImagePtr toOpImage(CImagePtr &image) {
  if (!image || !image->pixels || image->kind != CG_KIND_YUVA) {
    TILERON_REPORT(kLevelError, kSrcPaletteReq);
    return {};
  }
  OpImagePtr converted = allocChecked(image->width, image->height, OP_KIND_YUVA);
  if (!converted) {
    TILERON_REPORT(kLevelError, kSrcPaletteReq);
    return {};
  }
  std::memcpy(converted->pixels, image->pixels, size_t(image->width) * size_t(image->height) * 4);
  image.reset();
  return converted;
}

} // namespace tileron
