// Writes the seed corpora of the reader harnesses into <dir>/<reader>/:
// small valid files of each format and a few damaged ones the readers must
// refuse. Run once when a format changes: tileron-fuzz-seeds tests/fuzz/corpus
#include <spng.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "operator/fixtures/mask_fixture.hpp"
#include "support/cipher.hpp"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path root;

void seed(const std::string &reader, const std::string &name, const Bytes &bytes) {
  const fs::path dir = root / reader;
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

void seed(const std::string &reader, const std::string &name, const std::string &text) {
  seed(reader, name, Bytes(text.begin(), text.end()));
}

// ---- XML ----------------------------------------------------------------------

void xmlSeeds() {
  seed("xml", "mask", "splitscreen\n<splitscreen><name><english>A</english><deutsch>B</deutsch>"
                      "</name><part><filename>shape.png</filename><centerx>6</centerx></part>"
                      "</splitscreen>\n");
  seed("xml", "nested", "part\n<part><part>inner</part>tail</part><part></part>");
  seed("xml", "unclosed", "bar\n<bar><left>1</left><bar>");
  seed("xml", "empty_tag", "\n<>x</><>y</>");
  std::string many = "a\n";
  for (int i = 0; i < 25; ++i) many += "<a>" + std::to_string(i) + "</a>";
  seed("xml", "many", many);
  seed("xml", "comment", "name\n<!-- <name>hidden</name> --><name>\xE4\xF6</name>");
}

// ---- mask descriptions -----------------------------------------------------------

std::string part(const std::string &file, int cx, int cy, int w, int h) {
  std::string xml = "<part>";
  if (!file.empty()) xml += "<filename>" + file + "</filename>";
  return xml + "<centerx>" + std::to_string(cx) + "</centerx><centery>" + std::to_string(cy) +
         "</centery><width>" + std::to_string(w) + "</width><height>" + std::to_string(h) +
         "</height><scale>100</scale><stampimagexpos>4</stampimagexpos>"
         "<stampimageypos>4</stampimageypos></part>";
}

std::string bar(int l, int t, int r, int b) {
  return "<bar><left>" + std::to_string(l) + "</left><top>" + std::to_string(t) +
         "</top><right>" + std::to_string(r) + "</right><bottom>" + std::to_string(b) +
         "</bottom></bar>";
}

void maskSeeds() {
  const std::string head = "<splitscreen><name><english>Fuzz</english></name>";
  const std::string stamp = "<stamp><filename>stamp.png</filename></stamp>";
  seed("mask_file", "two_parts",
       head + part("shape.png", 3, 4, 6, 8) + part("shape.png", 9, 4, 6, 8) + bar(6, 0, 6, 7) +
           stamp + "</splitscreen>");
  seed("mask_file", "no_shape", head + part("", 3, 4, 6, 8) + part("shape.png", 9, 4, 6, 8) +
                                    bar(0, 0, 11, 7) + "<bar></bar></splitscreen>");
  std::string many = head;
  for (int i = 0; i < 12; ++i) many += part("shape.png", i, i, 12 - i, 8);
  for (int i = 0; i < 22; ++i) many += bar(i, 0, 11 - i, 7);
  seed("mask_file", "many", many + stamp + "</splitscreen>");
  seed("mask_file", "extremes",
       head + part("shape.png", -99999999, 2147483647, 40000, -40000) +
           bar(-32768, 99999, 32767, -1) + "<part><scale>-5</scale></part>" +
           "<part><filename>shape.png</filename><scale>32767</scale></part></splitscreen>");
  seed("mask_file", "escape",
       head + part("../shape.png", 1, 1, 1, 1) + "<stamp><filename>/etc/passwd</filename></stamp>" +
           "</splitscreen>");
  seed("mask_file", "pictures",
       head + part("wide.png", 150, 1, 300, 2) + part("tall.png", 0, 100, 1, 200) +
           part("dot.png", 0, 0, 1, 1) + part("colour.png", 3, 2, 6, 4) + bar(0, 0, 299, 1) +
           "<stamp><filename>wide.png</filename></stamp></splitscreen>");
  seed("mask_file", "two_screens", "<splitscreen></splitscreen><splitscreen></splitscreen>");
}

// ---- settings files -----------------------------------------------------------------

void settingsSeeds() {
  testing_support::SettingsDesc desc;
  desc.maskPath = "/programs/tileron/mask/three.xml";
  desc.parts[0].scene = 1;
  desc.parts[1].scene = 2;
  desc.parts[2].scene = 1;
  desc.parts[2].relativeOffsetX = 1250.5;
  desc.parts[2].relativeOffsetY = -2000;
  desc.parts[1].opacity = 128;
  const Bytes plain = testing_support::settingsBytes(desc);
  seed("settings", "plain", plain);
  seed("settings", "short", Bytes(plain.begin(), plain.begin() + 500));
  seed("settings", "head_only", Bytes(plain.begin(), plain.begin() + 8));

  testing_support::SettingsDesc odd = desc;
  odd.barWidth = -1;
  odd.currentPart = 9;
  odd.parts[0].relativeScale = -1000;
  odd.parts[1].relativeScale = 32767;
  odd.parts[0].relativeOffsetX = std::numeric_limits<double>::quiet_NaN();
  odd.parts[0].relativeOffsetY = std::numeric_limits<double>::infinity();
  odd.parts[1].relativeOffsetX = 1e300;
  odd.parts[2].align = -7;
  odd.parts[2].opacity = 999;
  Bytes style(172, 0);
  style[0] = 2;                       // gradient
  style[2] = 0xD5; style[3] = 0x02;   // angle 725
  style[16] = 0x7F; style[17] = 0x7F; // palette index far outside
  odd.barStyle = style;
  seed("settings", "odd_values", testing_support::settingsBytes(odd));

  // A texture bar: the library's record at 28 naming one of the installed
  // textures at 50 %, tiled.
  Bytes texture(172, 0);
  texture[0] = 1;
  texture[14] = 1;
  texture[20] = 1;
  const uint8_t record[8] = {0x54, 0x58, 0x52, 0x31, 1, 0, 50, 0};
  std::memcpy(&texture[28], record, sizeof record);
  std::memcpy(&texture[28 + 16], "wood.png", 8);
  testing_support::SettingsDesc textured = desc;
  textured.barWidth = 100;
  textured.barStyle = texture;
  seed("settings", "texture_bar", testing_support::settingsBytes(textured));

  Bytes badLength = plain;
  badLength[4] = 0xFF; badLength[5] = 0xFF; badLength[6] = 0xFF; badLength[7] = 0x7F;
  seed("settings", "huge_length", badLength);
  Bytes noZero = plain;
  noZero[4] = uint8_t(desc.maskPath.size()); // the zero byte left out of the length
  seed("settings", "path_unterminated", noZero);
}

// ---- pack indexes -----------------------------------------------------------------

Bytes packInput(bool enciphered, const std::string &index, const std::string &mask = "") {
  Bytes input{uint8_t(enciphered ? 1 : 0)};
  Bytes pack(index.begin(), index.end());
  if (enciphered)
    tileron::cipherBuffer(pack.data(), pack.size(), tileron::CipherDirection::Encipher, true);
  input.insert(input.end(), pack.begin(), pack.end());
  if (!mask.empty()) {
    input.push_back(0);
    input.insert(input.end(), mask.begin(), mask.end());
  }
  return input;
}

void catalogueSeeds() {
  const std::string mask = "<splitscreen><name><deutsch>Zwei</deutsch><english>Two</english>"
                           "</name><stamp><filename>stamp.png</filename></stamp></splitscreen>";
  seed("catalogue", "plain", packInput(false, "0001\na.xml\nm.xml\n", mask));
  seed("catalogue", "enciphered", packInput(true, "0000001\na.xml\nm.xml\n", mask));
  seed("catalogue", "escapes", packInput(false, "1\n../a.xml\n/etc/passwd\nc:x\na.xml\n"));
  seed("catalogue", "long_line", packInput(false, "1\n" + std::string(200, 'x') + ".xml\n"));
  seed("catalogue", "no_name",
       packInput(false, "12345\nm.xml\nm.xml\n", "<splitscreen><stamp>x</stamp></splitscreen>"));
  seed("catalogue", "odd_length", packInput(true, "1\na.xml\n\x01\x80"));
}

// ---- storyboards and preset descriptions ------------------------------------------

void jsonSeeds() {
  seed("storyboard", "patterns",
       R"({"format": {"width": 32, "height": 24, "rate": "30000/1001"},
 "input": "colour:#000000", "length": 3,
 "scenes": [{"id": 1, "source": "pattern:gradient"}, {"id": 2, "source": "pattern:bars"},
            {"id": 3, "source": "colour:#C04020"}, {"id": 4, "source": "pattern:solid:#102030", "length": 1}]})");
  seed("storyboard", "minimal",
       R"({"format": {"width": 16, "height": 16}, "input": "pattern:bars", "length": 1, "scenes": []})");
  seed("storyboard", "file_clip",
       R"({"format": {"width": 720, "height": 576, "pixelAspect": 1094, "rate": "25"},
 "input": "clips/missing.mp4", "length": 100, "scenes": [{"id": 32767, "source": "a.png"}]})");
  seed("preset", "gradient",
       R"({"mask": "diagonal_down_2",
 "bar": {"width": 8, "mode": "gradient", "angle": 45, "from": "#FFC000", "to": "#FF4080"},
 "parts": [{"scene": 1}, {"scene": 2, "scale": 90, "anchor": 9, "offsetX": -10, "offsetY": 5, "opacity": 200}]})");
  seed("preset", "texture",
       R"({"mask": "/programs/tileron/mask/grid_4.xml",
 "bar": {"width": 100, "mode": "texture", "paletteIndex": 5, "colour": "0x80808080",
         "palette": ["#000000", "#FFFFFF", "#FF0000", "#00FF00", "#0000FF", "0x10808001"],
         "texture": {"name": "wood.png", "scale": 1000, "tile": true, "opacity": 0}},
 "parts": [{"scene": 32767, "scale": 10, "anchor": 1, "offsetX": 50, "offsetY": -50, "opacity": 0}]})");
  seed("preset", "colour", R"({"mask": "grid_4", "bar": {"width": 0, "paletteIndex": 2}, "parts": []})");
}

