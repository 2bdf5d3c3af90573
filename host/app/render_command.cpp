#include "render_command.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include <nlohmann/json.hpp>

#include "commands.hpp"
#include "host/media/output.hpp"
#include "host/scenes/storyboard.hpp"
#include "host/support/user_home.hpp"
#include "plugin.hpp"
#include "vxhost/operator.h"

namespace vxhost::app {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct RenderOptions {
  std::string storyboard;
  std::string output;
  std::string fields;
  std::string preset;
  std::string presetDescription;
  bool stats = false;
};

volatile std::sig_atomic_t interrupted = 0;

// Ctrl-C stops between fields, so that the partial output is removed.
class InterruptGuard {
public:
  InterruptGuard() {
    interrupted = 0;
    previous_ = std::signal(SIGINT, [](int) { interrupted = 1; });
  }
  ~InterruptGuard() { std::signal(SIGINT, previous_); }

private:
  void (*previous_)(int);
};

// A clip that adds up the time its frames take (decoding and conversion).
class TimedClip : public ClipSource {
public:
  TimedClip(std::shared_ptr<ClipSource> clip, Clock::duration &total) : clip_(std::move(clip)), total_(total) {}
  int length() const override { return clip_->length(); }
  const uint32_t *frame(int index) override {
    const auto start = Clock::now();
    const uint32_t *pixels = clip_->frame(index);
    total_ += Clock::now() - start;
    return pixels;
  }
  bool field(int index, int parity, uint32_t *out) override {
    const auto start = Clock::now();
    const bool made = clip_->field(index, parity, out);
    total_ += Clock::now() - start;
    return made;
  }
  std::string takeFailure() override { return clip_->takeFailure(); }

private:
  std::shared_ptr<ClipSource> clip_;
  Clock::duration &total_;
};

struct FieldRange {
  int first, last; // inclusive
};

FieldRange parseFields(const std::string &text, int fieldCount) {
  if (text.empty())
    return {0, fieldCount - 1};
  const size_t colon = text.find(':');
  int first = -1, last = -1;
  const auto number = [](const std::string &s, int &out) {
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && error == std::errc() && end == s.data() + s.size();
  };
  if (colon == std::string::npos || !number(text.substr(0, colon), first) || !number(text.substr(colon + 1), last))
    throw std::runtime_error("--fields " + text + ": write the first and the last field as A:B, e.g. 0:99");
  if (first < 0 || last < first || last >= fieldCount)
    throw std::runtime_error("--fields " + text + ": the fields must satisfy 0 <= A <= B <= " +
                             std::to_string(fieldCount - 1) + " (the storyboard has " +
                             std::to_string(fieldCount) + " fields)");
  return {first, last};
}

// Letters, digits, '_', '-', '.' and blanks, not starting with '.': a preset
// name can never leave the archive folder.
bool isPresetName(const std::string &name) {
  if (name.empty() || name[0] == '.' || name.size() > 200)
    return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' || c == ' ';
  });
}

void installPreset(const fs::path &home, std::string name) {
  const fs::path archive = home / "programs/tileron/archive";
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".prf") == 0)
    name.resize(name.size() - 4); // the archive's extension, given once
  if (!isPresetName(name))
    throw std::runtime_error("--preset \"" + name + "\": not a preset name (letters, digits, '_', '-', '.', blanks)");
  const fs::path preset = archive / (name + ".prf");
  std::error_code ec;
  if (!fs::is_regular_file(preset, ec)) {
    std::string known;
    if (fs::is_directory(archive, ec))
      for (const auto &entry : fs::directory_iterator(archive, ec))
        if (entry.path().extension() == ".prf")
          known += (known.empty() ? "" : ", ") + entry.path().stem().string();
    throw std::runtime_error("--preset " + name + ": no preset " + preset.string() +
                             (known.empty() ? " (the archive holds none)" : " (presets there: " + known + ")"));
  }
  fs::create_directories(home / "programs/tileron/prefs", ec);
  fs::copy_file(preset, home / "programs/tileron/prefs/tileron.prf", fs::copy_options::overwrite_existing, ec);
  if (ec)
    throw std::runtime_error("--preset " + name + ": cannot copy it over the settings file (" + ec.message() + ")");
}

