#include "render_command.hpp"

#include <algorithm>
#include <climits>
#include <cctype>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/log.h>
}

#include <nlohmann/json.hpp>

#include "commands.hpp"
#include "host/media/audio.hpp"
#include "host/images/images.hpp"
#include "host/log/logger.hpp"
#include "host/media/output.hpp"
#include "host/reset.hpp"
#include "host/scenes/registry.hpp"
#include "host/media/read_ahead.hpp"
#include "host/media/write_behind.hpp"
#include "host/scenes/storyboard.hpp"
#include "host/scenes/timecode.hpp"
#include "host/settings/settings.hpp"
#include "host/support/user_home.hpp"
#include "plugin.hpp"
#include "render_jobs.hpp"
#include "vxhost/operator.h"

namespace vxhost::app {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct RenderOptions {
  std::string storyboard;
  std::string output;
  std::string fields;
  std::string start;
  std::string duration;
  std::string codec;
  std::string audio;
  std::string preset;
  std::string presetDescription;
  bool stats = false;
  int threads = 0;
  int jobs = 1;
};

// What reads ahead of and writes behind the render when it is pipelined:
// fields read ahead by all clips together, and whole frames queued for the writer.
constexpr std::size_t kReadAheadBytes = std::size_t{32} << 20;
constexpr int kWriteBehindFrames = 2;

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
  bool fieldAt(int number, int parity, uint32_t *out) override {
    const auto start = Clock::now();
    const bool made = clip_->fieldAt(number, parity, out);
    total_ += Clock::now() - start;
    return made;
  }
  OpImage *madeField(int number, int parity) override {
    const auto start = Clock::now();
    OpImage *made = clip_->madeField(number, parity);
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

// The frames --start and --duration name: the frame the start falls in,
// and as many frames as it takes to cover the duration.
FieldRange parseTimeRange(const std::string &start, const std::string &duration, const Storyboard &board) {
  const auto time = [&](const char *option, const std::string &text) {
    const std::optional<FrameTime> t = parseTime(text, board.format);
    if (!t)
      throw std::runtime_error(std::string(option) + " " + text + ": write " + kTimeSpellings);
    return *t;
  };
  const int64_t first = start.empty() ? 0 : time("--start", start).floorFrame();
  if (first >= board.length)
    throw std::runtime_error("--start " + start + ": the storyboard ends before it (it has " +
                             std::to_string(board.length) + " frames, up to " +
                             timecodeOf(board.length, board.format) + ")");
  int64_t frames = board.length - first;
  if (!duration.empty()) {
    frames = time("--duration", duration).ceilFrame();
    if (frames == 0)
      throw std::runtime_error("--duration " + duration + ": the range holds no frame");
    if (first + frames > board.length)
      throw std::runtime_error("--duration " + duration + ": the range runs past the storyboard's end (frame " +
                               std::to_string(first + frames) + " of " + std::to_string(board.length) + ")");
  }
  return {int(2 * first), int(2 * (first + frames) - 1)};
}

// The fields to render. Outputs hold whole frames: a field range starting on
// a second field or ending on a first one is widened to whole frames, with a
// note (only the discarding output takes fields as given).
FieldRange renderRange(const RenderOptions &options, const Storyboard &board, OutputKind kind) {
  if (options.fields.empty())
    return parseTimeRange(options.start, options.duration, board);
  const FieldRange asked = parseFields(options.fields, 2 * board.length);
  if (kind == OutputKind::discard || (asked.first % 2 == 0 && asked.last % 2 == 1))
    return asked;
  const FieldRange whole{asked.first / 2 * 2, asked.last / 2 * 2 + 1};
  std::fprintf(stderr, "tileron-host: note: --fields %s widened to %d:%d (the output holds whole frames)\n",
               options.fields.c_str(), whole.first, whole.last);
  return whole;
}

// The sound of the render: the chosen clip's audio from the time its first
// frame shows. A clip without audio (or a pattern) gives no track, or
// silence when the audio was asked for by name; outputs without sound get a
// note when it was.
std::shared_ptr<AudioTrack> openAudio(const Storyboard &board, const AudioChoice &choice, const FieldRange &range,
                                      OutputKind kind) {
  if (choice.kind == AudioChoice::none || (!holdsAudio(kind) && !choice.asked) || kind == OutputKind::discard)
    return nullptr;
  if (!holdsAudio(kind)) {
    std::fprintf(stderr, "tileron-host: note: this kind of output holds no sound; the audio is left out\n");
    return nullptr;
  }
  std::string name = board.input, key = "input";
  FrameTime start;
  if (choice.kind == AudioChoice::scene)
    for (size_t i = 0; i < board.scenes.size(); ++i)
      if (board.scenes[i].id == choice.sceneId) {
        name = board.scenes[i].source;
        start = board.scenes[i].start;
        key = "scenes[" + std::to_string(i) + "].source";
      }
  std::unique_ptr<AudioTrack> track;
  if (!isPatternName(name)) {
    // (first frame + in-point) frames, at rateDen / rateNum seconds each.
    AudioSource source;
    source.file = clipPath(board, name);
    __int128 num = (__int128(range.first / 2) * start.den + start.num) * board.format.rateDen;
    __int128 den = __int128(start.den) * board.format.rateNum;
    while (num > INT64_MAX || den > INT64_MAX)
      num /= 2, den /= 2;
    source.startNum = int64_t(num);
    source.startDen = std::max<int64_t>(int64_t(den), 1);
    try {
      track = AudioTrack::open(source);
    } catch (const AudioError &e) {
      throw std::runtime_error(board.file.string() + ": " + key + ": " + name + ": " + e.what());
    }
  }
  if (!track && choice.asked)
    track = AudioTrack::silence();
  return track;
}

MovCodec movCodecOf(const std::string &codec, OutputKind kind) {
  if (codec.empty())
    return MovCodec::prores;
  if (kind != OutputKind::mov)
    throw std::runtime_error("--codec " + codec + ": only a .mov output has a choice of codec");
  if (codec == "prores")
    return MovCodec::prores;
  if (codec == "dnxhr")
    return MovCodec::dnxhr;
  throw std::runtime_error("--codec " + codec + ": unknown codec (a .mov holds prores or dnxhr)");
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
  return describeReports(takeLog()) + "\n  (the host's log: " + logPath().string() + ")";
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
// parts are read as the plug-in reads them, by tileron-preset, which runs
// while the render opens its clips; when it cannot read them, the set-up
// reports why.
class MissingScenesCheck {
public:
  explicit MissingScenesCheck(const fs::path &settings)
      : shown_(siblingProgram("tileron-preset"), {"show", settings.string()}, true) {}
  // Waits for tileron-preset and prints the warnings; again, nothing.
  void report(const Storyboard &board);

private:
  ProgramOutput shown_;
  bool reported_ = false;
};

void MissingScenesCheck::report(const Storyboard &board) {
  if (reported_)
    return;
  reported_ = true;
  std::string shown;
  if (shown_.finish(&shown) != 0)
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

// The range in `options.jobs` processes, joined: each segment is a render
// of this program with the settings this one uses (a preset installed, or
// the private home of a preset description, which the segments inherit as
// their VXHOME).
void renderJobs(const HostContext &context, const RenderOptions &options, const Storyboard &board,
                const FieldRange &range, OutputKind kind) {
  JobsRender jobs;
  jobs.storyboard = options.storyboard;
  jobs.output = options.output;
  jobs.kind = kind;
  jobs.format = board.format;
  jobs.firstField = range.first;
  jobs.lastField = range.last;
  jobs.jobs = options.jobs;
  if (!context.pluginOption.empty())
    jobs.programArguments = {"--plugin", context.pluginOption};
  const std::pair<const char *, const std::string &> passed[] = {{"--codec", options.codec},
                                                                 {"--audio", options.audio}};
  for (const auto &[option, value] : passed)
    if (!value.empty())
      jobs.renderArguments.insert(jobs.renderArguments.end(), {option, value});
  if (options.threads != 0)
    jobs.renderArguments.insert(jobs.renderArguments.end(), {"--threads", std::to_string(options.threads)});
  InterruptGuard interruptGuard; // the segments stop on Ctrl-C; this one cleans up after them
  const auto start = Clock::now();
  renderInJobs(jobs);
  if (options.stats) {
    const int fields = range.last - range.first + 1;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::fprintf(kind == OutputKind::y4mStdout ? stderr : stdout, "fields %d  seconds %.3f  fields/s %.1f  jobs %d\n",
                 fields, seconds, fields / std::max(seconds, 1e-9), options.jobs);
  }
}

void runRender(const HostContext &context, const RenderOptions &options) {
  // The messages below say what is wrong; FFmpeg's own would only repeat it.
  av_log_set_level(AV_LOG_FATAL);
  const Storyboard board = loadStoryboard(options.storyboard);
  const Format &format = board.format;
  // A bad output name or range is refused before any clip is opened.
  const OutputKind kind = outputKind(options.output);
  const FieldRange range = renderRange(options, board, kind);
  WriterOptions writerOptions;
  writerOptions.firstFrame = range.first / 2;
  writerOptions.movCodec = movCodecOf(options.codec, kind);
  AudioChoice audioChoice = board.audio;
  if (!options.audio.empty()) {
    const std::optional<AudioChoice> asked = audioChoiceOf(nlohmann::json(options.audio), board);
    if (!asked)
      throw std::runtime_error("--audio " + options.audio + ": write input, none or a scene ID of the storyboard");
    audioChoice = *asked;
  }
  if (kind == OutputKind::pngStill && range.last - range.first != 1)
    throw std::runtime_error(options.output + ": a .png file holds one frame: render one frame (--start T "
                             "--duration 1f), or name a folder or a %05d.png pattern");

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
  // Started before the environment changes below: it reads the settings
  // with the user's home and log. A process of its own, it runs beside the
  // set-up with --threads 1 too; its warnings come before the first field.
  MissingScenesCheck missingScenes(settings);
  const bool pipelined = options.threads != 1;
  if (privateHome)
    privateHome->use(logPath());

  Clock::duration clipTime{};
  // Fields are asked for in order, so a clip never goes back to a frame
  // before the one it shows: the one frame every clip keeps (both fields of
  // a frame come from it) is enough, and a larger cache would only fault in
  // fresh memory for frames never reused.
  // The cores this process may use (a farm task gets a few of a node's),
  // as the encoders count them.
  StoryboardClips clips = openClips(board, 0, pipelined ? av_cpu_count() : 1);
  // Pipelined, each clip file reads ahead on a thread of its own (the
  // built-in patterns cost less than the copy); the time counted for the
  // clips is then the time the render waits for them.
  size_t files = isPatternName(board.input) ? 0 : 1;
  for (const SceneEntry &scene : board.scenes)
    files += isPatternName(scene.source) ? 0 : 1;
  const int depth = readAheadDepth(format, files, kReadAheadBytes);
  // Rendered by --jobs children, joined here (whole frames only, not a still).
  const bool splitIntoJobs =
      options.jobs > 1 && kind != OutputKind::pngStill && range.first % 2 == 0 && range.last % 2 == 1;
  // Rendered here, the scenes start reading the first field at once, beside
  // the plug-in's set-up (every shown scene is asked for it); the input only
  // when asked, as parts that cover the frame leave it unread.
  const int firstRead = splitIntoJobs ? -1 : range.first;
  const auto prepare = [&](std::shared_ptr<ClipSource> clip, const std::string &name, int first) {
    if (pipelined && !isPatternName(name))
      clip = readAhead(std::move(clip), format, depth, first, range.last);
    return std::make_shared<TimedClip>(std::move(clip), clipTime);
  };
  std::vector<std::pair<std::string, std::shared_ptr<ClipSource>>> named; // for failure messages
  clips.input = prepare(clips.input, board.input, -1);
  named.emplace_back("input (" + board.input + ")", clips.input);
  for (size_t i = 0; i < clips.scenes.size(); ++i) {
    auto &[id, clip] = clips.scenes[i];
    clip = prepare(clip, board.scenes[i].source, firstRead);
    named.emplace_back("scene " + std::to_string(id) + " (" + board.scenes[i].source + ")", clip);
  }

  writerOptions.audio = openAudio(board, audioChoice, range, kind);
  if (splitIntoJobs) {
    if (writerOptions.audio && kind == OutputKind::mp4)
      throw std::runtime_error("--jobs " + std::to_string(options.jobs) +
                               ": the sound of an .mp4 (AAC) cannot be joined without a click at each segment's "
                               "start; render to .mkv or .mov, or with --audio none");
    missingScenes.report(board);
    renderJobs(context, options, board, range, kind);
    return;
  }
  writerOptions.encoderThreads = pipelined ? options.threads : 1;
  applyStoryboard(board, clips);
  // The clips (and the threads reading them ahead) end with the render.
  const struct ClipsRelease {
    ~ClipsRelease() {
      clearScenes();
      setInput(nullptr);
    }
  } clipsRelease;
  WriteBehind writer(openWriter(options.output, format, writerOptions), pipelined ? kWriteBehindFrames : 0);
  const Plugin plugin(pluginPath(context.pluginOption));
  captureLog(true);
  takeLog();
  RenderSession session(plugin);
  const int32_t setUp = plugin.send(OP_MSG_SETUP, 0);
  missingScenes.report(board); // after the plug-in's own set-up, which it ran beside
  if (setUp != 0)
    throw std::runtime_error("the effect could not be set up: its settings or its mask could not be used" + reports());

  OpImageHandle delivered;
  setFieldSink([&delivered](OpImage *image) { delivered.reset(image); });
  const int fieldHeight = format.height / 2;
  // The two fields of the frame being made, kept until both are there and
  // handed to the writer, which reads them in place.
  OpImageHandle fields[2];
  Progress progress(range.last - range.first + 1);
  InterruptGuard interruptGuard;
  const auto start = Clock::now();
  const Clock::duration clipTimeBefore = clipTime;

  for (int t = range.first; t <= range.last; ++t) {
    if (interrupted)
      throw std::runtime_error("interrupted at field " + std::to_string(t) + "; nothing was written");
    delivered.reset();
    const int parity = fieldParity(format, t);
    const int32_t result = plugin.send(OP_MSG_RENDER, parity ? OP_FLAG_ODD_FIELD : 0, 2 * board.length, t);
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
    fields[parity] = std::move(delivered);
    // A frame cut by a field range (to the discarding output only) keeps
    // its other field's lines black.
    if (t % 2 == 1 || t == range.last) {
      writer.write(std::move(fields[0]), std::move(fields[1]));
      fields[0].reset();
      fields[1].reset();
    }
    takeLog(); // a field that came is not a failure: its reports need not be kept
    progress.update(t - range.first + 1);
  }
  writer.finish(); // counted: frames written behind the render are part of it
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const double clipSeconds = std::chrono::duration<double>(clipTime - clipTimeBefore).count();
  progress.finish();
  if (options.stats) {
    const int fields = range.last - range.first + 1;
    // Standard output may be carrying the video.
    std::fprintf(kind == OutputKind::y4mStdout ? stderr : stdout,
                "fields %d  seconds %.3f  fields/s %.1f  clip seconds %.3f  fields/s without clips %.1f\n", fields,
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
                     "Output: NAME.y4m, NAME.mkv, NAME.mp4, NAME.mov, NAME.png (one frame), a folder or "
                     "NAME%05d.png for PNG frames, - for Y4M on standard output, /dev/null for none")
      ->required();
  CLI::Option *fields =
      render->add_option("--fields", options->fields, "Render fields A to B only (inclusive), e.g. 0:49");
  render->add_option("--start", options->start,
                     "Start at this time: seconds (2.5), timecode HH:MM:SS:FF or frames (123f)")
      ->excludes(fields);
  render->add_option("--duration", options->duration,
                     "Render this long: seconds (2.5), timecode HH:MM:SS:FF or frames (123f)")
      ->excludes(fields);
  render->add_option("--audio", options->audio,
                     "Sound of the output: input (the default), none or a scene ID (overrides the storyboard)");
  render->add_option("--codec", options->codec, "Codec of a .mov output: prores (422 HQ, default) or dnxhr (HQX)");
  CLI::Option *preset =
      render->add_option("--preset", options->preset, "Copy archive/NAME.prf over the settings file first");
  render->add_option("--preset-description", options->presetDescription,
                     "Render with the settings this preset description (JSON) makes; the home's settings file "
                     "is left as it is")
      ->excludes(preset);
  render->add_flag("--stats", options->stats, "Print fields per second, with and without the clips' time");
  render->add_option("--threads", options->threads,
                     "1: decode, render and encode on one thread; else clips read ahead and the output is "
                     "written behind the render, its encoder on N threads (0, the default: as many as it "
                     "chooses)")
      ->check(CLI::NonNegativeNumber);
  render->add_option("--jobs", options->jobs,
                     "Render in N processes at once, each a contiguous range of frames, and join their outputs "
                     "without encoding again (default 1)")
      ->check(CLI::PositiveNumber);
  render->callback([&context, options] { runRender(context, *options); });
}

} // namespace vxhost::app
