// Settings files made and read by the operator's own code: an editor
// instance of SplitMask in a private home that sees the user's masks.
#pragma once

#include <filesystem>
#include <string>

#include "description.hpp"

namespace tileron::preset {

// Makes the settings file of `description` and writes it to `output`
// (whole or not at all): an editor instance on the description's mask, each
// part set through the part editing operations, then saveSettings. Masks are
// those installed below `home`. Throws std::runtime_error naming `source`
// (the description's file) and the key at fault: a mask that is not
// installed, more parts than the mask has.
void makePreset(const PresetDescription &description, const std::string &source,
                const std::filesystem::path &home, const std::filesystem::path &output);

// A description for the mask at the home-relative `maskPath` in which part
// i (counted from 1) shows scene i, every other value the editor's default.
// Throws std::runtime_error naming `source` when the mask cannot be loaded.
PresetDescription scenePerPart(const std::string &maskPath, const std::string &source,
                               const std::filesystem::path &home);

// Reads a settings or preset file as the render set-up does (last mask,
// mask, saved settings) and returns it as a description. Throws
// std::runtime_error for a file that is not one, or whose mask is not
// installed below `home`.
PresetDescription readPreset(const std::filesystem::path &file, const std::filesystem::path &home);

} // namespace tileron::preset
