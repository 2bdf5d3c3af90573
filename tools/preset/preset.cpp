#include "preset.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

#include "engine/split_mask.hpp"
#include "entry/module.hpp"
#include "host/control.hpp"
#include "host/media/output.hpp"
#include "host/support/user_home.hpp"
#include "vxhost/orvexares.h"

namespace tileron::preset {
namespace {

namespace fs = std::filesystem;

// A private VXHOME for the operator's code, whose mask folder is the user's:
// the editor instance reads and writes its settings file there, never in the
// user's home. A home without masks gets the bundled library first, and the
// operator's reports go to the user's log, where they stay.
class Workshop {
public:
  explicit Workshop(const fs::path &home) {
    vxhost::installBundledMasks(home, "tileron-preset");
    const fs::path masks = fs::absolute(home / "programs/tileron/mask");
    if (!fs::is_directory(masks))
      throw std::runtime_error("no masks are installed: " + masks.string() + " does not exist");
    const char *log = std::getenv("VXHOST_LOG");
    if ((!log || !*log) && ::setenv("VXHOST_LOG", (fs::absolute(home) / "log/vxhost.log").c_str(), 1) != 0)
      throw std::runtime_error("cannot set the environment variable VXHOST_LOG");
    root_ = vxhost::makeLinkedHome(home, "tileron-preset");
    vxhost::setHome(root_);
    vxhost::captureLog(true);
    vxhost::takeLog();
    // Mask titles are read in the language the resource strings name.
    moduleState().strings = resLoadStrings("tileron");
  }
  ~Workshop() {
    resFreeStrings(moduleState().strings);
    moduleState().strings = 0;
    vxhost::captureLog(false);
    std::error_code ec;
    fs::remove_all(root_, ec); // removes the link to the masks, not the masks
  }
  Workshop(const Workshop &) = delete;
  Workshop &operator=(const Workshop &) = delete;

  fs::path settingsFile() const { return root_ / "programs/tileron/prefs/tileron.prf"; }

