// PNG files, the host's one PNG module: reading any PNG into 8-bit RGBA and
// writing 8-bit grey, RGB and RGBA files through libspng, and the encoder of
// rendered PNG frames (libavcodec's, whose bytes earlier renders have).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/settings/settings.hpp"

namespace vxhost {

// Largest width or height accepted; larger ones count as damaged.
inline constexpr uint32_t kMaxPngSide = 16384;
// Largest file read at all.
inline constexpr uint64_t kMaxPngFileBytes = uint64_t{256} << 20;

// Decoded pixels: width x height RGBA, 4 bytes each, rows without gap. Grey,
// grey with alpha, palette, RGB and RGBA of any depth become RGBA8 (16-bit
// samples to the nearest 8-bit value, low depths scaled up, transparency
// chunks applied to alpha; alpha 255 where the file has none). No gamma.
struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
};

// Decodes the whole file. Returns nullopt with `error` set for a file that
// cannot be read or is not a sound PNG: bad signature or CRC (any chunk),
// truncated or missing IEND, bad header values, a side above kMaxPngSide, more
// image than the file could hold compressed, or memory that cannot be had.
std::optional<RgbaImage> readPng(const std::filesystem::path &file, std::string &error);

// Writes an 8-bit PNG of width x height pixels of `channels` bytes each (1
// grey, 3 RGB, 4 RGBA), rows without gaps. Returns false with a message in `error`.
bool writePng(const std::filesystem::path &path, int width, int height, int channels,
              const uint8_t *pixels, size_t size, std::string &error);

// Writes an 8-bit RGBA PNG of `picture`. Returns false with a message in `error`.
bool writePng(const std::filesystem::path &path, const RgbaImage &picture, std::string &error);

// RGB pictures of the format's frame size encoded as PNG files, the way
// rendered frames are written: on `threads` threads side by side (0: as many
// as the cores; the files are the same however many), each file written once
// its frame is encoded, in order. Throws OutputError (atomic_file.hpp).
class PngFrameEncoder {
public:
  explicit PngFrameEncoder(const Format &format, int threads = 1);
  ~PngFrameEncoder();
  PngFrameEncoder(const PngFrameEncoder &) = delete;
  PngFrameEncoder &operator=(const PngFrameEncoder &) = delete;

  // Row y of the picture to fill: width x 3 bytes, R first.
  uint8_t *row(int y);
  // Encodes the picture for `path` (errors name `name`). With one thread the
  // file is written before the call returns; else it may come with a later
  // call, and every one has come after finish().
  void write(const std::filesystem::path &path, const std::string &name);
  // Writes the files of the frames still being encoded; write() must not
  // follow.
  void finish();

private:
  // Writes the file of every frame whose encoding is done; with `flushing`,
  // of all of them.
  void writeEncoded(bool flushing);

  struct Codec;
  std::unique_ptr<Codec> codec_;
};

} // namespace vxhost
