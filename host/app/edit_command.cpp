// `edit`: opens the plug-in's editor on a storyboard, in a window or headless
// under a script; its result is the settings file.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "commands.hpp"
#include "host/gui/gui.hpp"
#include "host/log/logger.hpp"
#include "host/media/output.hpp"
#include "host/scenes/storyboard.hpp"
#include "host/settings/settings.hpp"
#include "plugin.hpp"

namespace vxhost::app {
namespace {

namespace fs = std::filesystem;

struct EditOptions {
  std::string storyboard;
  std::string screen = "1920x1080";
  std::string script;
  bool monitor = false;
  std::string language = "english";
  double safeMargin = 0;
  std::string previewOut;
};

Screen parseScreen(const std::string &text, double marginPercent, bool monitor) {
  Screen s;
  const size_t x = text.find('x');
  const auto number = [](const std::string &t, int &out) {
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), out);
    return !t.empty() && error == std::errc() && end == t.data() + t.size();
  };
  if (x == std::string::npos || !number(text.substr(0, x), s.width) || !number(text.substr(x + 1), s.height))
    throw std::runtime_error("--screen " + text + ": write the size as WIDTHxHEIGHT, e.g. 1920x1080");
  if (s.width < 640 || s.height < 400 || s.width > 8192 || s.height > 8192)
    throw std::runtime_error("--screen " + text + ": the screen must be 640x400 to 8192x8192");
  if (!(marginPercent >= 0 && marginPercent <= 20))
    throw std::runtime_error("--safe-margin: give 0 to 20 per cent of the screen's height");
  s.safeMargin = int(std::floor(s.height * marginPercent / 100.0 + 0.5));
  s.videoMonitor = monitor;
  return s;
}

// The plug-in's resources from message 7 to message 8.
class LoadedPlugin {
public:
  explicit LoadedPlugin(const Plugin &plugin) : plugin_(plugin) {
    if (plugin_.send(OP_MSG_LOAD) != 0) {
      plugin_.send(OP_MSG_UNLOAD);
      throw std::runtime_error("the plug-in could not load its resources or its mask catalogue (see the host's log: " +
                               logPath().string() + ")");
    }
  }
  ~LoadedPlugin() { plugin_.send(OP_MSG_UNLOAD); }
  LoadedPlugin(const LoadedPlugin &) = delete;
  LoadedPlugin &operator=(const LoadedPlugin &) = delete;

private:
  const Plugin &plugin_;
};

void runEdit(const HostContext &context, const EditOptions &options) {
  av_log_set_level(AV_LOG_FATAL);
  const Storyboard board = loadStoryboard(options.storyboard);
  setLanguage(options.language);
  setScreen(parseScreen(options.screen, options.safeMargin, options.monitor));
  if (!options.previewOut.empty())
    outputKind(options.previewOut); // a bad name is refused before anything runs
  if (!options.script.empty()) {
    gui::runScript(gui::readScript(options.script, screen().width, screen().height));
  } else {
    std::string error;
    if (!gui::openWindow(error))
      throw std::runtime_error("cannot open the editor's window: " + error +
                               "; give --script FILE to run the editor headless");
  }
  const fs::path home = setUpHome();
  StoryboardClips clips = openClips(board);
  applyStoryboard(board, clips);
  const Plugin plugin(pluginPath(context.pluginOption));
  const int32_t effectLength = 2 * board.length;
  gui::setPreviewSetup({plugin.entry(), effectLength, options.previewOut});
  int32_t result;
  {
    LoadedPlugin loaded(plugin);
    result = plugin.send(OP_MSG_EDIT, 0, effectLength);
  }
  gui::setPreviewSetup({});
  gui::closeBackend();
  if (result != 0)
    throw std::runtime_error("the plug-in's editor is not available: it answered message 4 with " +
                             std::to_string(result));
  if (const std::string failure = gui::scriptFailure(); !failure.empty())
    throw std::runtime_error("the script failed: " + failure);
  std::printf("settings: %s\n", (home / "programs/tileron/prefs/tileron.prf").c_str());
}

} // namespace

void addEditCommand(CLI::App &app, HostContext &context) {
  auto options = std::make_shared<EditOptions>();
  CLI::App *edit = app.add_subcommand("edit", "Open the plug-in's editor on a storyboard (a window, or headless with "
                                              "--script); the result is the settings file");
  edit->add_option("storyboard", options->storyboard, "Storyboard (JSON) whose format and scenes the editor uses")
      ->required();
  edit->add_option("--screen", options->screen, "Screen size WIDTHxHEIGHT (default 1920x1080)");
  edit->add_option("--script", options->script, "Run headless, fed by this GUI script (docs/gui.md)");
  edit->add_flag("--monitor", options->monitor, "Connect a video monitor output");
  edit->add_option("--language", options->language, "Language of the texts: english (default) or deutsch");
  edit->add_option("--safe-margin", options->safeMargin,
                   "Inset the visible area by this per cent of the screen's height (0 to 20)");
  edit->add_option("--preview-out", options->previewOut,
                   "Headless: write the host preview's frames here (any render output)");
  edit->callback([&context, options] { runEdit(context, *options); });
}

} // namespace vxhost::app
