// The readable form of a preset (docs/preset-description.md): the mask, the
// bar and, per part, its scene, scale, anchor, offsets and opacity, with
// the ranges of the editor's controls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bar/bar_style.hpp"

namespace tileron::preset {

struct PartValues {
  int32_t scene = 0;        // host scene ID, 0 = none
  std::optional<int> scale; // percent 10..200; none: the mask's own scale for the part
  int anchor = 5;           // 1..9, laid out like a keypad read top-down
  int offsetX = 0;          // percent of the picture width, -50..50, positive moves right
  int offsetY = 0;          // percent of the picture height, -50..50, positive moves down
  int opacity = 255;        // 0..255
};

struct PresetDescription {
  std::string maskPath; // home-relative, "/programs/tileron/mask/NAME.xml"
  int barWidth = 6;     // per mille of the bar image width, 0..100; 0 draws no bar
  BarStyle barStyle = defaultBarStyle();
  std::vector<PartValues> parts;
};

// Reads a description. Throws vxhost::JsonFileError naming `file`, the key
// and what is wrong: not JSON, an unknown key, a missing mask, a value out
// of range, a malformed colour.
PresetDescription parseDescription(const std::string &text, const std::string &file);

// The home-relative path of the mask named `mask` (a name below the mask
// folder, ".xml" allowed, or the path itself), as parseDescription reads the
// key "mask". Throws vxhost::JsonFileError naming `source`.
std::string maskPathOf(const std::string &mask, const std::string &source);

// The description as JSON, every value spelled out; parseDescription of its
// text gives the same preset.
nlohmann::ordered_json describe(const PresetDescription &description);

} // namespace tileron::preset
