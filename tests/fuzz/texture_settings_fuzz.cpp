// The texture settings record (112 bytes, as a bar style and the settings
// file store it) over fuzzed bytes; a shorter input is padded with zeros. The
// texture folder holds one 3 x 2 texture, t.png, written once. Checked: a
// request takes a record exactly when it is all zero or valid and then gives
// it back byte for byte, and keeps its record otherwise; the colour call
// agrees; a valid record naming t.png gives the texture at its scale; the
// bar fill makes a bar of the record, scaled and tiled.
#include <algorithm>
#include <cstring>
#include <vector>

#include "bar/bar_fill.hpp"
#include "bar/bar_style.hpp"
#include "fuzz_env.hpp"
#include "host/settings/settings.hpp"
#include "host/textures/txlib.hpp"
#include "operator/fixtures/mask_fixture.hpp"
#include "vxhost/txlib.h"

namespace {

constexpr int kTextureWidth = 3, kTextureHeight = 2;

bool allZero(const TxSettings &settings) {
  const auto *bytes = reinterpret_cast<const uint8_t *>(&settings);
  return std::all_of(bytes, bytes + sizeof settings, [](uint8_t b) { return b == 0; });
}

int scaledSide(int side, int scale) { return std::max(1, (side * scale + 50) / 100); }

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzing::FuzzHome &home = fuzzing::FuzzHome::get();
  std::filesystem::create_directories(home.path() / "textures");
  std::vector<uint8_t> rgba(kTextureWidth * kTextureHeight * 4);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(40 + i * 9);
  testing_support::writeRgbaPng(home.path() / "textures/t.png", kTextureWidth, kTextureHeight, rgba);
  vxhost::setTextureDir(home.path() / "textures");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  TxSettings settings{};
  std::memcpy(&settings, data, std::min(size, sizeof settings));
  const bool valid = vxhost::validTxSettings(settings);

  TxRequest *request = txAllocRequest(0);
  if (request == nullptr) fuzzing::fail("no request");
  TxSettings known{};
  known.magic = TX_SETTINGS_MAGIC;
  known.version = TX_SETTINGS_VERSION;
  std::strcpy(known.name, "t.png");
  if (txSetPrefs(request, &known) != 1) fuzzing::fail("a valid record was refused");
  const int32_t taken = txSetPrefs(request, &settings);
  if (taken != ((valid || allZero(settings)) ? 1 : 0)) fuzzing::fail("a record taken or refused wrongly");
  TxSettings back{};
  const int32_t given = txGetPrefs(request, &back, int32_t(sizeof back));
  if (taken == 1 && valid && (given != 0 || std::memcmp(&back, &settings, sizeof back) != 0))
    fuzzing::fail("the record did not come back byte for byte");
  if (taken == 1 && !valid && given != -1) fuzzing::fail("an empty request gave a record");
  if (taken == 0 && (given != 0 || std::memcmp(&back, &known, sizeof back) != 0))
    fuzzing::fail("a refused record changed the request");
  txFreeRequest(request);

  if (txGetColor(&settings, 2) != (valid ? settings.colour : 0xFFu)) fuzzing::fail("wrong texture colour");

  OpImage *texture = txGetOpImage(&settings, 1, 0);
  if (!valid && texture != nullptr) fuzzing::fail("a texture from an invalid record");
  if (valid && std::strcmp(settings.name, "t.png") == 0) {
    const int scale = settings.scale == 0 ? 100 : settings.scale;
    if (texture == nullptr || texture->width != scaledSide(kTextureWidth, scale) ||
        texture->height != scaledSide(kTextureHeight, scale))
      fuzzing::fail("the texture is not at its scale");
  }
  if (texture != nullptr) opFreeImage(texture);

  tileron::BarStyle style = tileron::defaultBarStyle();
  style.mode = tileron::kBarTexture;
  style.textureChosen = 1;
  style.texture = settings;
  for (uint16_t tile : {0, 1}) {
    style.tile = tile;
    tileron::OpImagePtr fill = tileron::makeBarFill(style, 7, 5);
    if (fill && (fill->width != 7 || fill->height != 5)) fuzzing::fail("a bar fill of the wrong size");
  }
  fuzzing::expectNoLiveImages();
  return 0;
}
