// PNG files as 8-bit RGBA pictures: writing (libspng) here, reading through
// host/textures/png_reader.hpp, the host's one PNG decoder.
#pragma once

#include <filesystem>
#include <string>

#include "host/media/png.hpp"

namespace vxhost {

using RgbaPicture = RgbaImage;

// Reads any PNG as 8-bit RGBA into `picture`. Returns false with a message in
// `error` for a missing, damaged or refused file.
bool readPng(const std::filesystem::path &path, RgbaPicture &picture, std::string &error);

// Writes an 8-bit PNG of width x height pixels of `channels` bytes each (1
// grey, 3 RGB, 4 RGBA), rows without gaps. Returns false with a message in `error`.
bool writePng(const std::filesystem::path &path, int width, int height, int channels,
              const uint8_t *pixels, size_t size, std::string &error);

// Writes an 8-bit RGBA PNG of `picture`. Returns false with a message in `error`.
bool writePng(const std::filesystem::path &path, const RgbaPicture &picture, std::string &error);

} // namespace vxhost
