#include "host/media/png.hpp"

#include <spng.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <new>

#include "host/textures/texture_pixels.hpp"

namespace vxhost {

namespace {

struct SpngDeleter {
  void operator()(spng_ctx *ctx) const { spng_ctx_free(ctx); }
};
struct FileCloser {
  void operator()(std::FILE *file) const { std::fclose(file); }
};

// Deflate expands at most 1032 times, so the file must be big enough for the
// image's bytes: a header claiming 16384 x 16384 in a small file is damaged,
// and is refused before any pixel memory is asked for.
constexpr uint64_t kMaxDeflateRatio = 1032;

int channelsOf(uint8_t colourType) {
  switch (colourType) {
  case SPNG_COLOR_TYPE_TRUECOLOR: return 3;
  case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA: return 2;
  case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA: return 4;
  default: return 1; // grey, palette indices
  }
}

// The whole regular file, or false with `error` set. May throw std::bad_alloc.
bool readWholeFile(const std::filesystem::path &file, std::vector<uint8_t> &bytes,
                   std::string &error) {
  std::unique_ptr<std::FILE, FileCloser> stream(std::fopen(file.c_str(), "rb"));
  struct stat status {};
  if (!stream || fstat(fileno(stream.get()), &status) != 0) {
    error = "cannot open the file";
    return false;
  }
  if (!S_ISREG(status.st_mode)) {
    error = "not a file";
    return false;
  }
  if (status.st_size == 0) {
    error = "empty file";
    return false;
  }
  if (uint64_t(status.st_size) > kMaxPngFileBytes) {
    error = "file too large";
    return false;
  }
  bytes.resize(size_t(status.st_size));
  if (std::fread(bytes.data(), bytes.size(), 1, stream.get()) != 1) {
    error = "cannot read the file";
    return false;
  }
  return true;
}

std::optional<RgbaImage> decode(const std::filesystem::path &file, std::string &error) {
  std::vector<uint8_t> bytes;
  if (!readWholeFile(file, bytes, error)) return std::nullopt;

  std::unique_ptr<spng_ctx, SpngDeleter> ctx(spng_ctx_new(0));
  if (!ctx) throw std::bad_alloc();
  // A CRC error in any chunk, ancillary ones included, makes the file damaged.
  spng_set_crc_action(ctx.get(), SPNG_CRC_ERROR, SPNG_CRC_ERROR);
  spng_set_image_limits(ctx.get(), kMaxPngSide, kMaxPngSide);
  spng_set_chunk_limits(ctx.get(), size_t{64} << 20, size_t{64} << 20);
  int result = spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size());

  spng_ihdr ihdr{};
  if (result == 0) result = spng_get_ihdr(ctx.get(), &ihdr);
  if (result != 0) {
    error = spng_strerror(result);
    return std::nullopt;
  }
  const uint64_t rowBits = uint64_t{ihdr.width} * channelsOf(ihdr.color_type) * ihdr.bit_depth;
  if (uint64_t{ihdr.height} * ((rowBits + 7) / 8) > kMaxDeflateRatio * bytes.size()) {
    error = "image larger than its file can hold";
    return std::nullopt;
  }

  // 16-bit samples are decoded as they are and rounded to 8 bits here.
  const bool deep = ihdr.bit_depth == 16;
  const int format = deep ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8;
  size_t decodedBytes = 0;
  result = spng_decoded_image_size(ctx.get(), format, &decodedBytes);
  RgbaImage image;
  image.width = int(ihdr.width);
  image.height = int(ihdr.height);
  std::vector<uint16_t> samples;
  if (result == 0) {
    if (deep)
      samples.resize(decodedBytes / 2);
    else
      image.pixels.resize(decodedBytes);
    void *target = deep ? static_cast<void *>(samples.data()) : image.pixels.data();
    result = spng_decode_image(ctx.get(), target, decodedBytes, format, SPNG_DECODE_TRNS);
  }
  // The chunks after the image data, up to and including IEND.
  if (result == 0) result = spng_decode_chunks(ctx.get());
  if (result != 0) {
    error = spng_strerror(result);
    return std::nullopt;
  }
  if (deep) {
    image.pixels.resize(samples.size());
    samples16To8(samples.data(), image.pixels.data(), samples.size());
  }
  return image;
}

} // namespace

std::optional<RgbaImage> readPng(const std::filesystem::path &file, std::string &error) {
  try {
    return decode(file, error);
  } catch (const std::bad_alloc &) {
    error = "out of memory";
    return std::nullopt;
  }
}

} // namespace vxhost
