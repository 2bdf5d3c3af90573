// The storyboard: a JSON project file naming the video format, the effect's
// input, the effect's length and the scenes (see docs/storyboard.md).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "host/settings/settings.hpp"
#include "host/support/json_check.hpp"
#include "host/scenes/sources.hpp"

namespace vxhost {

// A storyboard that cannot be used. what() reads "FILE: KEY: what is wrong"
// (without the key when the file as a whole is at fault).
using StoryboardError = JsonFileError;

struct SceneEntry {
  int32_t id = 0;
  std::string source; // as written: a path, "pattern:…" or "colour:…"
  int length = 0;     // frames asked for; 0 when not given
  std::string name;   // shown by the scene requester: as given, else the clip's file name or pattern
  FrameTime start;    // in-point: format frames into the clip
  Fit fit = Fit::fill;
};

// Whose sound the output carries.
struct AudioChoice {
  enum Kind { input, scene, none } kind = input;
  int32_t sceneId = 0;    // for kind scene
  bool asked = false;     // written out (storyboard or command line), not the default
};

struct Storyboard {
  std::filesystem::path file; // relative clip paths resolve against its folder
  Format format;
  std::string input;
  int length = 0; // the effect's length in frames
  std::vector<SceneEntry> scenes;
  AudioChoice audio;
};

// "input", "none" or a scene ID of the board (as a number, or its digits in
// a string); nothing for anything else. `value` is the JSON value or the
// command line's text.
std::optional<AudioChoice> audioChoiceOf(const nlohmann::json &value, const Storyboard &board);

// A clip name resolved as the storyboard resolves it: relative paths
// against the storyboard's folder.
std::filesystem::path clipPath(const Storyboard &board, const std::string &name);

// Reads and checks a storyboard file: JSON syntax, known keys only, every
// required key present with a value in range, scene IDs 1 to 32767 and
// unique, clip files present. Throws StoryboardError.
Storyboard loadStoryboard(const std::filesystem::path &file);
// The same for text already read; `file` names it in errors and anchors
// relative paths.
Storyboard parseStoryboard(const std::string &text, const std::filesystem::path &file);

// The opened clips of a storyboard.
struct StoryboardClips {
  std::shared_ptr<ClipSource> input;
  std::vector<std::pair<int32_t, std::shared_ptr<ClipSource>>> scenes; // in storyboard order
};

// Opens the input and every scene (stills and patterns without a length of
// their own run for the storyboard's length). The clips divide `cacheBytes`
// equally for their decoded frames (each keeps at least one). With
// `threads` above 1, that many clips are opened at once. Throws
// StoryboardError naming the key and the clip when one cannot be opened (the
// first in storyboard order).
StoryboardClips openClips(const Storyboard &board, std::size_t cacheBytes = std::size_t{512} << 20, int threads = 1);

// Makes the storyboard the host's: sets the format, replaces the scenes and
// sets the input.
void applyStoryboard(const Storyboard &board, const StoryboardClips &clips);

} // namespace vxhost
