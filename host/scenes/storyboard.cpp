#include "host/scenes/storyboard.hpp"

#include <algorithm>
#include <charconv>
#include <climits>
#include <fstream>
#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "host/support/json_check.hpp"

namespace vxhost {
namespace {

using nlohmann::json;

// Fields are counted in 32-bit integers, two per frame.
constexpr int64_t maxLength = INT32_MAX / 2;
// Widths and heights are 16-bit in host images; 8192 keeps a frame's words
// well inside memory. Both must be even: a frame is two fields, and 4:2:0
// encoders need even widths.
constexpr int maxSide = 8192;

std::filesystem::path resolveClip(const std::filesystem::path &storyboard, const std::string &name) {
  const std::filesystem::path path(name);
  return path.is_absolute() ? path : storyboard.parent_path() / path;
}

// The clip a source names: a pattern as written, or a file that must exist.
std::string checkSource(const JsonChecker &check, const json &value, const std::string &key,
                        const std::filesystem::path &storyboard) {
  const std::string name = check.text(value, key);
  if (isPatternName(name))
    return name;
  std::error_code ec;
  const std::filesystem::path path = resolveClip(storyboard, name);
  if (!std::filesystem::exists(path, ec))
    check.fail(key, name + ": no such file (looked for " + path.string() + ")");
  return name;
}

bool parseWhole(const std::string &s, int64_t &out) {
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), out);
  return error == std::errc() && end == s.data() + s.size() && !s.empty();
}

// "25/1", "30000/1001", "25" or 25; at most 1000 frames per second.
void checkRate(const JsonChecker &check, const json &value, const std::string &key, Format &format) {
  int64_t num = 0, den = 1;
  bool ok = false;
  if (value.is_number_integer()) {
    num = value.get<int64_t>();
    ok = true;
  } else if (value.is_string()) {
    const std::string s = value.get<std::string>();
    const size_t slash = s.find('/');
    ok = parseWhole(s.substr(0, slash), num) && (slash == std::string::npos || parseWhole(s.substr(slash + 1), den));
  }
  if (!ok || num <= 0 || den <= 0 || num > INT32_MAX || den > INT32_MAX || num > den * 1000)
    check.fail(key, "bad rate " + value.dump() + ": write frames per second as \"25/1\" or \"30000/1001\"");
  format.rateNum = int(num);
  format.rateDen = int(den);
}

std::shared_ptr<ClipSource> openClip(const Storyboard &board, const std::string &key, const std::string &name,
                                     int length, std::size_t cacheBytes) {
  try {
    if (isPatternName(name))
      return openPattern(name, length > 0 ? length : board.length, board.format);
    MediaOptions options;
    options.length = length;
    options.stillLength = length > 0 ? length : board.length;
    options.cacheBytes = cacheBytes;
    return openMediaFile(resolveClip(board.file, name), board.format, options);
  } catch (const SourceError &e) {
    throw StoryboardError(board.file.string() + ": " + key + ": " + name + ": " + e.what());
  }
}

} // namespace

Storyboard parseStoryboard(const std::string &text, const std::filesystem::path &file) {
  const JsonChecker check(file.string());
  const json root = check.parse(text);
  check.onlyKeys(root, "", {"format", "input", "length", "scenes"});

  Storyboard board;
  board.file = file;
  const json &format = check.required(root, "", "format");
  check.onlyKeys(format, "format", {"width", "height", "pixelAspect", "rate"});
  board.format.width = int(check.integer(check.required(format, "format", "width"), "format.width", 2, maxSide));
  board.format.height = int(check.integer(check.required(format, "format", "height"), "format.height", 2, maxSide));
  if (board.format.width % 2)
    check.fail("format.width", "bad size: " + std::to_string(board.format.width) + " is odd (must be even)");
  if (board.format.height % 2)
    check.fail("format.height", "bad size: " + std::to_string(board.format.height) +
                                    " is odd (a frame is two fields of equal height)");
  board.format.pixelAspect =
      format.contains("pixelAspect") ? int(check.integer(format["pixelAspect"], "format.pixelAspect", 1, 65535)) : 1000;
  checkRate(check, check.required(format, "format", "rate"), "format.rate", board.format);

  board.length = int(check.integer(check.required(root, "", "length"), "length", 1, maxLength));
  board.input = checkSource(check, check.required(root, "", "input"), "input", file);

  const json &scenes = check.required(root, "", "scenes");
  if (!scenes.is_array())
    check.fail("scenes", "must be an array of scenes [{…}, …]");
  std::map<int64_t, size_t> seen;
  for (size_t i = 0; i < scenes.size(); ++i) {
    const std::string key = "scenes[" + std::to_string(i) + "]";
    const json &scene = scenes[i];
    check.onlyKeys(scene, key, {"id", "source", "length"});
    SceneEntry entry;
    entry.id = int32_t(check.integer(check.required(scene, key, "id"), key + ".id", 1, 32767));
    const auto [previous, fresh] = seen.emplace(entry.id, i);
    if (!fresh)
      check.fail(key + ".id", "duplicate ID " + std::to_string(entry.id) + " (already used by scenes[" +
                                  std::to_string(previous->second) + "])");
    entry.source = checkSource(check, check.required(scene, key, "source"), key + ".source", file);
    if (scene.contains("length"))
      entry.length = int(check.integer(scene["length"], key + ".length", 1, maxLength));
    board.scenes.push_back(entry);
  }
  return board;
}

Storyboard loadStoryboard(const std::filesystem::path &file) {
  std::ifstream in(file, std::ios::binary);
  if (!in)
    throw StoryboardError(file.string() + ": cannot be read (" +
                          (std::filesystem::exists(file) ? "permission denied or not a file" : "no such file") + ")");
  std::ostringstream text;
  text << in.rdbuf();
  return parseStoryboard(text.str(), file);
}

StoryboardClips openClips(const Storyboard &board, std::size_t cacheBytes) {
  const std::size_t cacheBytesPerClip = cacheBytes / (board.scenes.size() + 1);
  StoryboardClips clips;
  clips.input = openClip(board, "input", board.input, 0, cacheBytesPerClip);
  for (size_t i = 0; i < board.scenes.size(); ++i) {
    const SceneEntry &scene = board.scenes[i];
    clips.scenes.emplace_back(scene.id, openClip(board, "scenes[" + std::to_string(i) + "].source", scene.source,
                                                 scene.length, cacheBytesPerClip));
  }
  return clips;
}

void applyStoryboard(const Storyboard &board, const StoryboardClips &clips) {
  setFormat(board.format);
  clearScenes();
  for (const auto &[id, clip] : clips.scenes)
    setScene(id, clip);
  setInput(clips.input);
}

} // namespace vxhost
