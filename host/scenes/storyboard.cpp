#include "host/scenes/storyboard.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <charconv>
#include <cstdio>
#include <optional>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <map>
#include <numeric>
#include <sstream>
#include <thread>
#include <vector>

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

// A decimal rate ("29.97", "12.5") as a fraction. Rates within 0.01 of a
// multiple of 1000/1001 ("23.976", "29.97", "59.94") are those NTSC
// fractions, as editors write them rounded; others are taken as written.
bool parseDecimalRate(const std::string &s, int64_t &num, int64_t &den) {
  const size_t point = s.find('.');
  int64_t whole = 0, fraction = 0;
  const std::string digits = s.substr(point + 1);
  if (point == std::string::npos || digits.empty() || digits.size() > 6 || !parseWhole(s.substr(0, point), whole) ||
      !parseWhole(digits, fraction) || digits.find_first_not_of("0123456789") != std::string::npos)
    return false;
  den = 1;
  for (size_t i = 0; i < digits.size(); ++i)
    den *= 10;
  num = whole * den + fraction;
  // N * 1000 / 1001 for the nearest N: |num / den - N * 1000 / 1001| <= 0.01.
  const int64_t n = (num * 1001 + den * 500) / (den * 1000);
  if (n > 0 && std::abs(num * 1001 - n * 1000 * den) * 100 <= 1001 * den && num != n * den) {
    num = n * 1000;
    den = 1001;
  }
  const int64_t g = std::gcd(num, den);
  num /= g, den /= g;
  return true;
}

// "25/1", "30000/1001", "25", 25, or a decimal "29.97" (see
// parseDecimalRate); at most 1000 frames per second.
void checkRate(const JsonChecker &check, const json &value, const std::string &key, Format &format) {
  int64_t num = 0, den = 1;
  bool ok = false;
  if (value.is_number_integer()) {
    num = value.get<int64_t>();
    ok = true;
  } else if (value.is_string()) {
    const std::string s = value.get<std::string>();
    const size_t slash = s.find('/');
    ok = s.find('.') != std::string::npos
             ? slash == std::string::npos && parseDecimalRate(s, num, den)
             : parseWhole(s.substr(0, slash), num) && (slash == std::string::npos || parseWhole(s.substr(slash + 1), den));
  }
  if (!ok || num <= 0 || den <= 0 || num > INT32_MAX || den > INT32_MAX || num > den * 1000)
    check.fail(key, "bad rate " + value.dump() + ": write frames per second as \"25/1\", \"30000/1001\" or \"29.97\"");
  format.rateNum = int(num);
  format.rateDen = int(den);
}

// A time as parseTime reads it; a JSON number is seconds.
FrameTime checkTime(const JsonChecker &check, const json &value, const std::string &key, const Format &format) {
  std::string text;
  if (value.is_number_unsigned())
    text = std::to_string(value.get<uint64_t>());
  else if (value.is_string())
    text = value.get<std::string>();
  else if (value.is_number_float() && value.get<double>() >= 0) {
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.6f", value.get<double>());
    text = digits;
  }
  const std::optional<FrameTime> time = parseTime(text, format);
  if (!time)
    check.fail(key, "bad time " + value.dump() + ": write " + kTimeSpellings);
  return *time;
}

// The value of `choices` named by the text at `key`; `what` names its kind in the message.
template <typename T>
T checkChoice(const JsonChecker &check, const json &value, const std::string &key, const char *what,
              std::initializer_list<std::pair<const char *, T>> choices) {
  const std::string s = check.text(value, key);
  std::string known;
  for (const auto &[name, choice] : choices) {
    if (s == name)
      return choice;
    known += (known.empty() ? "" : ", ") + std::string(name);
  }
  check.fail(key, "unknown " + std::string(what) + " \"" + s + "\" (known: " + known + ")");
}

