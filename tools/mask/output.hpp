// Writing a built mask: the description file (XML) and its 8-bit PNG images.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "description.hpp"
#include "raster.hpp"

namespace tileron::masktool {

// Writes a one-channel 8-bit PNG. Throws std::runtime_error naming the file.
void writeGreyPng(const std::filesystem::path &path, const GreyImage &image);

// The mask file's text: titles, parts with their shape files
// "<name>_<index>.png", bars and the stamp map "<name>_stamp.png".
std::string maskXml(const std::string &name, const MaskDescription &description, const BuiltMask &built);

// Writes <name>.xml and its images into `directory` (made when missing) and
// returns the files written. Throws std::runtime_error on failure.
std::vector<std::filesystem::path> writeMask(const std::filesystem::path &directory,
                                             const std::string &name,
                                             const MaskDescription &description,
                                             const BuiltMask &built);

} // namespace tileron::masktool
