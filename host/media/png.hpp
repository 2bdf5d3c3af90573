// PNG files decoded through libspng into 8-bit RGBA, whatever their colour
// type and depth.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

} // namespace vxhost
