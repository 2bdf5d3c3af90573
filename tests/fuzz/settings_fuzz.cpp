// The settings file reader over fuzzed bytes. The home holds a three-part
// mask (mask scales 100, 0 and 250, all of which give back a stored scale
// exactly). Each input is read with loadLastMaskPath and applySavedSettings
// onto that mask; a file applied whole must be a fixed point of save and
// apply: saving, applying the saved file to a fresh state and saving again
// gives the same bytes. Then the file drives a render and an editor set-up.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "effect_runs.hpp"
#include "fuzz_env.hpp"
#include "operator/fixtures/mask_fixture.hpp"

namespace {

constexpr const char *kSettingsPath = "/programs/tileron/prefs/tileron.prf";
std::string maskPath;

void writeFixtures() {
  testing_support::MaskDesc desc =
      testing_support::gridMask(fuzzing::kSquare.width, fuzzing::kSquare.height, 3, 1);
  desc.name = "three";
  desc.parts[1].scale = 0;
  desc.parts[2].scale = 250;
  maskPath = testing_support::writeMask(fuzzing::FuzzHome::get().path(), desc);
}

std::vector<uint8_t> readSettings() {
  std::ifstream in(fuzzing::FuzzHome::get() / kSettingsPath, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A state at field size with the fixture mask loaded, as a render set-up
// leaves it before the settings are applied.
void loadFixtureMask(tileron::SplitMask &state) {
  state.workWidth = uint16_t(fuzzing::kSquare.width);
  state.workHeight = uint16_t(fuzzing::kSquare.height / 2);
  state.maskPath = maskPath;
  if (state.loadMask(true) != 1) fuzzing::fail("the fixture mask does not load");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzing::FuzzHome::get();
  writeFixtures();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzzing::FuzzHome &home = fuzzing::FuzzHome::get();
  const std::filesystem::path file = home / kSettingsPath;
  fuzzing::prepareHost(fuzzing::kSquare);
  fuzzing::writeBytes(file, data, size);

  {
    tileron::SplitMask state(tileron::moduleParts(tileron::moduleState()));
    state.loadLastMaskPath();
  }
  {
    tileron::SplitMask first(tileron::moduleParts(tileron::moduleState()));
    loadFixtureMask(first);
    if (first.applySavedSettings() == 1) {
      if (first.saveSettings() != 1) fuzzing::fail("settings not saved");
      const std::vector<uint8_t> saved = readSettings();
      tileron::SplitMask second(tileron::moduleParts(tileron::moduleState()));
      loadFixtureMask(second);
      if (second.applySavedSettings() != 1) fuzzing::fail("saved settings not read back");
      if (second.saveSettings() != 1) fuzzing::fail("settings not saved again");
      if (readSettings() != saved) fuzzing::fail("settings changed on the way round");
    }
  }
  fuzzing::expectNoLiveImages();

  fuzzing::writeBytes(file, data, size);
  fuzzing::runRender(fuzzing::kSquare);
  fuzzing::writeBytes(file, data, size);
  fuzzing::runEditor(nullptr);
  fuzzing::expectNoLiveImages();
  return 0;
}
