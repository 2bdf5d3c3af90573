#include <gtest/gtest.h>

#include <spng.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "host/images/images.hpp"
#include "host/log/logger.hpp"
#include "host/reset.hpp"
#include "host/settings/settings.hpp"
#include "host/media/png.hpp"
#include "host/textures/txlib.hpp"
#include "support/reports.hpp"
#include "support/sandbox.hpp"
#include "vxhost/txlib.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// ---- PNG fixtures -----------------------------------------------------------------

struct PngDesc {
  uint32_t width, height;
  uint8_t colourType, depth;
  Bytes rows; // in the file's own sample layout (16-bit samples host-endian)
  std::vector<spng_plte_entry> palette = {};
  std::optional<spng_trns> trns = std::nullopt;
  bool interlaced = false;
  bool text = false; // add a tEXt chunk
};

Bytes encodePng(const PngDesc &desc) {
  spng_ctx *ctx = spng_ctx_new(SPNG_CTX_ENCODER);
  spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{desc.width, desc.height, desc.depth, desc.colourType, 0, 0,
                 uint8_t(desc.interlaced ? SPNG_INTERLACE_ADAM7 : SPNG_INTERLACE_NONE)};
  EXPECT_EQ(spng_set_ihdr(ctx, &ihdr), 0);
  if (!desc.palette.empty()) {
    spng_plte plte{};
    plte.n_entries = uint32_t(desc.palette.size());
    std::copy(desc.palette.begin(), desc.palette.end(), plte.entries);
    EXPECT_EQ(spng_set_plte(ctx, &plte), 0);
  }
  if (desc.trns) {
    spng_trns trns = *desc.trns;
    EXPECT_EQ(spng_set_trns(ctx, &trns), 0);
  }
  if (desc.text) {
    static char words[] = "fixture";
    spng_text text{};
    std::strcpy(text.keyword, "Comment");
    text.type = SPNG_TEXT;
    text.length = std::strlen(words);
    text.text = words;
    EXPECT_EQ(spng_set_text(ctx, &text, 1), 0);
  }
  Bytes rows = desc.rows;
  EXPECT_EQ(spng_encode_image(ctx, rows.data(), rows.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE), 0);
  size_t size = 0;
  int error = 0;
  auto *buffer = static_cast<uint8_t *>(spng_get_png_buffer(ctx, &size, &error));
  Bytes out(buffer, buffer + size);
  free(buffer);
  spng_ctx_free(ctx);
  return out;
}

Bytes samples16(std::initializer_list<uint16_t> values) {
  Bytes out(values.size() * 2);
  std::memcpy(out.data(), std::data(values), out.size());
  return out;
}

uint32_t crc32(const uint8_t *data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

uint32_t be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
void putBe32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (24 - 8 * i));
}

// Offset of the length field of the first chunk of `type`.
size_t findChunk(const Bytes &png, const char *type) {
  for (size_t at = 8; at + 12 <= png.size(); at += 12 + be32(&png[at]))
    if (std::memcmp(&png[at + 4], type, 4) == 0) return at;
  ADD_FAILURE() << "no chunk " << type;
  return 0;
}

void fixCrc(Bytes &png, size_t chunk) {
  const uint32_t length = be32(&png[chunk]);
  putBe32(&png[chunk + 8 + length], crc32(&png[chunk + 4], length + 4));
}

// The 8-bit RGB picture most cases use: red, green, blue / white, grey 10, black.
const Bytes kRgbRows = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 10, 10, 10, 0, 0, 0};
// Its BT.601 luma, to the nearest: 0.299 x 255 = 76.2, 0.587 x 255 = 149.7, 0.114 x 255 = 29.1.
const Bytes kRgbLuma = {76, 150, 29, 255, 10, 0};

PngDesc rgbPicture() { return {3, 2, SPNG_COLOR_TYPE_TRUECOLOR, 8, kRgbRows}; }

// ---- fixture ----------------------------------------------------------------------