// ---- PNG ------------------------------------------------------------------------------

void png(const std::string &name, uint32_t width, uint32_t height, uint8_t colourType,
         uint8_t depth, bool interlaced, bool withTrns) {
  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(SPNG_CTX_ENCODER),
                                                          spng_ctx_free);
  spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr{};
  ihdr.width = width;
  ihdr.height = height;
  ihdr.bit_depth = depth;
  ihdr.color_type = colourType;
  ihdr.interlace_method = interlaced ? SPNG_INTERLACE_ADAM7 : SPNG_INTERLACE_NONE;
  spng_set_ihdr(ctx.get(), &ihdr);
  int channels = 1;
  if (colourType == SPNG_COLOR_TYPE_TRUECOLOR) channels = 3;
  if (colourType == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA) channels = 2;
  if (colourType == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA) channels = 4;
  if (colourType == SPNG_COLOR_TYPE_INDEXED) {
    spng_plte plte{};
    plte.n_entries = 1u << std::min<int>(depth, 8);
    for (uint32_t i = 0; i < plte.n_entries; ++i)
      plte.entries[i] = {uint8_t(i * 37), uint8_t(255 - i), uint8_t(i * 5), 0};
    spng_set_plte(ctx.get(), &plte);
  }
  if (withTrns) {
    spng_trns trns{};
    trns.gray = 1;
    trns.red = 2;
    trns.green = 3;
    trns.blue = 4;
    trns.n_type3_entries = 2;
    trns.type3_alpha[0] = 0;
    trns.type3_alpha[1] = 128;
    spng_set_trns(ctx.get(), &trns);
  }
  const size_t rowBytes = (size_t(width) * channels * depth + 7) / 8;
  Bytes pixels(rowBytes * height);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 29 + 7);
  if (colourType == SPNG_COLOR_TYPE_INDEXED && depth == 8)
    for (uint8_t &p : pixels) p %= uint8_t(1u << 7);
  int error = spng_encode_image(ctx.get(), pixels.data(), pixels.size(), SPNG_FMT_PNG,
                                SPNG_ENCODE_FINALIZE);
  size_t length = 0;
  std::unique_ptr<void, decltype(&std::free)> buffer(
      error == 0 ? spng_get_png_buffer(ctx.get(), &length, &error) : nullptr, std::free);
  if (error != 0 || !buffer) {
    std::cerr << "cannot encode " << name << ": " << spng_strerror(error) << "\n";
    std::exit(1);
  }
  const auto *bytes = static_cast<const uint8_t *>(buffer.get());
  seed("png", name, Bytes(bytes, bytes + length));
}

