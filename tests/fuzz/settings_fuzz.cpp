// The settings file reader over fuzzed bytes. The home holds a three-part
// mask (mask scales 100, 0 and 250, all of which give back a stored scale
// exactly). Each input is read with loadLastMaskPath and applySavedSettings
// onto that mask; a file applied whole must be a fixed point of save and
// apply: saving, applying the saved file to a fresh state and saving again
// gives the same bytes. Then the file drives a render set-up (even lengths)
// or an editor set-up (odd lengths).
// The settings file and the mask file are memory files; the mask's pictures
// are decoded once.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "effect_runs.hpp"
#include "fuzz_env.hpp"
#include "memory_files.hpp"
#include "operator/fixtures/mask_fixture.hpp"

namespace {

constexpr const char *kSettingsPath = "/programs/tileron/prefs/tileron.prf";
constexpr const char *kSettingsTemporary = "/programs/tileron/prefs/.tileron.prf.tmp";
std::string maskPath;

void writeFixtures() {
  testing_support::MaskDesc desc =
      testing_support::gridMask(fuzzing::kSquare.width, fuzzing::kSquare.height, 3, 1);
  desc.name = "three";
  desc.parts[1].scale = 0;
  desc.parts[2].scale = 250;
  fuzzing::FuzzHome &home = fuzzing::FuzzHome::get();
  maskPath = testing_support::writeMask(home.path(), desc);
  // The mask file as a memory file too (its pictures stay on disk).
  std::ifstream in(home / maskPath, std::ios::binary);
  const std::string mask{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  fuzzing::writeMemoryFile(home / maskPath, mask);
}

std::string readSettings() {
  std::string bytes;
  fuzzing::readMemoryFile(fuzzing::FuzzHome::get() / kSettingsPath, bytes);
  return bytes;
}

// A state at field size holding what applying the settings reads of the
// fixture mask (its part count and mask scales), as a render set-up leaves it
// before the settings are applied; loading the mask's pictures again for each
// input would only repeat the render set-up below.
void loadFixtureMask(tileron::SplitMask &state) {
  state.workWidth = uint16_t(fuzzing::kSquare.width);
  state.workHeight = uint16_t(fuzzing::kSquare.height / 2);
  state.maskPath = maskPath;
  state.partCount = 3;
  state.partMaskScale[1] = 0;
  state.partMaskScale[2] = 250;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzing::FuzzHome &home = fuzzing::FuzzHome::get();
  for (const char *path : {kSettingsPath, kSettingsTemporary}) fuzzing::keepInMemory(home / path);
  writeFixtures();
  fuzzing::useSmallTextures();
  fuzzing::logToMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzzing::FuzzHome &home = fuzzing::FuzzHome::get();
  const std::filesystem::path file = home / kSettingsPath;
  fuzzing::prepareHost(fuzzing::kSquare);
  fuzzing::writeMemoryFile(file, data, size);

  {
    tileron::SplitMask state;
    state.loadLastMaskPath();
  }
  {
    tileron::SplitMask first;
    loadFixtureMask(first);
    if (first.applySavedSettings() == 1) {
      if (first.saveSettings() != 1) fuzzing::fail("settings not saved");
      const std::string saved = readSettings();
      tileron::SplitMask second;
      loadFixtureMask(second);
      if (second.applySavedSettings() != 1) fuzzing::fail("saved settings not read back");
      if (second.saveSettings() != 1) fuzzing::fail("settings not saved again");
      if (readSettings() != saved) fuzzing::fail("settings changed on the way round");
    }
  }
  fuzzing::expectNoLiveImages();

  // A render set-up for even lengths, an editor set-up for odd ones.
  fuzzing::writeMemoryFile(file, data, size);
  if (size % 2 == 0)
    fuzzing::runRender(fuzzing::kSquare);
  else
    fuzzing::runEditor(nullptr);
  fuzzing::expectNoLiveImages();
  return 0;
}
