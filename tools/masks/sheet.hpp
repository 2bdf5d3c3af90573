// The contact sheet: every catalogue entry's stamp picture with its title
// under it, in a grid, as one RGBA picture.
#pragma once

#include <filesystem>

#include "host/media/png.hpp"
#include "masks/catalogue.hpp"

namespace tileron::maskstool {

struct SheetOptions {
  int columns = 6;
  std::filesystem::path font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  int fontSize = 13; // pixels
};

// Lays out the catalogue's thumbnails (openMaskCatalogue has made them; an
// entry without one gets an empty frame) in catalogue order, row by row.
// Throws std::runtime_error when the catalogue is empty or the font cannot
// be loaded.
vxhost::RgbaImage contactSheet(const MaskCatalogue &catalogue, const SheetOptions &options);

} // namespace tileron::maskstool