void pngSeeds() {
  for (uint8_t depth : {1, 2, 4, 8, 16})
    png("grey" + std::to_string(depth), 5, 3, SPNG_COLOR_TYPE_GRAYSCALE, depth, false, depth == 8);
  for (uint8_t depth : {1, 4, 8})
    png("palette" + std::to_string(depth), 7, 2, SPNG_COLOR_TYPE_INDEXED, depth, false, true);
  png("grey_alpha8", 3, 3, SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 8, false, false);
  png("grey_alpha16", 3, 3, SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 16, false, false);
  png("rgb8_trns", 4, 4, SPNG_COLOR_TYPE_TRUECOLOR, 8, false, true);
  png("rgb16", 2, 5, SPNG_COLOR_TYPE_TRUECOLOR, 16, false, false);
  png("rgba8_interlaced", 9, 9, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8, true, false);
  png("rgba16", 2, 2, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 16, false, false);
  png("one_pixel", 1, 1, SPNG_COLOR_TYPE_GRAYSCALE, 8, false, false);
}

// ---- resource string tables ------------------------------------------------------

void stringTableSeeds() {
  seed("string_table", "plain", "# strings\n101\tArchive\n301\tA preset exists.\\nReplace it?\n102\t\n");
  seed("string_table", "bom_crlf", "\xEF\xBB\xBF" "1\tUmlaute \xC3\xA4\xC3\xB6\xC3\xBC\r\n2\ttab\\there\r\n");
  seed("string_table", "malformed",
       "x\tnot a number\n-1\tsign\n1234567890\tten digits\n5\t\xC3\x28\n5\tonce\n5\ttwice\nno tab\n");
  seed("string_table", "escapes", "7\t\\\\ \\q \\\n8\t\xF0\x9F\x98\x80 \xED\xA0\x80\n");
}