// The level-3 reports logged since the last call, one per line, for an error message.
std::string reports() {
  std::string text;
  for (const LogRecord &record : takeLog())
    if (record.level <= 3)
      text += "\n  report: " + record.source + " line " + std::to_string(record.line) +
              (record.text == " " ? "" : ": " + record.text);
  return text + "\n  (the host's log: " + logPath().string() + ")";
}

// A home of the render's own whose mask folder is the user's: its settings
// file is the one a preset description makes, and the user's settings file
// is never touched. Removed with everything in it at the end.
class PrivateHome {
public:
  PrivateHome(const fs::path &home, const std::string &description) : root_(makeLinkedHome(home, "tileron-render")) {
    const int status = runProgram(siblingProgram("tileron-preset"),
                                  {"make", description, "-o", settingsFile().string()});
    if (status != 0) {
      std::error_code ec;
      fs::remove_all(root_, ec);
      throw std::runtime_error("--preset-description " + description +
                               ": no settings could be made from it (tileron-preset says why above)");
    }
  }
  ~PrivateHome() {
    std::error_code ec;
    fs::remove_all(root_, ec); // removes the link to the masks, not the masks
  }
  PrivateHome(const PrivateHome &) = delete;
  PrivateHome &operator=(const PrivateHome &) = delete;

  // Makes it the plug-in's home; the log stays the user's.
  void use(const fs::path &userLog) const {
    if (::setenv("VXHOST_LOG", userLog.c_str(), 1) != 0)
      throw std::runtime_error("cannot set the environment variable VXHOST_LOG");
    setHome(root_);
  }
  fs::path settingsFile() const { return root_ / "programs/tileron/prefs/tileron.prf"; }

private:
  fs::path root_;
};

// One warning on standard error for each part whose scene the storyboard
// does not have: the render goes on, and such a part shows the input. The
// parts are read as the plug-in reads them, by tileron-preset; when it
// cannot read them, the set-up reports why.
void warnAboutMissingScenes(const fs::path &settings, const Storyboard &board) {
  std::string shown;
  if (runProgram(siblingProgram("tileron-preset"), {"show", settings.string()}, &shown, true) != 0)
    return;
  const nlohmann::json description = nlohmann::json::parse(shown, nullptr, false);
  if (!description.is_object() || !description.contains("parts") || !description["parts"].is_array())
    return;
  std::string known;
  for (const SceneEntry &scene : board.scenes)
    known += (known.empty() ? "" : ", ") + std::to_string(scene.id);
  const nlohmann::json &parts = description["parts"];
  for (size_t i = 0; i < parts.size(); ++i) {
    const int id = parts[i].value("scene", 0);
    if (id == 0 || std::any_of(board.scenes.begin(), board.scenes.end(),
                               [id](const SceneEntry &scene) { return scene.id == id; }))
      continue;
    std::fprintf(stderr,
                 "tileron-host: warning: part %zu shows scene ID %d, which the storyboard does not have "
                 "(%s): the part shows the input\n",
                 i + 1, id, known.empty() ? "it has no scenes" : ("its scenes: " + known).c_str());
  }
}

