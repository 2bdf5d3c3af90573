// txlib: texture requests, texture settings records, texture images from the
// library folder and image files below VXHOME.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "host/control.hpp"
#include "host/images/images.hpp"
#include "host/images/yuv.hpp"
#include "host/state.hpp"
#include "host/textures/png_reader.hpp"
#include "host/textures/texture_library.hpp"
#include "host/textures/texture_pixels.hpp"
#include "vxhost/txlib.h"

namespace fs = std::filesystem;

// A texture request: the settings it holds (all zero: none) and how the last
// requester run ended.
struct TxRequest {
  TxSettings settings{};
  int32_t status = 0;
  bool options = false;
};

namespace vxhost {

namespace {

fs::path &textureDirSetting() {
  static fs::path dir;
  return dir;
}

struct OpImageFree {
  void operator()(OpImage *image) const { opFreeImage(image); }
};
using OpImageHandle = std::unique_ptr<OpImage, OpImageFree>;

// Home-relative paths as the operator's files use them: a path holding the
// value of VXHOME is used as it is, any other is appended to it.
fs::path resolveHomePath(const char *path) {
  const char *env = std::getenv("VXHOME");
  const std::string home = env != nullptr ? env : "";
  const std::string given = path;
  return given.find(home) != std::string::npos ? fs::path(given) : fs::path(home + given);
}

bool allZero(const void *bytes, size_t count) {
  const auto *p = static_cast<const uint8_t *>(bytes);
  for (size_t i = 0; i < count; ++i)
    if (p[i] != 0) return false;
  return true;
}

// The file as a new image: kind 3 of its luma when `luma`, else kind 1 YUVA
// (the host's BT.601 conversion of RGB pictures, alpha kept). Null, logged
// under `call`, when it cannot be had.
OpImage *imageFromPng(const fs::path &file, bool luma, const char *call) {
  std::string error;
  const std::optional<RgbaImage> png = readPng(file, error);
  if (!png) {
    hostLog(3, __LINE__, "%s: %s: %s", call, file.c_str(), error.c_str());
    return nullptr;
  }
  OpImage *image = opAllocImage(png->width, png->height, luma ? OP_KIND_8 : OP_KIND_YUVA, 0);
  if (image == nullptr) {
    hostLog(3, __LINE__, "%s: %s: no memory for a %dx%d image", call, file.c_str(), png->width,
            png->height);
    return nullptr;
  }
  const size_t rgbaRow = size_t(png->width) * 4;
  for (int y = 0; y < png->height; ++y) {
    const uint8_t *from = png->pixels.data() + size_t(y) * rgbaRow;
    uint8_t *to = image->pixels + size_t(y) * rowBytes(image);
    if (luma)
      rgbaToLumaRow(from, to, png->width);
    else
      rgbaRowToYuva(from, reinterpret_cast<uint32_t *>(to), size_t(png->width));
  }
  return image;
}

// A texture side at `scale` percent, rounded half up, at least 1.
int scaledSide(int side, int scale) { return std::max(1, (side * scale + 50) / 100); }

} // namespace

void setTextureDir(const fs::path &dir) { textureDirSetting() = dir; }

fs::path textureDir() {
  const fs::path &dir = textureDirSetting();
  return dir.empty() ? fs::path(VXHOST_DATA_DIR) / "textures" : dir;
}

std::vector<std::string> installedTextures() {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry &file : fs::directory_iterator(textureDir(), error)) {
    const std::string name = file.path().filename().string();
    if (name[0] != '.' && file.path().extension() == ".png" && file.is_regular_file(error)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool validTxSettings(const TxSettings &s) {
  if (s.magic != TX_SETTINGS_MAGIC || s.version != TX_SETTINGS_VERSION) return false;
  if (s.scale != 0 && (s.scale < kTxMinScale || s.scale > kTxMaxScale)) return false;
  if (s.reserved0 != 0 || !allZero(s.reserved1, sizeof s.reserved1)) return false;
  const void *end = std::memchr(s.name, '\0', sizeof s.name);
  if (end == nullptr || s.name[0] == '\0' || s.name[0] == '.') return false;
  // Bytes after the terminator are zero too, so equal choices are equal records.
  const size_t length = size_t(static_cast<const char *>(end) - s.name);
  if (!allZero(s.name + length, sizeof s.name - length)) return false;
  return std::strpbrk(s.name, "/\\") == nullptr;
}

std::optional<TxSettings> makeTxSettings(const std::string &name, int scale, uint8_t opacity) {
  TxSettings s{};
  s.magic = TX_SETTINGS_MAGIC;
  s.version = TX_SETTINGS_VERSION;
  s.scale = uint16_t(std::clamp(scale, 0, 0xFFFF));
  if (name.size() < sizeof s.name) std::memcpy(s.name, name.c_str(), name.size());
  if (name.size() >= sizeof s.name || scale != s.scale || !validTxSettings(s)) {
    hostLog(3, __LINE__, "texture settings: bad texture name \"%s\" or scale %d", name.c_str(),
            scale);
    return std::nullopt;
  }
  const OpImageHandle image(imageFromPng(textureDir() / name, false, "texture settings"));
  if (!image) return std::nullopt;
  // Mean of each colour byte over the texture, rounded half up.
  const size_t count = size_t(image->width) * size_t(image->height);
  const auto *pixels = reinterpret_cast<const uint32_t *>(image->pixels);
  uint64_t sums[3] = {};
  for (size_t p = 0; p < count; ++p)
    for (int k = 0; k < 3; ++k) sums[k] += pixels[p] >> (24 - 8 * k) & 0xFF;
  s.colour = opacity;
  for (int k = 0; k < 3; ++k) s.colour |= uint32_t((sums[k] + count / 2) / count) << (24 - 8 * k);
  return s;
}

} // namespace vxhost

using namespace vxhost;

extern "C" {

TxRequest *txAllocRequest(int32_t) { return new (std::nothrow) TxRequest; }

int32_t txAddOptions(TxRequest *request, int32_t) {
  if (request == nullptr) return 0;
  request->options = true;
  return 1;
}

int32_t txSetPrefs(TxRequest *request, const TxSettings *settings) {
  if (request == nullptr || settings == nullptr) return 0;
  // All zero is the record of "no texture chosen yet".
  if (allZero(settings, sizeof *settings)) {
    request->settings = TxSettings{};
    return 1;
  }
  if (!validTxSettings(*settings)) return 0;
  request->settings = *settings;
  return 1;
}

int32_t txRequest(TxRequest *request, int32_t) {
  // The texture requester window belongs to the GUI toolkit and is not built
  // yet: the run fails, and the request keeps its settings.
  if (request != nullptr) request->status = 2;
  hostLog(5, __LINE__, "txRequest: the texture requester is not available");
  return -1;
}

int32_t txGetStatus(const TxRequest *request) { return request != nullptr ? request->status : 2; }

int32_t txGetPrefs(const TxRequest *request, TxSettings *settings, int32_t size) {
  if (request == nullptr || settings == nullptr || size != int32_t(sizeof(TxSettings)) ||
      !validTxSettings(request->settings))
    return -1;
  *settings = request->settings;
  return 0;
}

void txFreeRequest(TxRequest *request) { delete request; }

OpImage *txGetOpImage(const TxSettings *settings, int32_t mode, int32_t) {
  if (settings == nullptr || !validTxSettings(*settings) || mode != 1) {
    hostLog(3, __LINE__, "txGetOpImage: no usable texture settings (mode %d)", mode);
    return nullptr;
  }
  OpImageHandle texture(imageFromPng(textureDir() / settings->name, false, "txGetOpImage"));
  const int scale = settings->scale == 0 ? 100 : settings->scale;
  if (!texture || scale == 100) return texture.release();
  const int width = scaledSide(texture->width, scale);
  const int height = scaledSide(texture->height, scale);
  OpImageHandle scaled(opAllocImage(width, height, OP_KIND_YUVA, 0));
  if (!scaled || opScaleImage(texture.get(), scaled.get(), 0) != 1) {
    hostLog(3, __LINE__, "txGetOpImage: %s: cannot scale to %dx%d", settings->name, width, height);
    return nullptr;
  }
  return scaled.release();
}

uint32_t txGetColor(const TxSettings *settings, int32_t which) {
  if (which != 2) return 0;
  return settings != nullptr && validTxSettings(*settings) ? settings->colour : 0xFFu;
}

int32_t txTileOpImagePrefs(OpImage *destination, const OpImage *texture, int32_t, int32_t) {
  if (destination == nullptr || texture == nullptr || destination->kind != texture->kind ||
      bytesPerPixel(destination->kind) == 0 || destination->width <= 0 ||
      destination->height <= 0 || texture->width <= 0 || texture->height <= 0)
    return 0;
  tileRows(destination->pixels, rowBytes(destination), destination->height, texture->pixels,
           rowBytes(texture), texture->height);
  return 1;
}

OpImage *txGetOpImageFile(const char *path, int32_t mode) {
  if (path == nullptr) {
    hostLog(3, __LINE__, "txGetOpImageFile: no path");
    return nullptr;
  }
  return imageFromPng(resolveHomePath(path), mode == 1, "txGetOpImageFile");
}

} // extern "C"
