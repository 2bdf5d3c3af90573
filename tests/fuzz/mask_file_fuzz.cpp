// The mask description loader over a fuzzed XML file. The mask directory
// holds pictures the fuzzed file can name: shape.png (12 x 8, left half
// inside), stamp.png (16 x 8 stamp map), wide.png (300 x 2), tall.png
// (1 x 200), dot.png (1 x 1) and colour.png (6 x 4 RGBA); the settings file
// points at the fuzzed mask and gives parts 0 and 1 a scene. Each input goes
// through a render set-up and two fields, in wide pixels or in narrow pixels
// at an odd size (by the input's length), and every other length also
// through an editor set-up with a round of part editing. The mask and the settings file are memory files; the
// pictures are decoded once.
#include <string>
#include <vector>

#include "effect_runs.hpp"
#include "fuzz_env.hpp"
#include "memory_files.hpp"
#include "operator/fixtures/mask_fixture.hpp"

namespace {

constexpr const char *kMaskPath = "/programs/tileron/mask/fuzz.xml";
constexpr const char *kSettingsPath = "/programs/tileron/prefs/tileron.prf";
constexpr const char *kSettingsTemporary = "/programs/tileron/prefs/.tileron.prf.tmp";
std::vector<uint8_t> settings;

void writeFixtures() {
  fuzzing::FuzzHome &home = fuzzing::FuzzHome::get();
  testing_support::GreyImage shape(12, 8, 255);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 6; ++x) shape.at(x, y) = 0;
  testing_support::writeGreyPng(home.maskDir() / "shape.png", shape);
  testing_support::GreyImage stamp(16, 8, 255);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) stamp.at(x, y) = uint8_t(x < 7 ? 0 : x > 8 ? 1 : 255);
  testing_support::writeGreyPng(home.maskDir() / "stamp.png", stamp);
  testing_support::GreyImage wide(300, 2, 0);
  for (int x = 150; x < 300; ++x) wide.at(x, 1) = 255;
  testing_support::writeGreyPng(home.maskDir() / "wide.png", wide);
  testing_support::writeGreyPng(home.maskDir() / "tall.png", testing_support::GreyImage(1, 200, 3));
  testing_support::writeGreyPng(home.maskDir() / "dot.png", testing_support::GreyImage(1, 1, 0));
  std::vector<uint8_t> rgba(6 * 4 * 4);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(i * 11);
  testing_support::writeRgbaPng(home.maskDir() / "colour.png", 6, 4, rgba);

  testing_support::SettingsDesc desc;
  desc.maskPath = kMaskPath;
  desc.parts[0].scene = 1;
  desc.parts[1].scene = 2;
  desc.parts[1].opacity = 128;
  settings = testing_support::settingsBytes(desc);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzing::FuzzHome &home = fuzzing::FuzzHome::get();
  writeFixtures();
  fuzzing::useSmallTextures();
  for (const char *path : {kMaskPath, kSettingsPath, kSettingsTemporary})
    fuzzing::keepInMemory(home / path);
  fuzzing::logToMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzzing::FuzzHome &home = fuzzing::FuzzHome::get();
  fuzzing::writeMemoryFile(home / kMaskPath, data, size);

  // One format per input, by the input's length: wide pixels, or narrow
  // pixels at an odd size with an odd number of field lines.
  const fuzzing::VideoFormat &video = size % 2 == 0 ? fuzzing::kWide : fuzzing::kNarrowOdd;
  fuzzing::prepareHost(video);
  fuzzing::writeMemoryFile(home / kSettingsPath, settings.data(), settings.size());
  fuzzing::runRender(video);
  fuzzing::expectNoLiveImages();
  // The editor set-up for every other length: half the inputs cost a render
  // only, and the editor still sees both formats' lengths.
  if (size / 2 % 2 == 0) fuzzing::runEditor(kMaskPath);
  fuzzing::expectNoLiveImages();
  return 0;
}