// ---- texture settings records ----------------------------------------------------

Bytes textureRecord(const char *name, uint16_t scale, uint32_t colour) {
  Bytes record(112, 0);
  const uint32_t magic = 0x31525854u; // "TXR1"
  for (int i = 0; i < 4; ++i) record[size_t(i)] = uint8_t(magic >> (8 * i));
  record[4] = 1; // version
  record[6] = uint8_t(scale);
  record[7] = uint8_t(scale >> 8);
  for (int i = 0; i < 4; ++i) record[size_t(8 + i)] = uint8_t(colour >> (8 * i));
  std::memcpy(record.data() + 16, name, std::strlen(name));
  return record;
}

void textureSeeds() {
  seed("texture_settings", "plain", textureRecord("t.png", 0, 0x80808080u));
  seed("texture_settings", "scaled", textureRecord("t.png", 1000, 0x102030FFu));
  seed("texture_settings", "missing", textureRecord("none.png", 10, 0));
  seed("texture_settings", "path", textureRecord("../t.png", 100, 0));
  seed("texture_settings", "zero", Bytes(112, 0));
  seed("texture_settings", "short", Bytes(20, 0x54));
}

// ---- Y4M clips ---------------------------------------------------------------------

// A Y4M stream without its "YUV4MPEG2 " magic (the harness adds it): `header`
// fields, then `frames` frames of `frameBytes` bytes each.
std::string y4m(const std::string &header, int frames, size_t frameBytes, const std::string &frameLine = "FRAME") {
  std::string stream = header + "\n";
  for (int f = 0; f < frames; ++f) {
    stream += frameLine + "\n";
    for (size_t i = 0; i < frameBytes; ++i) stream += char(16 + (i * 7 + size_t(f) * 13) % 220);
  }
  return stream;
}

void y4mSeeds() {
  seed("y4m", "c444", y4m("W8 H6 F25:1 It A1:1 C444", 2, 8 * 6 * 3));
  seed("y4m", "c420", y4m("W8 H6 F30000:1001 Ip A16:15 C420jpeg", 3, 8 * 6 + 2 * 4 * 3));
  seed("y4m", "odd_mono", y4m("W7 H5 F1:1 Ib A0:0 Cmono XYSCSS=MONO", 2, 7 * 5));
  seed("y4m", "c422_params", y4m("W4 H4 F50:1 Im C422", 2, 4 * 4 + 2 * 2 * 4, "FRAME Ixyz"));
  seed("y4m", "truncated", y4m("W8 H6 F25:1 C444", 2, 8 * 6 * 3).substr(0, 200));
  seed("y4m", "no_size", y4m("F25:1 C444", 1, 10));
  seed("y4m", "huge", y4m("W100000 H100000 F25:1 C444", 1, 16));
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::cerr << "usage: tileron-fuzz-seeds <corpus directory>\n";
    return 2;
  }
  root = argv[1];
  xmlSeeds();
  maskSeeds();
  settingsSeeds();
  catalogueSeeds();
  jsonSeeds();
  pngSeeds();
  stringTableSeeds();
  textureSeeds();
  y4mSeeds();
  return 0;
}
