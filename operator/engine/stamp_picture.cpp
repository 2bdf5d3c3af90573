// The stamp map as a GUI picture: parts in grey, the highlighted one lighter,
// line work in white over them.
#include "engine/split_mask.hpp"

namespace tileron {

namespace {

constexpr uint32_t kPartGrey = 0x408080FFu;        // dark grey, opaque
constexpr uint32_t kHighlightGrey = 0x808080FFu;   // mid grey, opaque
constexpr int kLineWork = 20; // map bytes from here up are white line work

// Y, U, V of `grey` moved toward white by the line-work weight b / 255, each
// (white x b + grey x (255 - b)) / 255 truncated; alpha 255.
uint32_t lineWorkPixel(uint32_t grey, int b) {
  const int c = 255 - b;
  const uint32_t y = (255u * b + (grey >> 24) * c) / 255;
  const uint32_t u = (128u * b + ((grey >> 16) & 0xFF) * c) / 255;
  const uint32_t v = (128u * b + ((grey >> 8) & 0xFF) * c) / 255;
  return y << 24 | u << 16 | v << 8 | 0xFF;
}

} // namespace

CImage *makeStampPicture(const OpImage *map, int16_t highlight) {
  if (!map || map->kind != OP_KIND_8)
    return nullptr;
  CImage *picture = cgAllocImage(CG_KIND_YUVA, map->width, map->height);
  if (!picture)
    return nullptr;
  const size_t count = size_t(map->width) * size_t(map->height);
  const uint8_t *bytes = map->pixels;
  uint32_t *out = pixels32(picture);
  for (size_t k = 0; k < count; ++k) {
    // The byte is unsigned and the part index signed, so -1 lights nothing.
    const int b = bytes[k];
    const uint32_t grey = b == highlight ? kHighlightGrey : kPartGrey;
    out[k] = b >= kLineWork ? lineWorkPixel(grey, b) : grey;
  }
  return picture;
}

} // namespace tileron