// Progress on a terminal: fields done, fields per second, time left; at most
// five updates a second.
class Progress {
public:
  explicit Progress(int total) : total_(total), shown_(isatty(STDERR_FILENO)), start_(Clock::now()) {}
  ~Progress() { finish(); }
  // Ends the progress line, so that what is printed next starts a line.
  void finish() {
    if (shown_ && drawn_)
      std::fputc('\n', stderr);
    drawn_ = false;
  }
  void update(int done) {
    if (!shown_)
      return;
    const auto now = Clock::now();
    if (done < total_ && now - last_ < std::chrono::milliseconds(200))
      return;
    last_ = now;
    drawn_ = true;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? done / seconds : 0;
    const double left = rate > 0 ? (total_ - done) / rate : 0;
    std::fprintf(stderr, "\rfield %d of %d (%d%%), %.1f fields/s, %.0f s left   ", done, total_,
                 int(int64_t{done} * 100 / total_), rate, left);
    std::fflush(stderr);
  }

private:
  int total_;
  bool shown_, drawn_ = false;
  Clock::time_point start_, last_{};
};

// The plug-in's render instance from set-up to tear-down and unload; sends
// 2 and 8 on every way out once 7 has been sent.
class RenderSession {
public:
  explicit RenderSession(const Plugin &plugin) : plugin_(plugin) {
    if (plugin_.send(OP_MSG_LOAD) != 0) {
      const std::string why = reports();
      plugin_.send(OP_MSG_UNLOAD);
      throw std::runtime_error("the plug-in could not load its resources or its mask catalogue" + why);
    }
  }
  ~RenderSession() {
    setFieldSink(nullptr);
    plugin_.send(OP_MSG_TEARDOWN);
    plugin_.send(OP_MSG_UNLOAD);
  }
  RenderSession(const RenderSession &) = delete;
  RenderSession &operator=(const RenderSession &) = delete;

private:
  const Plugin &plugin_;
};

struct ImageFree {
  void operator()(OpImage *image) const { opFreeImage(image); }
};

