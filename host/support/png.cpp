// PNG files: writing through libspng; reading through the texture reader.
#include "host/support/png.hpp"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <spng.h>

namespace vxhost {

namespace {

struct CtxFree {
  void operator()(spng_ctx *ctx) const { spng_ctx_free(ctx); }
};
struct FileClose {
  void operator()(std::FILE *file) const { std::fclose(file); }
};
using Ctx = std::unique_ptr<spng_ctx, CtxFree>;
using File = std::unique_ptr<std::FILE, FileClose>;

} // namespace

bool readPng(const std::filesystem::path &path, RgbaPicture &picture, std::string &error) {
  std::optional<RgbaImage> png = readPng(path, error);
  if (!png)
    return false;
  picture = std::move(*png);
  return true;
}

bool writePng(const std::filesystem::path &path, int width, int height, int channels,
              const uint8_t *pixels, size_t size, std::string &error) {
  uint8_t colourType = 0;
  switch (channels) {
  case 1: colourType = SPNG_COLOR_TYPE_GRAYSCALE; break;
  case 3: colourType = SPNG_COLOR_TYPE_TRUECOLOR; break;
  case 4: colourType = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA; break;
  default: error = path.string() + ": no PNG colour type has " + std::to_string(channels) + " channels"; return false;
  }
  if (width <= 0 || height <= 0 || !pixels || size != size_t(width) * size_t(height) * size_t(channels)) {
    error = path.string() + ": no picture to write";
    return false;
  }
  Ctx ctx(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!ctx) {
    error = "out of memory";
    return false;
  }
  spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{};
  ihdr.width = static_cast<uint32_t>(width);
  ihdr.height = static_cast<uint32_t>(height);
  ihdr.bit_depth = 8;
  ihdr.color_type = colourType;
  int err = spng_set_ihdr(ctx.get(), &ihdr);
  if (!err)
    err = spng_encode_image(ctx.get(), pixels, size, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
  size_t length = 0;
  void *encoded = err ? nullptr : spng_get_png_buffer(ctx.get(), &length, &err);
  if (!encoded) {
    error = path.string() + ": " + spng_strerror(err);
    return false;
  }
  std::unique_ptr<void, decltype(&std::free)> owned(encoded, &std::free);
  File file(std::fopen(path.c_str(), "wb"));
  if (!file || std::fwrite(encoded, 1, length, file.get()) != length) {
    error = path.string() + ": cannot write";
    return false;
  }
  if (std::fclose(file.release()) != 0) {
    error = path.string() + ": cannot write";
    return false;
  }
  return true;
}

bool writePng(const std::filesystem::path &path, const RgbaPicture &picture, std::string &error) {
  return writePng(path, picture.width, picture.height, 4, picture.pixels.data(),
                  picture.pixels.size(), error);
}

} // namespace vxhost
