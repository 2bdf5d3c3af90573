#include "host/gui/surface.hpp"

#include <algorithm>
#include <cstddef>
#include <cmath>
#include <cstring>

namespace vxhost::gui {

Rect Rect::intersect(const Rect &o) const {
  const int x0 = std::max(x, o.x), y0 = std::max(y, o.y);
  const int x1 = std::min(right(), o.right()), y1 = std::min(bottom(), o.bottom());
  if (x1 <= x0 || y1 <= y0)
    return {};
  return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::unite(const Rect &o) const {
  if (o.empty())
    return *this;
  if (empty())
    return o;
  const int x0 = std::min(x, o.x), y0 = std::min(y, o.y);
  return {x0, y0, std::max(right(), o.right()) - x0, std::max(bottom(), o.bottom()) - y0};
}

uint32_t over(uint32_t s, uint32_t d) {
  const uint32_t a = s & 0xFF;
  if (a == 255)
    return s;
  if (a == 0)
    return d;
  uint32_t out = a + ((d & 0xFF) * (255 - a) + 127) / 255;
  for (int shift = 8; shift < 32; shift += 8) {
    const uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
    out |= ((sc * a + dc * (255 - a) + 127) / 255) << shift;
  }
  return out;
}

void Surface::resize(int w, int h, uint32_t fill) {
  width = std::max(w, 0);
  height = std::max(h, 0);
  pixels.assign(size_t(width) * size_t(height), fill);
}

void fillRect(Surface &s, const Rect &clip, const Rect &area, uint32_t word) {
  const Rect r = area.intersect(clip).intersect(s.bounds());
  for (int y = r.y; y < r.bottom(); ++y)
    std::fill_n(s.row(y) + r.x, r.w, word);
}

void blendRect(Surface &s, const Rect &clip, const Rect &area, uint32_t word) {
  if ((word & 0xFF) == 255)
    return fillRect(s, clip, area, word);
  const Rect r = area.intersect(clip).intersect(s.bounds());
  for (int y = r.y; y < r.bottom(); ++y) {
    uint32_t *p = s.row(y) + r.x;
    for (int i = 0; i < r.w; ++i)
      p[i] = over(word, p[i]);
  }
}

void frameRect(Surface &s, const Rect &clip, const Rect &a, uint32_t light, uint32_t dark) {
  if (a.empty())
    return;
  blendRect(s, clip, {a.x, a.y, a.w, 1}, light);
  blendRect(s, clip, {a.x, a.y + 1, 1, a.h - 1}, light);
  blendRect(s, clip, {a.x + 1, a.bottom() - 1, a.w - 1, 1}, dark);
  blendRect(s, clip, {a.right() - 1, a.y + 1, 1, a.h - 2}, dark);
}

void fillRounded(Surface &s, const Rect &clip, const Rect &area, int radius, uint32_t word) {
  radius = std::clamp(radius, 0, std::min(area.w, area.h) / 2);
  if (radius == 0)
    return blendRect(s, clip, area, word);
  const Rect r = area.intersect(clip).intersect(s.bounds());
  const float rad = float(radius);
  for (int y = r.y; y < r.bottom(); ++y) {
    uint32_t *p = s.row(y);
    // Distance of the pixel centre into the corner square, 0 outside it.
    const float cy = y < area.y + radius ? float(area.y + radius - y) - 0.5f
                     : y >= area.bottom() - radius ? float(y - (area.bottom() - radius)) + 0.5f
                                                   : 0.f;
    for (int x = r.x; x < r.right(); ++x) {
      const float cx = x < area.x + radius ? float(area.x + radius - x) - 0.5f
                       : x >= area.right() - radius ? float(x - (area.right() - radius)) + 0.5f
                                                    : 0.f;
      if (cx == 0.f || cy == 0.f) {
        p[x] = over(word, p[x]);
        continue;
      }
      const float cover = std::clamp(rad - std::sqrt(cx * cx + cy * cy) + 0.5f, 0.f, 1.f);
      if (cover > 0.f)
        p[x] = over(withCoverage(word, uint32_t(cover * 255.f + 0.5f)), p[x]);
    }
  }
}

void blendPicture(Surface &s, const Rect &clip, int x, int y, const uint32_t *pixels, int width, int height,
                  int stride) {
  const Rect r = Rect{x, y, width, height}.intersect(clip).intersect(s.bounds());
  for (int row = r.y; row < r.bottom(); ++row) {
    uint32_t *d = s.row(row) + r.x;
    const uint32_t *src = pixels + ptrdiff_t(row - y) * stride + (r.x - x);
    for (int i = 0; i < r.w; ++i)
      d[i] = over(src[i], d[i]);
  }
}

void copyPicture(Surface &s, const Rect &clip, int x, int y, const uint32_t *pixels, int width, int height,
                 int stride) {
  const Rect r = Rect{x, y, width, height}.intersect(clip).intersect(s.bounds());
  for (int row = r.y; row < r.bottom(); ++row)
    std::memcpy(s.row(row) + r.x, pixels + ptrdiff_t(row - y) * stride + (r.x - x), size_t(r.w) * 4);
}

} // namespace vxhost::gui
