// The settings file: the last-used mask and every part's settings, written
// when an editor instance closes and read by every set-up. Layout (all
// little-endian, L = path length including its zero byte, 1992 + L bytes):
//
//   0       u32   magic 0xCB500002 (bytes 02 00 50 CB)
//   4       u32   L
//   8       L     mask path, home-relative, zero-terminated
//   8 + L   i16   barWidth
//   10 + L  i16   currentPart
//   12 + L  10 part records of 198 bytes:
//     0   i32     partScene
//     4   u16/i16 relative scale partScale * 1000 / partMaskScale (written
//                 unsigned, read back signed; 0 when the mask scale is 0)
//     6   i16     partAlign
//     8   f64     partOffsetX * 10000 / workWidth
//     16  f64     partOffsetY * 10000 / workHeight
//     24  i16     partOpacity
//     26  172     BarStyle (the same in all ten records)
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/split_mask.hpp"
#include "support/home_files.hpp"
#include "support/report.hpp"

namespace tileron {

namespace {

constexpr uint32_t kSettingsMagic = 0xCB500002u;

constexpr std::size_t kHeadSize = 8;
constexpr std::size_t kBarStyleSize = 172;
constexpr std::size_t kRecordSize = 198;
constexpr std::size_t kFixedSize = kHeadSize + 4 + kMaxParts * kRecordSize; // 1992

struct FileCloser {
  void operator()(std::FILE *file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// ---- little-endian bytes ------------------------------------------------------

class ByteWriter {
public:
  explicit ByteWriter(std::size_t capacity) { bytes_.reserve(capacity); }
  void u8s(const void *data, std::size_t size) {
    const auto *p = static_cast<const uint8_t *>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  void u16(uint16_t v) { put(v, 2); }
  void i16(int16_t v) { put(static_cast<uint16_t>(v), 2); }
  void u32(uint32_t v) { put(v, 4); }
  void i32(int32_t v) { put(static_cast<uint32_t>(v), 4); }
  void f64(double v) { put(std::bit_cast<uint64_t>(v), 8); }
  const std::vector<uint8_t> &bytes() const { return bytes_; }

private:
  void put(uint64_t v, int size) {
    for (int i = 0; i < size; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::vector<uint8_t> bytes_;
};

class ByteReader {
public:
  explicit ByteReader(const uint8_t *data) : p_(data) {}
  void u8s(void *out, std::size_t size) {
    std::memcpy(out, p_, size);
    p_ += size;
  }
  uint16_t u16() { return static_cast<uint16_t>(take(2)); }
  int16_t i16() { return static_cast<int16_t>(take(2)); }
  uint32_t u32() { return static_cast<uint32_t>(take(4)); }
  double f64() { return std::bit_cast<double>(take(8)); }

private:
  uint64_t take(int size) {
    uint64_t v = 0;
    for (int i = 0; i < size; ++i) v |= static_cast<uint64_t>(p_[i]) << (8 * i);
    p_ += size;
    return v;
  }
  const uint8_t *p_;
};

// The bar style field by field at its fixed offsets (see BarStyle); the
// texture library's record is laid out the same way, reserved bytes kept.
void writeBarStyle(ByteWriter &out, const BarStyle &s) {
  out.u16(s.mode);
  out.i16(s.angle);
  out.u32(s.colourA);
  out.u32(s.colourB);
  out.u8s(s.reserved0, sizeof s.reserved0);
  out.u16(s.tile);
  out.i16(s.paletteIndex);
  out.u8s(s.reserved1, sizeof s.reserved1);
  out.u32(s.textureChosen);
  out.u32(s.reserved2);
  out.u32(s.texture.magic);
  out.u16(s.texture.version);
  out.u16(s.texture.scale);
  out.u32(s.texture.colour);
  out.u32(s.texture.reserved0);
  out.u8s(s.texture.name, sizeof s.texture.name);
  out.u8s(s.texture.reserved1, sizeof s.texture.reserved1);
  for (uint32_t colour : s.palette) out.u32(colour);
  out.u8s(s.reserved3, sizeof s.reserved3);
}

BarStyle readBarStyle(const uint8_t *bytes) {
  ByteReader in(bytes);
  BarStyle s;
  s.mode = in.u16();
  s.angle = in.i16();
  s.colourA = in.u32();
  s.colourB = in.u32();
  in.u8s(s.reserved0, sizeof s.reserved0);
  s.tile = in.u16();
  s.paletteIndex = in.i16();
  in.u8s(s.reserved1, sizeof s.reserved1);
  s.textureChosen = in.u32();
  s.reserved2 = in.u32();
  s.texture.magic = in.u32();
  s.texture.version = in.u16();
  s.texture.scale = in.u16();
  s.texture.colour = in.u32();
  s.texture.reserved0 = in.u32();
  in.u8s(s.texture.name, sizeof s.texture.name);
  in.u8s(s.texture.reserved1, sizeof s.texture.reserved1);
  for (uint32_t &colour : s.palette) colour = in.u32();
  in.u8s(s.reserved3, sizeof s.reserved3);
  // The index picks one of six palette words: anything else is colour 0. A
  // mode beyond gradient needs no care: the fill makes no bar for it.
  if (s.paletteIndex < 0 || s.paletteIndex >= kPaletteSize) s.paletteIndex = 0;
  return s;
}

// Reads exactly `size` bytes; false at the end of the file or on an error.
bool readExactly(std::FILE *file, void *out, std::size_t size) {
  return std::fread(out, size, 1, file) == 1;
}

template <typename T> bool readValue(std::FILE *file, T &value) {
  uint8_t bytes[sizeof(T)];
  if (!readExactly(file, bytes, sizeof bytes)) return false;
  ByteReader in(bytes);
  if constexpr (sizeof(T) == 2)
    value = static_cast<T>(in.u16());
  else if constexpr (std::is_same_v<T, double>)
    value = in.f64();
  else
    value = static_cast<T>(in.u32());
  return true;
}

enum class Head { missing, damaged, ok };

// Opens the settings file and reads its magic number and path length. A
// length of 0, or one the file cannot hold, marks the file as damaged; that
// bound also limits the path buffer to the file's size.
Head openSettings(FilePtr &file, uint32_t &pathLength) {
  file.reset(openHomeFile(kSettingsPath, "rb"));
  if (!file) return Head::missing;
  long size = -1;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) size = std::ftell(file.get());
  if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return Head::damaged;
  uint32_t magic = 0;
  if (!readValue(file.get(), magic) || magic != kSettingsMagic) return Head::damaged;
  if (!readValue(file.get(), pathLength)) return Head::damaged;
  const auto room = static_cast<unsigned long>(size) - kHeadSize;
  if (pathLength == 0 || pathLength > room) return Head::damaged;
  return Head::ok;
}

// A stored offset in ten-thousandths of the working size, back in working
// pixels: 0.05 pixel is added away from zero before the nearest integer. A
// non-finite value counts as 0 and the result is brought into 16 bits; no
// other limit applies, since a picture scaled up to 200 may lie up to the
// whole working size off its box.
int16_t offsetFromFile(double relative, int size) {
  if (!std::isfinite(relative)) relative = 0.0;
  const double pixels = relative >= 0 ? (size * relative + 500) / 10000
                                      : (size * relative - 500) / 10000;
  return static_cast<int16_t>(std::clamp(roundNearest(pixels), int(INT16_MIN), int(INT16_MAX)));
}

double offsetToFile(int16_t offset, int size) {
  return size > 0 ? static_cast<double>(offset * 10000) / size : 0.0;
}

} // namespace

int SplitMask::loadLastMaskPath() {
  FilePtr file;
  uint32_t length = 0;
  if (openSettings(file, length) != Head::ok) return 0;
  maskPath.clear();
  std::vector<char> path(length);
  if (!readExactly(file.get(), path.data(), length)) return 0;
  // The path ends at its zero byte, or at L bytes when the file has none.
  maskPath.assign(path.begin(), std::find(path.begin(), path.end(), '\0'));
  return maskPath.empty() ? 0 : 1;
}

int SplitMask::applySavedSettings() {
  FilePtr file;
  uint32_t length = 0;
  switch (openSettings(file, length)) {
  case Head::missing: return 0;
  case Head::damaged: TILERON_REPORT(kLevelError, kSrcSplitMask); return 0;
  case Head::ok: break;
  }
  // Each value is applied as soon as it is read: a file cut short keeps what
  // came before the cut.
  std::FILE *f = file.get();
  bool whole = std::fseek(f, static_cast<long>(length), SEEK_CUR) == 0 && readValue(f, barWidth);
  int16_t part = 0;
  whole = whole && readValue(f, part);
  if (whole) currentPart = part >= 0 && part < partCount ? part : 0;
  for (int i = 0; whole && i < kMaxParts; ++i) {
    int16_t relativeScale = 0, align = 0, opacity = 0;
    double offsetX = 0.0, offsetY = 0.0;
    uint8_t style[kBarStyleSize];
    if (!(whole = readValue(f, partScene[i]))) break;
    if (!(whole = readValue(f, relativeScale))) break;
    partScale[i] = static_cast<int16_t>(std::clamp(relativeScale * partMaskScale[i] / 1000, 10, 200));
    if (!(whole = readValue(f, align))) break;
    partAlign[i] = align;
    if (!(whole = readValue(f, offsetX))) break;
    partOffsetX[i] = offsetFromFile(offsetX, workWidth);
    if (!(whole = readValue(f, offsetY))) break;
    partOffsetY[i] = offsetFromFile(offsetY, workHeight);
    if (!(whole = readValue(f, opacity))) break;
    partOpacity[i] = std::clamp<int16_t>(opacity, 0, 255);
    if (!(whole = readExactly(f, style, sizeof style))) break;
    barStyle = readBarStyle(style);
  }
  if (!whole) {
    TILERON_REPORT(kLevelError, kSrcSplitMask);
    return 0;
  }
  return 1;
}

int SplitMask::saveSettings() {
  if (maskPath.empty()) return 0;
  const auto pathLength = static_cast<uint32_t>(maskPath.size() + 1);
  ByteWriter out(kFixedSize + pathLength);
  out.u32(kSettingsMagic);
  out.u32(pathLength);
  out.u8s(maskPath.c_str(), pathLength);
  out.i16(barWidth);
  out.i16(currentPart);
  for (int i = 0; i < kMaxParts; ++i) {
    out.i32(partScene[i]);
    // A mask scale of 0 has no relative scale; 0 reads back as the minimum.
    out.u16(partMaskScale[i] != 0 ? static_cast<uint16_t>(partScale[i] * 1000 / partMaskScale[i])
                                  : 0);
    out.i16(partAlign[i]);
    out.f64(offsetToFile(partOffsetX[i], workWidth));
    out.f64(offsetToFile(partOffsetY[i], workHeight));
    out.i16(partOpacity[i]);
    writeBarStyle(out, barStyle);
  }

  // Written beside the file and renamed over it: an interrupted or failed
  // write leaves the old file whole.
  const std::vector<uint8_t> &bytes = out.bytes();
  if (writeHomeFile(kSettingsPath, bytes.data(), bytes.size()) != 1) {
    TILERON_REPORT(kLevelError, kSrcSplitMask);
    return 0;
  }
  return 1;
}

int SplitMask::copySettingsTo(const std::string &destination) {
  return replaceHomeFile(kSettingsPath, destination);
}

} // namespace tileron