class Textures : public testing_support::Sandbox {
protected:
  void SetUp() override {
    Sandbox::SetUp();
    fs::create_directories(home() / "programs/tileron/mask");
    fs::create_directories(home() / "library");
    vxhost::setTextureDir(home() / "library");
  }

  // Writes a mask file and returns its home-relative path.
  std::string maskFile(const std::string &name, const Bytes &bytes) {
    std::ofstream(home() / "programs/tileron/mask" / name, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return "/programs/tileron/mask/" + name;
  }
  void libraryFile(const std::string &name, const Bytes &bytes) {
    std::ofstream(home() / "library" / name, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  }

  // Number of captured level-3 records (none of other levels expected).
  static size_t errors() {
    size_t count = 0;
    for (const auto &record : testing_support::takeReports()) {
      EXPECT_EQ(record.level, 3) << record.text;
      ++count;
    }
    return count;
  }

};

struct Image {
  int width = 0, height = 0, kind = 0;
  Bytes bytes;
  std::vector<uint32_t> words() const {
    std::vector<uint32_t> out(bytes.size() / 4);
    std::memcpy(out.data(), bytes.data(), bytes.size());
    return out;
  }
};

// Takes over and releases a host image, keeping what it held.
std::optional<Image> take(OpImage *image) {
  if (image == nullptr) return std::nullopt;
  Image out{image->width, image->height, image->kind, {}};
  const size_t size = size_t(image->width) * image->height * (image->kind == OP_KIND_8 ? 1 : 4);
  out.bytes.assign(image->pixels, image->pixels + size);
  opFreeImage(image);
  return out;
}

// ---- image files --------------------------------------------------------------------

TEST_F(Textures, EveryPngKindBecomesItsLuma) {
  spng_trns greyKey{};
  greyKey.gray = 3;
  spng_trns paletteAlpha{};
  paletteAlpha.n_type3_entries = 2;
  paletteAlpha.type3_alpha[0] = 0;
  const std::vector<spng_plte_entry> palette = {
      {255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {255, 255, 255, 0}, {10, 10, 10, 0}, {0, 0, 0, 0}};
  struct Case {
    const char *what;
    PngDesc desc;
    Bytes luma;
  };
  const Case cases[] = {
      {"grey 8", {3, 2, SPNG_COLOR_TYPE_GRAYSCALE, 8, {0, 1, 127, 128, 254, 255}},
       {0, 1, 127, 128, 254, 255}},
      {"grey 8, transparent key ignored", {2, 1, SPNG_COLOR_TYPE_GRAYSCALE, 8, {3, 4}, {}, greyKey},
       {3, 4}},
      {"grey 16: nearest of v / 257",
       {3, 2, SPNG_COLOR_TYPE_GRAYSCALE, 16, samples16({0, 25700, 65535, 32767, 32768, 128})},
       {0, 100, 255, 127, 128, 0}},
      {"grey 4 scaled up", {3, 1, SPNG_COLOR_TYPE_GRAYSCALE, 4, {0x01, 0xF0}}, {0, 17, 255}},
      {"grey 1", {3, 1, SPNG_COLOR_TYPE_GRAYSCALE, 1, {0x40}}, {0, 255, 0}},
      {"grey with alpha: alpha ignored",
       {2, 1, SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 8, {200, 0, 50, 128}}, {200, 50}},
      {"palette", {3, 2, SPNG_COLOR_TYPE_INDEXED, 8, {0, 1, 2, 3, 4, 5}, palette, paletteAlpha},
       kRgbLuma},
      {"palette 2-bit",
       {3, 1, SPNG_COLOR_TYPE_INDEXED, 2, {0b00'01'11'00},
        std::vector<spng_plte_entry>(palette.begin(), palette.begin() + 4)},
       {76, 150, 255}},
      {"RGB 8", rgbPicture(), kRgbLuma},
      {"RGB 8 interlaced", {3, 2, SPNG_COLOR_TYPE_TRUECOLOR, 8, kRgbRows, {}, {}, true}, kRgbLuma},
      {"RGB 16",
       {2, 1, SPNG_COLOR_TYPE_TRUECOLOR, 16, samples16({65535, 0, 0, 0, 0, 65535})}, {76, 29}},
      {"RGBA 8: alpha ignored",
       {2, 1, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8, {255, 0, 0, 0, 0, 255, 0, 9}}, {76, 150}},
      {"RGBA 16",
       {1, 1, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 16, samples16({0, 0, 65535, 0})}, {29}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = maskFile("m.png", encodePng(c.desc));
    const auto image = take(txGetOpImageFile(path.c_str(), 1));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->kind, OP_KIND_8);
    EXPECT_EQ(image->width, int(c.desc.width));
    EXPECT_EQ(image->height, int(c.desc.height));
    EXPECT_EQ(image->bytes, c.luma);
    EXPECT_EQ(errors(), 0u);
  }
}

TEST_F(Textures, OtherModesGiveYuva) {
  // red, white at alpha 77, black; transparent palette entry -> alpha 0
  const PngDesc rgba{3, 1, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8,
                     {255, 0, 0, 255, 255, 255, 255, 77, 0, 0, 0, 255}};
  const std::string path = maskFile("t.png", encodePng(rgba));
  // The host's 8-bit BT.601 studio-range form: red is Y 16 + (66 x 255 + 128) >> 8
  // = 82, U 128 + (-38 x 255 + 128) >> 8 = 90, V 240.
  const auto yuva = take(txGetOpImageFile(path.c_str(), 0));
  ASSERT_TRUE(yuva);
  EXPECT_EQ(yuva->kind, OP_KIND_YUVA);
  EXPECT_EQ(yuva->words(), (std::vector<uint32_t>{0x525AF0FFu, 0xEB80804Du, 0x108080FFu}));

  spng_trns alpha{};
  alpha.n_type3_entries = 1;
  alpha.type3_alpha[0] = 0;
  const std::string indexed = maskFile(
      "p.png", encodePng({2, 1, SPNG_COLOR_TYPE_INDEXED, 8, {0, 1}, {{0, 0, 0, 0}, {255, 255, 255, 0}}, alpha}));
  const auto paletted = take(txGetOpImageFile(indexed.c_str(), 0));
  ASSERT_TRUE(paletted);
  EXPECT_EQ(paletted->words(), (std::vector<uint32_t>{0x10808000u, 0xEB8080FFu}));
  EXPECT_EQ(errors(), 0u);
}

TEST_F(Textures, PathsResolveBelowHome) {
  const std::string relative = maskFile("r.png", encodePng(rgbPicture()));
  EXPECT_TRUE(take(txGetOpImageFile(relative.c_str(), 1)));
  const std::string absolute = (home() / "programs/tileron/mask/r.png").string();
  EXPECT_TRUE(take(txGetOpImageFile(absolute.c_str(), 1)));
  EXPECT_EQ(errors(), 0u);
}

TEST_F(Textures, DamagedFilesGiveNullAndOneError) {
  const Bytes good = encodePng({3, 2, SPNG_COLOR_TYPE_TRUECOLOR, 8, kRgbRows, {}, {}, false, true});
  const auto damaged = [&](auto change) {
    Bytes png = good;
    change(png);
    return png;
  };
  const auto header = [&](uint32_t width, uint32_t height, uint8_t depth) {
    return damaged([&](Bytes &png) {
      const size_t ihdr = findChunk(png, "IHDR");
      putBe32(&png[ihdr + 8], width);
      putBe32(&png[ihdr + 12], height);
      png[ihdr + 16] = depth;
      fixCrc(png, ihdr);
    });
  };
  const size_t idat = findChunk(good, "IDAT");
  const size_t iend = findChunk(good, "IEND");
  struct Case {
    const char *what;
    Bytes bytes;
  };
  const Case cases[] = {
      {"empty file", {}},
      {"not a PNG", {'<', 'x', 'm', 'l', '>', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"signature only", Bytes(good.begin(), good.begin() + 8)},
      {"bad CRC in IHDR", damaged([](Bytes &png) { png[findChunk(png, "IHDR") + 8 + 13] ^= 1; })},
      {"bad CRC in IDAT", damaged([&](Bytes &png) { png[idat + 8 + be32(&png[idat])] ^= 0x80; })},
      {"bad CRC in tEXt", damaged([](Bytes &png) { png[findChunk(png, "tEXt") + 9] ^= 1; })},
      {"damaged image data, CRC fixed", damaged([&](Bytes &png) {
         png[idat + 10] ^= 0xFF;
         fixCrc(png, idat);
       })},
      {"truncated inside IDAT", Bytes(good.begin(), good.begin() + long(idat) + 12)},
      {"no IEND", Bytes(good.begin(), good.begin() + long(iend))},
      {"chunk length past the end", damaged([&](Bytes &png) { putBe32(&png[idat], 1u << 30); })},
      {"width 16385", header(16385, 2, 8)},
      {"16384 x 16384 in a small file", header(16384, 16384, 8)},
      {"width 0", header(0, 2, 8)},
      {"RGB at depth 4", header(3, 2, 4)},
      {"depth 7", header(3, 2, 7)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = maskFile("bad.png", c.bytes);
    EXPECT_EQ(txGetOpImageFile(path.c_str(), 1), nullptr);
    EXPECT_EQ(txGetOpImageFile(path.c_str(), 0), nullptr);
    EXPECT_EQ(errors(), 2u);
  }
  EXPECT_EQ(txGetOpImageFile("/programs/tileron/mask/missing.png", 1), nullptr);
  EXPECT_EQ(txGetOpImageFile("/programs/tileron/mask", 1), nullptr);
  EXPECT_EQ(txGetOpImageFile(nullptr, 1), nullptr);
  EXPECT_EQ(errors(), 3u);
}

// ---- texture settings ---------------------------------------------------------------

TxSettings record(const char *name, uint16_t scale = 100, uint32_t colour = 0x808080FFu) {
  TxSettings s{};
  s.magic = TX_SETTINGS_MAGIC;
  s.version = TX_SETTINGS_VERSION;
  s.scale = scale;
  s.colour = colour;
  std::strncpy(s.name, name, sizeof s.name - 1);
  return s;
}

TEST_F(Textures, SettingsAreValidatedOnEveryUse) {
  libraryFile("wood.png", encodePng(rgbPicture()));
  libraryFile(".hidden.png", encodePng(rgbPicture()));
  struct Case {
    const char *what;
    TxSettings settings;
  };
  const auto changed = [](auto change) {
    TxSettings s = record("wood.png");
    change(s);
    return s;
  };
  const Case bad[] = {
      {"all zero: no texture", TxSettings{}},
      {"magic", changed([](TxSettings &s) { s.magic ^= 1; })},
      {"version", changed([](TxSettings &s) { s.version = 2; })},
      {"scale 9", changed([](TxSettings &s) { s.scale = 9; })},
      {"scale 1001", changed([](TxSettings &s) { s.scale = 1001; })},
      {"empty name", record("")},
      {"path in name", record("../library/wood.png")},
      {"backslash in name", record("a\\wood.png")},
      {"leading dot", record(".hidden.png")},
      {"no NUL in the name field", changed([](TxSettings &s) { std::memset(s.name, 'a', 64); })},
      {"bytes after the name", changed([](TxSettings &s) { s.name[40] = 'x'; })},
      {"reserved word", changed([](TxSettings &s) { s.reserved0 = 1; })},
      {"reserved bytes", changed([](TxSettings &s) { s.reserved1[31] = 1; })},
  };
  for (const Case &c : bad) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(txGetOpImage(&c.settings, 1, 0), nullptr);
    EXPECT_EQ(errors(), 1u);
    EXPECT_EQ(txGetColor(&c.settings, 2), 0xFFu);
    TxRequest *request = txAllocRequest(0);
    EXPECT_EQ(txSetPrefs(request, &c.settings), c.settings.magic == 0 ? 1 : 0);
    TxSettings out{};
    EXPECT_EQ(txGetPrefs(request, &out, sizeof out), -1);
    txFreeRequest(request);
  }
  const TxSettings good = record("wood.png", 0, 0x12345678u);
  EXPECT_TRUE(take(txGetOpImage(&good, 1, 0)));
  EXPECT_EQ(txGetColor(&good, 2), 0x12345678u);
  EXPECT_EQ(txGetColor(&good, 1), 0u);
  EXPECT_EQ(txGetColor(nullptr, 2), 0xFFu);
  EXPECT_EQ(txGetOpImage(&good, 3, 0), nullptr);
  EXPECT_EQ(txGetOpImage(nullptr, 1, 0), nullptr);
  EXPECT_EQ(errors(), 2u);
}

TEST_F(Textures, TextureImageAtItsScale) {
  libraryFile("pattern.png", encodePng(rgbPicture()));
  const TxSettings natural = record("pattern.png", 100);
  const auto image = take(txGetOpImage(&natural, 1, 0));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->kind, OP_KIND_YUVA);
  const auto file = take(txGetOpImageFile((home() / "library/pattern.png").c_str(), 0));
  ASSERT_TRUE(file);
  EXPECT_EQ(image->bytes, file->bytes);

  struct Scaled {
    uint16_t scale;
    int width, height;
  };
  // Sides rounded half up: 3 x 0.5 = 1.5 -> 2, 2 x 0.5 -> 1, 3 x 2.5 = 7.5 -> 8.
  for (const Scaled s : {Scaled{50, 2, 1}, Scaled{250, 8, 5}, Scaled{10, 1, 1}}) {
    SCOPED_TRACE(s.scale);
    const TxSettings settings = record("pattern.png", s.scale);
    const auto scaled = take(txGetOpImage(&settings, 1, 0));
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->width, s.width);
    EXPECT_EQ(scaled->height, s.height);
    // The host's scaler made it from the texture at its own size.
    OpImage *source = txGetOpImage(&natural, 1, 0);
    OpImage *expected = opAllocImage(s.width, s.height, OP_KIND_YUVA, 0);
    ASSERT_EQ(opScaleImage(source, expected, 0), 1);
    EXPECT_EQ(take(expected)->bytes, scaled->bytes);
    opFreeImage(source);
  }
  const TxSettings missing = record("missing.png");
  EXPECT_EQ(txGetOpImage(&missing, 1, 0), nullptr);
  EXPECT_EQ(errors(), 1u);
}

TEST_F(Textures, RequestKeepsItsSettings) {
  libraryFile("wood.png", encodePng(rgbPicture()));
  TxRequest *request = txAllocRequest(0);
  ASSERT_NE(request, nullptr);
  EXPECT_EQ(txAddOptions(request, 0), 1);
  TxSettings out{};
  EXPECT_EQ(txGetPrefs(request, &out, sizeof out), -1); // nothing held yet
  const TxSettings wood = record("wood.png", 150);
  EXPECT_EQ(txSetPrefs(request, &wood), 1);
  EXPECT_EQ(txGetPrefs(request, &out, 100), -1);
  EXPECT_EQ(txGetPrefs(request, &out, sizeof out), 0);
  EXPECT_EQ(std::memcmp(&out, &wood, sizeof out), 0);
  // Without input the requester is closed at once: nothing chosen, the
  // settings stay (tests/host/requesters_test.cpp drives it).
  EXPECT_EQ(txGetStatus(request), 0);
  EXPECT_EQ(txRequest(request, 0), 0);
  EXPECT_EQ(txGetStatus(request), 0);
  EXPECT_EQ(txGetPrefs(request, &out, sizeof out), 0);
  const TxSettings none{};
  EXPECT_EQ(txSetPrefs(request, &none), 1);
  EXPECT_EQ(txGetPrefs(request, &out, sizeof out), -1);
  txFreeRequest(request);
  txFreeRequest(nullptr);
}

TEST_F(Textures, MadeSettingsCarryTheMeanColour) {
  // black and white: Y (16 + 235) / 2 = 125.5 -> 126, neutral chroma
  libraryFile("bw.png", encodePng({2, 1, SPNG_COLOR_TYPE_GRAYSCALE, 8, {0, 255}}));
  const auto settings = vxhost::makeTxSettings("bw.png", 120, 200);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->colour, 0x7E8080C8u);
  EXPECT_EQ(settings->scale, 120);
  EXPECT_STREQ(settings->name, "bw.png");
  EXPECT_TRUE(vxhost::validTxSettings(*settings));
  EXPECT_EQ(errors(), 0u);
  EXPECT_FALSE(vxhost::makeTxSettings("missing.png", 100, 255));
  EXPECT_FALSE(vxhost::makeTxSettings("a/bw.png", 100, 255));
  EXPECT_FALSE(vxhost::makeTxSettings("bw.png", 5, 255));
  EXPECT_FALSE(vxhost::makeTxSettings(std::string(64, 'a'), 100, 255));
  EXPECT_EQ(errors(), 4u);
}

// ---- tiling -------------------------------------------------------------------------

TEST_F(Textures, TilesFromTheTopLeftCorner) {
  for (int kind : {OP_KIND_YUVA, OP_KIND_8}) {
    SCOPED_TRACE(kind);
    const int bytes = kind == OP_KIND_8 ? 1 : 4;
    OpImage *texture = opAllocImage(3, 2, kind, 0);
    OpImage *destination = opAllocImage(7, 5, kind, 0);
    for (int i = 0; i < 3 * 2 * bytes; ++i) texture->pixels[i] = uint8_t(i + 1);
    EXPECT_EQ(txTileOpImagePrefs(destination, texture, 0, 36), 1);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7 * bytes; ++x)
        ASSERT_EQ(destination->pixels[y * 7 * bytes + x],
                  texture->pixels[(y % 2) * 3 * bytes + (x % (3 * bytes))])
            << x << "," << y;
    opFreeImage(texture);
    opFreeImage(destination);
  }
  OpImage *grey = opAllocImage(2, 2, OP_KIND_8, 0);
  OpImage *colour = opAllocImage(4, 4, OP_KIND_YUVA, 0);
  grey->pixels[0] = 9;
  EXPECT_EQ(txTileOpImagePrefs(colour, grey, 0, 36), 0);
  EXPECT_EQ(colour->pixels[0], 0);
  EXPECT_EQ(txTileOpImagePrefs(nullptr, grey, 0, 36), 0);
  EXPECT_EQ(txTileOpImagePrefs(colour, nullptr, 0, 36), 0);
  opFreeImage(grey);
  opFreeImage(colour);
}

// ---- the shipped library ------------------------------------------------------------

const char *const kShipped[] = {"wood.png",  "marble.png", "brushed_metal.png",
                                "fabric.png", "stone.png",  "paper.png"};

TEST_F(Textures, ShippedLibraryLoads) {
  vxhost::setTextureDir({});
  for (const char *name : kShipped) {
    SCOPED_TRACE(name);
    const TxSettings settings = record(name);
    const auto image = take(txGetOpImage(&settings, 1, 0));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 256);
    EXPECT_EQ(image->height, 256);
  }
  EXPECT_EQ(errors(), 0u);
}

// The committed pictures are what the generator makes (pixels, not file bytes:
// those depend on the deflate library).
TEST_F(Textures, GeneratorRemakesTheShippedLibrary) {
  const fs::path tool = fs::path(TILERON_BINARY_DIR) / "tileron-texgen";
  if (!fs::exists(tool)) GTEST_SKIP() << "tileron-texgen is not built";
  const fs::path made = home() / "made";
  const std::string command = "'" + tool.string() + "' --out '" + made.string() + "' > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const char *name : kShipped) {
    SCOPED_TRACE(name);
    std::string error;
    const auto shipped = vxhost::readPng(fs::path(VXHOST_DATA_DIR) / "textures" / name, error);
    const auto remade = vxhost::readPng(made / name, error);
    ASSERT_TRUE(shipped && remade) << error;
    EXPECT_EQ(shipped->pixels, remade->pixels);
  }
}

} // namespace
