// The storyboard reader over fuzzed JSON. Only a StoryboardError may come
// out of it; a storyboard that reads, is small and uses only built-in clips
// is opened and its first and last frames are fetched. (Clip files are
// FFmpeg's to read and are not fuzzed here.)
#include <algorithm>
#include <string>

#include "fuzz_env.hpp"
#include "host/scenes/sources.hpp"
#include "host/scenes/storyboard.hpp"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzing::FuzzHome::get();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  const std::filesystem::path file = fuzzing::FuzzHome::get().path() / "board.json";
  vxhost::Storyboard board;
  try {
    board = vxhost::parseStoryboard(text, file);
  } catch (const vxhost::StoryboardError &) {
    return 0;
  }
  if (board.format.width * board.format.height > 64 * 64 || board.length > 8) return 0;
  if (!vxhost::isPatternName(board.input)) return 0;
  for (const vxhost::SceneEntry &scene : board.scenes)
    if (!vxhost::isPatternName(scene.source) || scene.length > 8) return 0;
  vxhost::StoryboardClips clips;
  try {
    clips = vxhost::openClips(board, std::size_t{1} << 20);
  } catch (const vxhost::StoryboardError &) {
    return 0;
  }
  auto fetch = [](vxhost::ClipSource &clip) {
    if (clip.length() <= 0) return;
    clip.frame(0);
    clip.frame(clip.length() - 1);
  };
  if (clips.input) fetch(*clips.input);
  for (auto &[id, clip] : clips.scenes)
    if (clip) fetch(*clip);
  return 0;
}