  // The operator's error reports since the last call, for a message about
  // a failure the user cannot mend (the records stay in the log).
  static std::string reports() {
    std::string text;
    for (const vxhost::LogRecord &record : vxhost::takeLog())
      if (record.level <= 3)
        text += "\n  report: " + record.source + " line " + std::to_string(record.line) +
                (record.text == " " ? "" : ": " + record.text);
    return text;
  }

private:
  fs::path root_;
};

// Why the mask at the home-relative `maskPath` did not load, as a sentence
// naming its file; the operator's own records stay in the host log.
std::string maskProblem(const fs::path &home, const std::string &maskPath) {
  vxhost::takeLog();
  const fs::path file = fs::absolute(home).string() + maskPath;
  std::error_code error;
  if (!fs::exists(file, error))
    return "there is no mask file " + file.string() + " (tileron-host masks list shows the installed masks)";
  return file.string() + " cannot be read as a mask: it is not a mask description, or an image it names is "
                         "missing or unreadable (the host log " + vxhost::logPath().string() + " has the details)";
}

std::string readAll(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error(path.string() + ": cannot be read");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

void makePreset(const PresetDescription &description, const std::string &source, const fs::path &home,
                const fs::path &output) {
  Workshop workshop(home);
  // The editor shows the input and the parts' scenes; any picture will do,
  // but every scene named must exist or the part loses it.
  vxhost::setFormat(vxhost::Format{});
  const vxhost::Format &format = vxhost::format();
  const auto picture = vxhost::memorySource({std::vector<uint32_t>(size_t(format.width) * format.height, 0x108080FFu)});
  vxhost::setInput(picture);
  for (const PartValues &part : description.parts)
    if (part.scene)
      vxhost::setScene(part.scene, picture);

  {
    SplitMask editor;
    const vxhost::Screen &screen = vxhost::screen();
    // The editor falls back to the default mask when the one asked for does
    // not load; a preset must name the mask it was asked for.
    if (!editor.setupEditor(description.maskPath.c_str(), screen.width, screen.height, 0) ||
        editor.maskPath != description.maskPath)
      throw std::runtime_error(source + ": mask: " + maskProblem(home, description.maskPath));
    if (int(description.parts.size()) > editor.partCount)
      throw std::runtime_error(source + ": parts: the mask " + description.maskPath + " has " +
                               std::to_string(editor.partCount) + " parts, the description " +
                               std::to_string(description.parts.size()));
    for (size_t i = 0; i < description.parts.size(); ++i) {
      const PartValues &part = description.parts[i];
      editor.selectPart(int(i));
      editor.resetPart(); // the mask's own scale, anchor 5, no offset, opaque
      editor.setPartScene(part.scene);
      if (part.scale)
        editor.setPartScale(int16_t(*part.scale));
      editor.setPartAlign(int16_t(part.anchor));
      // As the editor's sliders do: they show minus the stored offset.
      editor.setPartOffsetXPercent(-part.offsetX);
      editor.setPartOffsetYPercent(-part.offsetY);
      editor.setPartOpacity(int16_t(part.opacity));
      if (editor.partScene[i] != part.scene)
        throw std::runtime_error(source + ": parts[" + std::to_string(i) + "].scene: " + std::to_string(part.scene) +
                                 " was not taken" + Workshop::reports());
    }
    editor.selectPart(0);
    editor.barStyle = description.barStyle;
    editor.barStyleChanged();
    editor.setBarWidth(int16_t(description.barWidth));
    if (!editor.saveSettings())
      throw std::runtime_error("the settings could not be saved" + Workshop::reports());
  }
  vxhost::writeFileAtomically(output, readAll(workshop.settingsFile()));
  vxhost::clearScenes();
  vxhost::setInput(nullptr);
}

PresetDescription scenePerPart(const std::string &maskPath, const std::string &source, const fs::path &home) {
  int parts = 0;
  {
    Workshop workshop(home);
    SplitMask state;
    state.maskPath = maskPath;
    const vxhost::Screen &screen = vxhost::screen();
    if (!state.setGeometry(screen.width, screen.height, false, false) || !state.loadMask(false))
      throw std::runtime_error(source + ": mask: " + maskProblem(home, maskPath));
    parts = std::clamp<int>(state.partCount, 0, kMaxParts);
  }
  PresetDescription description;
  description.maskPath = maskPath;
  for (int i = 0; i < parts; ++i) {
    PartValues part;
    part.scene = i + 1;
    description.parts.push_back(part);
  }
  return description;
}

PresetDescription readPreset(const fs::path &file, const fs::path &home) {
  const std::string bytes = readAll(file);
  Workshop workshop(home);
  vxhost::writeFileAtomically(workshop.settingsFile(), bytes);

  SplitMask state;
  const vxhost::Screen &screen = vxhost::screen();
  if (!state.setGeometry(screen.width, screen.height, false, false))
    throw std::runtime_error("the host gave no picture format" + Workshop::reports());
  if (!state.loadLastMaskPath() || state.maskPath.empty())
    throw std::runtime_error(file.string() + ": not a settings or preset file");
  if (!state.loadMask(false))
    throw std::runtime_error(file.string() + ": its mask " + state.maskPath + ": " + maskProblem(home, state.maskPath));
  if (!state.applySavedSettings())
    throw std::runtime_error(file.string() + ": damaged or cut short" + Workshop::reports());

  PresetDescription description;
  description.maskPath = state.maskPath;
  description.barWidth = state.barWidth;
  description.barStyle = state.barStyle;
  for (int i = 0; i < state.partCount; ++i) {
    PartValues part;
    part.scene = state.partScene[i];
    part.scale = state.partScale[i];
    part.anchor = state.partAlign[i];
    part.offsetX = int(std::lround(-state.partOffsetX[i] * 100.0 / state.workWidth));
    part.offsetY = int(std::lround(-state.partOffsetY[i] * 100.0 / state.workHeight));
    part.opacity = state.partOpacity[i];
    description.parts.push_back(part);
  }
  return description;
}

} // namespace tileron::preset
