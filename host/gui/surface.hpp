// Pixel surfaces of the panel layer and the plain drawing kernels over them.
// Pixels are YUVA words (0xYYUUVVAA, alpha in the low byte); alpha 0 is
// transparent, so the video plane shows through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vxhost::gui {

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;

  bool empty() const { return w <= 0 || h <= 0; }
  bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  int right() const { return x + w; }  // exclusive
  int bottom() const { return y + h; } // exclusive
  Rect intersect(const Rect &o) const;
  Rect unite(const Rect &o) const; // the bounding box; an empty side is ignored
  Rect moved(int dx, int dy) const { return {x + dx, y + dy, w, h}; }
  bool operator==(const Rect &) const = default;
};

// Lays one YUVA word over another by the upper one's alpha: Y, U and V mix as
// (s * a + d * (255 - a) + 127) / 255, the alpha becomes a + d_a * (255 - a) / 255
// (rounded the same way); a = 255 copies, a = 0 keeps what is below.
uint32_t over(uint32_t upper, uint32_t lower);

// The word with its alpha scaled by coverage / 255 (rounded to nearest).
inline uint32_t withCoverage(uint32_t word, uint32_t coverage) {
  const uint32_t a = ((word & 0xFF) * coverage + 127) / 255;
  return (word & 0xFFFFFF00u) | a;
}

// A picture of width x height words, rows without gaps.
struct Surface {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;

  void resize(int w, int h, uint32_t fill = 0);
  Rect bounds() const { return {0, 0, width, height}; }
  uint32_t *row(int y) { return pixels.data() + size_t(y) * size_t(width); }
  const uint32_t *row(int y) const { return pixels.data() + size_t(y) * size_t(width); }
};

// Replaces the pixels of `area` ∩ `clip` by `word`.
void fillRect(Surface &s, const Rect &clip, const Rect &area, uint32_t word);
// Lays `word` over the pixels of `area` ∩ `clip`.
void blendRect(Surface &s, const Rect &clip, const Rect &area, uint32_t word);
// A one-pixel outline of `area`: top and left in `light`, bottom and right in `dark`.
void frameRect(Surface &s, const Rect &clip, const Rect &area, uint32_t light, uint32_t dark);
// A filled rectangle with corners rounded by `radius` pixels, anti-aliased at the corners.
void fillRounded(Surface &s, const Rect &clip, const Rect &area, int radius, uint32_t word);
// Lays a width x height picture (rows `stride` words apart) over the surface at (x, y).
void blendPicture(Surface &s, const Rect &clip, int x, int y, const uint32_t *pixels, int width, int height,
                  int stride);
// Copies it (alpha included) instead of laying it over.
void copyPicture(Surface &s, const Rect &clip, int x, int y, const uint32_t *pixels, int width, int height,
                 int stride);

} // namespace vxhost::gui
