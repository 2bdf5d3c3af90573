#include "editor/presets.hpp"

#include <cstdio>
#include <memory>
#include <vector>

#include "editor/editor_run.hpp"
#include "engine/split_mask.hpp"
#include "entry/module.hpp"
#include "support/home_files.hpp"
#include "support/report.hpp"
#include "support/toolkit.hpp"
#include "vxhost/orvexares.h"

namespace tileron {

namespace {

constexpr const char *kPresetExtension = ".prf";

// File requester modes and their titles.
constexpr int32_t kModeLoad = 1, kModeSave = 2, kModeDelete = 3;
enum : int32_t {
  kTitleDelete = 200, kTitleLoad = 201, kTitleSave = 202,
  kTitleReplace = 300, kTextReplace = 301, kTextLoadError = 400, kTextSaveError = 401,
};
// The requester's name buffers: 2048 characters, one kept for the terminator.
constexpr std::size_t kNameBufferSize = 2048;

const xchar *text(const ModuleState &module, int32_t number) {
  return resGetString(module.strings, number);
}

// Runs the host's file requester over the archive directory. True when the
// user confirmed a name, which is then in `name`.
bool askPresetName(const ModuleState &module, int32_t title, int32_t mode, std::string &name) {
  std::vector<char> name8(kNameBufferSize, '\0');
  std::vector<xchar> name16(kNameBufferSize, 0);
  FileRequest request{};
  request.title = text(module, title);
  request.directory = kArchiveDirectory;
  request.mode = mode;
  request.name = name8.data();
  request.nameCapacity = int16_t(kNameBufferSize - 1);
  request.name16 = name16.data();
  request.name16Capacity = int16_t(kNameBufferSize - 1);
  if (creqFileRequest(&request) != 0 || request.result != 1) return false;
  name8.back() = '\0';
  name = name8.data();
  return true;
}

void showError(const ModuleState &module, int32_t title, int32_t message) {
  showTextRequest(text(module, title), text(module, message), kTextMessage);
}

} // namespace

std::string presetFilePath(const std::string &name) {
  const std::string directory = kArchiveDirectory;
  if (name.size() <= directory.size() || name.compare(0, directory.size(), directory) != 0)
    return {};
  if (!staysInsideDirectory(name.substr(directory.size()))) return {};
  return name + kPresetExtension;
}

int confirmOverwrite(const std::string &path, const ModuleState &module) {
  std::FILE *file = openHomeFile(path, "r+b");
  if (!file) return 1;
  std::fclose(file);
  return showTextRequest(text(module, kTitleReplace), text(module, kTextReplace),
                         kTextQuestion) == 1
             ? 1
             : 0;
}

int savePreset(ModuleState &module) {
  std::string name;
  if (!askPresetName(module, kTitleSave, kModeSave, name)) return 1;
  const std::string path = presetFilePath(name);
  if (!path.empty()) {
    if (confirmOverwrite(path, module) != 1) return 1;
    // The settings file first holds the current settings; the preset becomes
    // a copy of it, renamed into place only once it is whole.
    SplitMask *effect = module.effect.get();
    if (effect && effect->saveSettings() == 1 && effect->copySettingsTo(path) != 0) return 1;
  } else {
    TILERON_REPORT(kLevelError, kSrcGuiMain); // a name outside the archive
  }
  showError(module, kTitleSave, kTextSaveError);
  return 0;
}

int loadPreset(EditorRun &run) {
  ModuleState &module = run.module;
  std::string name;
  if (!askPresetName(module, kTitleLoad, kModeLoad, name) || name.empty()) return 1;
  const std::string path = presetFilePath(name);
  if (path.empty()) {
    TILERON_REPORT(kLevelError, kSrcGuiMain); // a name outside the archive
    showError(module, kTitleLoad, kTextLoadError);
    return 1;
  }
  cgBusyPointer();
  module.effect.reset(); // stores the settings
  // Replaced whole or not at all: a failed copy leaves the settings just stored.
  if (replaceHomeFile(path, kSettingsPath) != 1) showError(module, kTitleLoad, kTextLoadError);
  if (!replaceEffect(run, nullptr)) {
    cgStandardPointer();
    showError(module, kTitleLoad, kTextLoadError);
    return 0;
  }
  module.effect->makeBarSwatch();
  cgStandardPointer();
  return 1;
}

int deletePreset(const ModuleState &module) {
  std::string name;
  if (!askPresetName(module, kTitleDelete, kModeDelete, name)) return 1;
  const std::string path = presetFilePath(name);
  if (path.empty())
    TILERON_REPORT(kLevelError, kSrcGuiMain); // a name outside the archive
  else
    removeHomeFile(path);
  return 1;
}

} // namespace tileron