void runRender(const HostContext &context, const RenderOptions &options) {
  // The messages below say what is wrong; FFmpeg's own would only repeat it.
  av_log_set_level(AV_LOG_FATAL);
  const Storyboard board = loadStoryboard(options.storyboard);
  const Format &format = board.format;
  const FieldRange range = parseFields(options.fields, 2 * board.length);
  outputKind(options.output); // a bad output name is refused before any clip is opened

  // The settings first: a missing one is found before any clip is read.
  const fs::path home = setUpHome();
  if (!options.preset.empty())
    installPreset(home, options.preset);
  std::unique_ptr<PrivateHome> privateHome;
  if (!options.presetDescription.empty())
    privateHome = std::make_unique<PrivateHome>(home, options.presetDescription);
  const fs::path settings = privateHome ? privateHome->settingsFile() : home / "programs/tileron/prefs/tileron.prf";
  if (!fs::exists(settings))
    throw std::runtime_error("no settings file yet: make one with tileron-preset new MASK, tileron-preset make or "
                             "the editor (looked for " + settings.string() + ")");
  warnAboutMissingScenes(settings, board);
  if (privateHome)
    privateHome->use(logPath());

  Clock::duration clipTime{};
  // Fields are asked for in order, so a clip never goes back to a frame
  // before the one it shows: the two frames every clip keeps are enough, and
  // a larger cache would only fault in fresh memory for frames never reused.
  StoryboardClips clips = openClips(board, 0);
  std::vector<std::pair<std::string, std::shared_ptr<ClipSource>>> named; // for failure messages
  clips.input = std::make_shared<TimedClip>(clips.input, clipTime);
  named.emplace_back("input (" + board.input + ")", clips.input);
  for (size_t i = 0; i < clips.scenes.size(); ++i) {
    auto &[id, clip] = clips.scenes[i];
    clip = std::make_shared<TimedClip>(clip, clipTime);
    named.emplace_back("scene " + std::to_string(id) + " (" + board.scenes[i].source + ")", clip);
  }

  applyStoryboard(board, clips);
  std::unique_ptr<FrameWriter> writer = openWriter(options.output, format, range.first / 2);
  const Plugin plugin(pluginPath(context.pluginOption));
  captureLog(true);
  takeLog();
  RenderSession session(plugin);
  if (plugin.send(OP_MSG_SETUP, 0) != 0)
    throw std::runtime_error("the effect could not be set up: its settings or its mask could not be used" + reports());

  std::unique_ptr<OpImage, ImageFree> delivered;
  setFieldSink([&delivered](OpImage *image) { delivered.reset(image); });
  const int fieldHeight = format.height / 2;
  // The two fields of the frame being made, kept until both are there and
  // the writer reads them in place.
  std::unique_ptr<OpImage, ImageFree> fields[2];
  const auto pixelsOf = [](const std::unique_ptr<OpImage, ImageFree> &field) {
    return field ? reinterpret_cast<const uint32_t *>(field->pixels) : nullptr;
  };
  Progress progress(range.last - range.first + 1);
  InterruptGuard interruptGuard;
  const auto start = Clock::now();
  const Clock::duration clipTimeBefore = clipTime;

  for (int t = range.first; t <= range.last; ++t) {
    if (interrupted)
      throw std::runtime_error("interrupted at field " + std::to_string(t) + "; nothing was written");
    delivered.reset();
    const int32_t result = plugin.send(OP_MSG_RENDER, t % 2 ? OP_FLAG_ODD_FIELD : 0, 2 * board.length, t);
    for (auto &[name, clip] : named)
      if (const std::string failure = clip->takeFailure(); !failure.empty())
        throw std::runtime_error("field " + std::to_string(t) + " failed: " + name + ": " + failure);
    if (result != 0 || !delivered)
      throw std::runtime_error("field " + std::to_string(t) + " failed: the plug-in did not deliver it" + reports());
    if (delivered->width != format.width || delivered->height != fieldHeight || delivered->kind != OP_KIND_YUVA)
      throw std::runtime_error("field " + std::to_string(t) + " failed: the plug-in delivered a " +
                               std::to_string(delivered->width) + " x " + std::to_string(delivered->height) +
                               " image of kind " + std::to_string(delivered->kind) + " for a " +
                               std::to_string(format.width) + " x " + std::to_string(fieldHeight) + " field");
    fields[t % 2] = std::move(delivered);
    // A frame cut by the range keeps its other field's lines black.
    if (t % 2 == 1 || t == range.last) {
      writer->writeFields(pixelsOf(fields[0]), pixelsOf(fields[1]));
      fields[0].reset();
      fields[1].reset();
    }
    takeLog(); // a field that came is not a failure: its reports need not be kept
    progress.update(t - range.first + 1);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double clipSeconds = std::chrono::duration<double>(clipTime - clipTimeBefore).count();
  writer->finish();
  progress.finish();
  if (options.stats) {
    const int fields = range.last - range.first + 1;
    std::printf("fields %d  seconds %.3f  fields/s %.1f  clip seconds %.3f  fields/s without clips %.1f\n", fields,
                seconds, fields / std::max(seconds, 1e-9), clipSeconds,
                fields / std::max(seconds - clipSeconds, 1e-9));
  }
}

} // namespace

void addRenderCommand(CLI::App &app, HostContext &context) {
  auto options = std::make_shared<RenderOptions>();
  CLI::App *render = app.add_subcommand("render", "Render a storyboard through the plug-in into a video file");
  render->add_option("storyboard", options->storyboard, "Storyboard (JSON) to render")->required();
  render->add_option("-o,--output", options->output,
                     "Output: NAME.y4m, NAME.mkv, NAME.mp4, a folder or NAME%05d.png for PNG frames, "
                     "/dev/null for none")
      ->required();
  render->add_option("--fields", options->fields, "Render fields A to B only (inclusive), e.g. 0:49");
  CLI::Option *preset =
      render->add_option("--preset", options->preset, "Copy archive/NAME.prf over the settings file first");
  render->add_option("--preset-description", options->presetDescription,
                     "Render with the settings this preset description (JSON) makes; the home's settings file "
                     "is left as it is")
      ->excludes(preset);
  render->add_flag("--stats", options->stats, "Print fields per second, with and without the clips' time");
  render->callback([&context, options] { runRender(context, *options); });
}

} // namespace vxhost::app
