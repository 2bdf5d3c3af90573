#include "description.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "host/control.hpp"
#include "host/media/colour.hpp"
#include "host/scenes/json_check.hpp"
#include "host/textures/texture_library.hpp"

namespace tileron::preset {
namespace {

using nlohmann::json;
using vxhost::JsonChecker;

constexpr const char *maskFolder = "/programs/tileron/mask/";
constexpr const char *modeNames[] = {"colour", "texture", "gradient"};
// The US spelling of a key or mode, taken as the other.
constexpr const char *kColorSpelling = "color";

// "#RRGGBB" takes the host's RGB conversion (BT.601, as the palette shows
// colours); "0xYYUUVVAA" is the word itself.
uint32_t parseColour(const JsonChecker &check, const json &value, const std::string &key) {
  const std::string text = check.text(value, key);
  int r, g, b;
  if (vxhost::parseHexRgb(text, r, g, b))
    return vxhost::rgbToYuva(r, g, b, vxhost::Matrix::bt601);
  uint32_t word = 0;
  const char *digits = text.data() + std::min<size_t>(2, text.size()), *end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(digits, end, word, 16);
  if (text.size() != 10 || text.compare(0, 2, "0x") != 0 || error != std::errc() || stop != end ||
      *digits == '+' || *digits == '-')
    check.fail(key, "\"" + text + "\" is not a colour: write \"#RRGGBB\" or a YUVA word \"0xYYUUVVAA\"");
  return word;
}

// "#RRGGBB" when that reads back as the same word, else the word.
std::string colourText(uint32_t word) {
  const vxhost::Rgb rgb = vxhost::yuvaToRgb(word, vxhost::Matrix::bt601);
  char text[16];
  if (vxhost::rgbToYuva(rgb.r, rgb.g, rgb.b, vxhost::Matrix::bt601) == word)
    std::snprintf(text, sizeof text, "#%02X%02X%02X", rgb.r, rgb.g, rgb.b);
  else
    std::snprintf(text, sizeof text, "0x%08X", unsigned(word));
  return text;
}

// A name below the mask folder ("grid_4", "mine/grid_4", ".xml" allowed
// once) or the home-relative path itself. Each part of a name is plain and
// does not start with '.', so a name never leaves the folder.
std::string checkMask(const JsonChecker &check, const json &value) {
  std::string text = check.text(value, "mask");
  if (text.rfind(maskFolder, 0) == 0 && text.size() > std::strlen(maskFolder) + 4 &&
      text.compare(text.size() - 4, 4, ".xml") == 0 && text.find("/../") == std::string::npos)
    return text;
  const std::string given = text;
  if (text.size() > 4 && text.compare(text.size() - 4, 4, ".xml") == 0)
    text.resize(text.size() - 4);
  bool plain = !text.empty();
  for (size_t start = 0; plain && start <= text.size();) {
    const size_t end = std::min(text.find('/', start), text.size());
    plain = end > start && text[start] != '.' &&
            std::all_of(text.begin() + long(start), text.begin() + long(end), [](char c) {
              return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
            });
    start = end + 1;
  }
  if (!plain)
    check.fail("mask", "\"" + given + "\" is neither a mask name (e.g. diagonal_down_2) nor a path " +
                           maskFolder + "NAME.xml");
  return maskFolder + text + ".xml";
}

// A file of the host's texture library; anything else would draw a flat bar.
void checkTexture(const JsonChecker &check, const std::string &name) {
  const std::vector<std::string> installed = vxhost::installedTextures();
  if (std::find(installed.begin(), installed.end(), name) != installed.end())
    return;
  std::string known;
  for (const std::string &texture : installed)
    known += (known.empty() ? "" : ", ") + texture;
  check.fail("bar.texture.name", "\"" + name + "\" is not an installed texture (" +
                                     (known.empty() ? "none is installed in " + vxhost::textureDir().string()
                                                    : "installed: " + known) + ")");
}

void parseBar(const JsonChecker &check, const json &bar, PresetDescription &out) {
  check.onlyKeys(bar, "bar", {"width", "mode", "colour", "color", "paletteIndex", "palette", "angle", "from", "to", "texture"});
  if (bar.contains("colour") && bar.contains(kColorSpelling))
    check.fail("bar.color", "give either colour or color, not both");
  BarStyle &style = out.barStyle;
  if (bar.contains("width"))
    out.barWidth = int(check.integer(bar["width"], "bar.width", 0, 100));
  if (bar.contains("mode")) {
    std::string mode = check.text(bar["mode"], "bar.mode");
    if (mode == kColorSpelling)
      mode = modeNames[kBarColour];
    const auto found = std::find(std::begin(modeNames), std::end(modeNames), mode);
    if (found == std::end(modeNames))
      check.fail("bar.mode", "\"" + mode + "\" is not one of colour, texture, gradient");
    style.mode = uint16_t(found - std::begin(modeNames));
  }
  if (bar.contains("paletteIndex"))
    style.paletteIndex = int16_t(check.integer(bar["paletteIndex"], "bar.paletteIndex", 0, kPaletteSize - 1));
  if (bar.contains("palette")) {
    const json &palette = bar["palette"];
    if (!palette.is_array() || palette.size() != kPaletteSize)
      check.fail("bar.palette", "must be a list of 6 colours");
    for (int i = 0; i < kPaletteSize; ++i)
      style.palette[i] = parseColour(check, palette[i], "bar.palette[" + std::to_string(i) + "]");
  }
  for (const char *key : {"colour", kColorSpelling})
    if (bar.contains(key))
      style.palette[style.paletteIndex] = parseColour(check, bar[key], std::string("bar.") + key);
  if (bar.contains("angle"))
    style.angle = int16_t(check.integer(bar["angle"], "bar.angle", 0, 360));
  if (bar.contains("from"))
    style.colourA = parseColour(check, bar["from"], "bar.from");
  if (bar.contains("to"))
    style.colourB = parseColour(check, bar["to"], "bar.to");
  if (bar.contains("texture")) {
    const json &texture = bar["texture"];
    check.onlyKeys(texture, "bar.texture", {"name", "scale", "tile", "opacity"});
    const std::string name = check.text(check.required(texture, "bar.texture", "name"), "bar.texture.name");
    if (name.size() >= sizeof style.texture.name || name.find('/') != std::string::npos)
      check.fail("bar.texture.name", "\"" + name + "\" is not a texture file name (no folder, at most 63 bytes)");
    checkTexture(check, name);
    style.texture = TxSettings{};
    style.texture.magic = TX_SETTINGS_MAGIC;
    style.texture.version = TX_SETTINGS_VERSION;
    std::memcpy(style.texture.name, name.data(), name.size());
    style.texture.scale =
        texture.contains("scale") ? uint16_t(check.integer(texture["scale"], "bar.texture.scale", 10, 1000)) : 100;
    if (texture.contains("tile") && !texture["tile"].is_boolean())
      check.fail("bar.texture.tile", "must be true or false");
    style.tile = texture.value("tile", false) ? 1 : 0;
    // The texture's colour word carries its opacity in the low byte.
    const int opacity = texture.contains("opacity") ? int(check.integer(texture["opacity"], "bar.texture.opacity", 0, 255)) : 255;
    style.texture.colour = 0xEB808000u | uint32_t(opacity);
    style.textureChosen = 1;
  }
  if (style.mode == kBarTexture && !style.textureChosen)
    check.fail("bar.texture", "missing (mode \"texture\" needs one)");
}

PartValues parsePart(const JsonChecker &check, const json &part, const std::string &key) {
  check.onlyKeys(part, key, {"scene", "scale", "anchor", "offsetX", "offsetY", "opacity"});
  PartValues values;
  const auto optionalInt = [&](const char *name, int64_t lo, int64_t hi, int fallback) {
    return part.contains(name) ? int(check.integer(part[name], JsonChecker::join(key, name), lo, hi)) : fallback;
  };
  values.scene = optionalInt("scene", 0, 32767, 0);
  if (part.contains("scale"))
    values.scale = optionalInt("scale", 10, 200, 100);
  values.anchor = optionalInt("anchor", 1, 9, 5);
  values.offsetX = optionalInt("offsetX", -50, 50, 0);
  values.offsetY = optionalInt("offsetY", -50, 50, 0);
  values.opacity = optionalInt("opacity", 0, 255, 255);
  return values;
}

} // namespace

PresetDescription parseDescription(const std::string &text, const std::string &file) {
  const JsonChecker check(file);
  const json root = check.parse(text);
  check.onlyKeys(root, "", {"mask", "bar", "parts"});
  PresetDescription description;
  description.maskPath = checkMask(check, check.required(root, "", "mask"));
  if (root.contains("bar"))
    parseBar(check, root["bar"], description);
  if (root.contains("parts")) {
    const json &parts = root["parts"];
    if (!parts.is_array() || parts.size() > 10)
      check.fail("parts", "must be a list of at most 10 parts [{…}, …]");
    for (size_t i = 0; i < parts.size(); ++i)
      description.parts.push_back(parsePart(check, parts[i], "parts[" + std::to_string(i) + "]"));
  }
  return description;
}

std::string maskPathOf(const std::string &mask, const std::string &source) {
  return checkMask(JsonChecker(source), json(mask));
}

nlohmann::ordered_json describe(const PresetDescription &description) {
  const BarStyle &style = description.barStyle;
  nlohmann::ordered_json bar;
  bar["width"] = description.barWidth;
  bar["mode"] = style.mode < std::size(modeNames) ? modeNames[style.mode] : "colour";
  bar["paletteIndex"] = style.paletteIndex;
  bar["palette"] = nlohmann::ordered_json::array();
  for (uint32_t colour : style.palette)
    bar["palette"].push_back(colourText(colour));
  bar["angle"] = style.angle;
  bar["from"] = colourText(style.colourA);
  bar["to"] = colourText(style.colourB);
  if (style.textureChosen) {
    const size_t length = strnlen(style.texture.name, sizeof style.texture.name);
    bar["texture"] = {{"name", std::string(style.texture.name, length)},
                      {"scale", style.texture.scale ? style.texture.scale : 100},
                      {"tile", style.tile != 0},
                      {"opacity", style.texture.colour & 0xFF}};
  }

  nlohmann::ordered_json parts = nlohmann::ordered_json::array();
  for (const PartValues &part : description.parts)
    parts.push_back({{"scene", part.scene},
                     {"scale", part.scale.value_or(100)},
                     {"anchor", part.anchor},
                     {"offsetX", part.offsetX},
                     {"offsetY", part.offsetY},
                     {"opacity", part.opacity}});
  nlohmann::ordered_json root;
  root["mask"] = description.maskPath;
  root["bar"] = bar;
  root["parts"] = parts;
  return root;
}

} // namespace tileron::preset