// Opens the input (`scene` null) or a scene's clip. Scenes keep their
// pictures' alpha; the input is opaque.
std::shared_ptr<ClipSource> openClip(const Storyboard &board, const std::string &key, const std::string &name,
                                     const SceneEntry *scene, std::size_t cacheBytes) {
  const int length = scene ? scene->length : 0;
  const FrameTime start = scene ? scene->start : FrameTime{};
  try {
    if (isPatternName(name))
      return openPattern(name, length > 0 ? length : board.length, board.format,
                         int(std::min<int64_t>(start.floorFrame(), INT32_MAX)));
    MediaOptions options;
    options.length = length;
    options.stillLength = length > 0 ? length : board.length;
    options.start = start;
    options.fit = scene ? scene->fit : Fit::fill;
    options.keepAlpha = scene != nullptr;
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
  check.onlyKeys(root, "", {"format", "input", "length", "scenes", "audio"});

  Storyboard board;
  board.file = file;
  const json &format = check.required(root, "", "format");
  check.onlyKeys(format, "format", {"width", "height", "pixelAspect", "rate", "scan"});
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
  if (format.contains("scan"))
    board.format.scan = checkChoice<Scan>(check, format["scan"], "format.scan", "scan",
                                    {{"tff", Scan::tff}, {"bff", Scan::bff}, {"progressive", Scan::progressive}});

  board.length = int(check.integer(check.required(root, "", "length"), "length", 1, maxLength));
  board.input = checkSource(check, check.required(root, "", "input"), "input", file);

  const json &scenes = check.required(root, "", "scenes");
  if (!scenes.is_array())
    check.fail("scenes", "must be an array of scenes [{…}, …]");
  std::map<int64_t, size_t> seen;
  for (size_t i = 0; i < scenes.size(); ++i) {
    const std::string key = "scenes[" + std::to_string(i) + "]";
    const json &scene = scenes[i];
    check.onlyKeys(scene, key, {"id", "source", "length", "name", "start", "fit"});
    SceneEntry entry;
    entry.id = int32_t(check.integer(check.required(scene, key, "id"), key + ".id", 1, 32767));
    const auto [previous, fresh] = seen.emplace(entry.id, i);
    if (!fresh)
      check.fail(key + ".id", "duplicate ID " + std::to_string(entry.id) + " (already used by scenes[" +
                                  std::to_string(previous->second) + "])");
    entry.source = checkSource(check, check.required(scene, key, "source"), key + ".source", file);
    if (scene.contains("length"))
      entry.length = int(check.integer(scene["length"], key + ".length", 1, maxLength));
    entry.name = scene.contains("name") ? check.text(scene["name"], key + ".name")
                 : isPatternName(entry.source) ? entry.source
                                               : std::filesystem::path(entry.source).filename().string();
    if (scene.contains("start"))
      entry.start = checkTime(check, scene["start"], key + ".start", board.format);
    if (scene.contains("fit"))
      entry.fit = checkChoice<Fit>(check, scene["fit"], key + ".fit", "fit",
                              {{"fill", Fit::fill}, {"fit", Fit::fit}, {"crop", Fit::crop}});
    board.scenes.push_back(entry);
  }
  if (root.contains("audio")) {
    const std::optional<AudioChoice> audio = audioChoiceOf(root["audio"], board);
    if (!audio)
      check.fail("audio", "bad audio " + root["audio"].dump() + ": write \"input\", \"none\" or a scene ID of the "
                          "storyboard");
    board.audio = *audio;
  }
  return board;
}

std::optional<AudioChoice> audioChoiceOf(const json &value, const Storyboard &board) {
  AudioChoice choice;
  choice.asked = true;
  int64_t id = 0;
  if (value.is_number_integer()) {
    id = value.get<int64_t>();
  } else if (value.is_string()) {
    const std::string text = value.get<std::string>();
    if (text == "input" || text == "none") {
      choice.kind = text == "input" ? AudioChoice::input : AudioChoice::none;
      return choice;
    }
    if (!parseWhole(text, id))
      return std::nullopt;
  } else {
    return std::nullopt;
  }
  if (std::none_of(board.scenes.begin(), board.scenes.end(), [id](const SceneEntry &e) { return e.id == id; }))
    return std::nullopt;
  choice.kind = AudioChoice::scene;
  choice.sceneId = int32_t(id);
  return choice;
}

std::filesystem::path clipPath(const Storyboard &board, const std::string &name) {
  return resolveClip(board.file, name);
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

StoryboardClips openClips(const Storyboard &board, std::size_t cacheBytes, int threads) {
  const std::size_t cacheBytesPerClip = cacheBytes / (board.scenes.size() + 1);
  // Slot 0 is the input, slot i + 1 scene i.
  const size_t count = board.scenes.size() + 1;
  const auto open = [&](size_t slot) {
    if (slot == 0)
      return openClip(board, "input", board.input, nullptr, cacheBytesPerClip);
    const SceneEntry &scene = board.scenes[slot - 1];
    return openClip(board, "scenes[" + std::to_string(slot - 1) + "].source", scene.source, &scene,
                    cacheBytesPerClip);
  };
  std::vector<std::shared_ptr<ClipSource>> opened(count);
  std::vector<std::exception_ptr> failures(count);
  const size_t workers = std::min<size_t>(count, size_t(std::max(threads, 1)));
  if (workers <= 1) {
    for (size_t slot = 0; slot < count; ++slot)
      opened[slot] = open(slot);
  } else {
    // Opening a clip is mostly its probe and first key frame, on one core
    // each; the clips' own code shares nothing between them.
    std::atomic<size_t> next{0};
    std::vector<std::thread> pool;
    for (size_t w = 0; w < workers; ++w)
      pool.emplace_back([&] {
        for (size_t slot; (slot = next++) < count;) {
          try {
            opened[slot] = open(slot);
          } catch (...) {
            failures[slot] = std::current_exception();
          }
        }
      });
    for (std::thread &worker : pool)
      worker.join();
    // The first failure in storyboard order, as opening them in turn reports.
    for (const std::exception_ptr &failure : failures)
      if (failure)
        std::rethrow_exception(failure);
  }
  StoryboardClips clips;
  clips.input = std::move(opened[0]);
  for (size_t i = 0; i < board.scenes.size(); ++i)
    clips.scenes.emplace_back(board.scenes[i].id, std::move(opened[i + 1]));
  return clips;
}

void applyStoryboard(const Storyboard &board, const StoryboardClips &clips) {
  setFormat(board.format);
  clearScenes();
  for (size_t i = 0; i < clips.scenes.size(); ++i)
    setScene(clips.scenes[i].first, clips.scenes[i].second,
             i < board.scenes.size() ? board.scenes[i].name : std::string());
  setInput(clips.input);
}

} // namespace vxhost
