#include "raster.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace tileron::masktool {

namespace {

double pointSegmentDistance(double px, double py, const Point &a, const Point &b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double lengthSquared = dx * dx + dy * dy;
  double t = lengthSquared > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / lengthSquared : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (a.x + t * dx), py - (a.y + t * dy));
}

// Marks the pixels whose centre lies inside the polygon (even-odd rule;
// a centre exactly on a rising or falling edge belongs to one side only).
void markInside(const Polygon &polygon, int width, int height, std::vector<uint8_t> &inside) {
  std::vector<double> crossings;
  for (int j = 0; j < height; ++j) {
    const double y = j + 0.5;
    crossings.clear();
    for (std::size_t k = 0; k < polygon.size(); ++k) {
      const Point &a = polygon[k], &b = polygon[(k + 1) % polygon.size()];
      if ((a.y <= y) != (b.y <= y)) crossings.push_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
      // Centres i + 0.5 in [x0, x1).
      const int first = std::max(0, static_cast<int>(std::ceil(crossings[k] - 0.5)));
      const int end = std::min(width, static_cast<int>(std::ceil(crossings[k + 1] - 0.5)));
      for (int i = first; i < end; ++i) inside[static_cast<std::size_t>(j) * width + i] = 1;
    }
  }
}

// Lowers `distance` to the edge's distance for every pixel centre closer
// than `limit`: only the band around the edge is visited.
void edgeDistance(const Point &a, const Point &b, int width, int height, double limit,
                  std::vector<float> &distance) {
  const int rowFirst = std::max(0, static_cast<int>(std::floor(std::min(a.y, b.y) - limit - 0.5)));
  const int rowLast =
      std::min(height - 1, static_cast<int>(std::ceil(std::max(a.y, b.y) + limit - 0.5)));
  for (int j = rowFirst; j <= rowLast; ++j) {
    const double y = j + 0.5;
    // The part of the edge within `limit` rows of this one, then its x range.
    double x0, x1;
    if (a.y == b.y) {
      x0 = std::min(a.x, b.x);
      x1 = std::max(a.x, b.x);
    } else {
      double t0 = (y - limit - a.y) / (b.y - a.y), t1 = (y + limit - a.y) / (b.y - a.y);
      if (t0 > t1) std::swap(t0, t1);
      t0 = std::max(t0, 0.0);
      t1 = std::min(t1, 1.0);
      if (t0 > t1) continue;
      x0 = a.x + t0 * (b.x - a.x);
      x1 = a.x + t1 * (b.x - a.x);
      if (x0 > x1) std::swap(x0, x1);
    }
    const int first = std::max(0, static_cast<int>(std::floor(x0 - limit - 0.5)));
    const int last = std::min(width - 1, static_cast<int>(std::ceil(x1 + limit - 0.5)));
    float *row = distance.data() + static_cast<std::size_t>(j) * width;
    for (int i = first; i <= last; ++i)
      row[i] = std::min(row[i], static_cast<float>(pointSegmentDistance(i + 0.5, y, a, b)));
  }
}

// An edge on or beyond one of the frame's edges is no border inside the frame.
bool onFrameEdge(const Point &a, const Point &b, int width, int height) {
  return (a.x <= 0 && b.x <= 0) || (a.x >= width && b.x >= width) || (a.y <= 0 && b.y <= 0) ||
         (a.y >= height && b.y >= height);
}

std::vector<float> shapeDistance(const Polygon &outline, int width, int height, double limit) {
  Polygon pixels;
  for (const Point &p : outline) pixels.push_back({p.x * width, p.y * height});
  const std::size_t count = static_cast<std::size_t>(width) * height;
  std::vector<uint8_t> inside(count, 0);
  markInside(pixels, width, height, inside);
  std::vector<float> distance(count, static_cast<float>(limit));
  for (std::size_t k = 0; k < pixels.size(); ++k) {
    const Point &a = pixels[k], &b = pixels[(k + 1) % pixels.size()];
    if (!onFrameEdge(a, b, width, height)) edgeDistance(a, b, width, height, limit, distance);
  }
  for (std::size_t i = 0; i < count; ++i)
    if (inside[i]) distance[i] = -distance[i];
  return distance;
}

int clampRound(double value, int low, int high) {
  return std::clamp(static_cast<int>(std::lround(value)), low, high);
}

// Which part each stamp pixel shows: the first part holding its centre, or
// the nearest part for a centre in none.
std::vector<int> stampParts(const MaskDescription &mask) {
  const std::size_t count = static_cast<std::size_t>(mask.stampWidth) * mask.stampHeight;
  const double limit = std::hypot(mask.stampWidth, mask.stampHeight);
  std::vector<int> owner(count, 0);
  std::vector<float> best(count, std::numeric_limits<float>::infinity());
  std::vector<uint8_t> taken(count, 0);
  for (std::size_t p = 0; p < mask.parts.size(); ++p) {
    const std::vector<float> d = partDistance(mask.parts[p], mask.stampWidth, mask.stampHeight, limit);
    for (std::size_t i = 0; i < count; ++i) {
      if (taken[i]) continue;
      if (d[i] < 0) {
        owner[i] = static_cast<int>(p);
        taken[i] = 1;
      } else if (d[i] < best[i]) {
        best[i] = d[i];
        owner[i] = static_cast<int>(p);
      }
    }
  }
  return owner;
}

// The pixel of `part` on the stamp map farthest from the region's border
// (chamfer distance 3-4; the map's edge counts as border), ties going to the
// one nearest the region's centre. False when the part has no pixel.
bool markerPosition(const GreyImage &stamp, int part, int &x, int &y) {
  const int w = stamp.width, h = stamp.height;
  std::vector<int> d(static_cast<std::size_t>(w) * h, 0);
  double sumX = 0, sumY = 0;
  int pixels = 0;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      if (stamp.pixels[static_cast<std::size_t>(j) * w + i] == part) {
        d[static_cast<std::size_t>(j) * w + i] = std::numeric_limits<int>::max() / 2;
        sumX += i;
        sumY += j;
        ++pixels;
      }
  if (pixels == 0) return false;
  auto at = [&](int i, int j) { return i < 0 || j < 0 || i >= w || j >= h ? 0 : d[static_cast<std::size_t>(j) * w + i]; };
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      int &v = d[static_cast<std::size_t>(j) * w + i];
      v = std::min({v, at(i - 1, j) + 3, at(i, j - 1) + 3, at(i - 1, j - 1) + 4, at(i + 1, j - 1) + 4});
    }
  for (int j = h - 1; j >= 0; --j)
    for (int i = w - 1; i >= 0; --i) {
      int &v = d[static_cast<std::size_t>(j) * w + i];
      v = std::min({v, at(i + 1, j) + 3, at(i, j + 1) + 3, at(i + 1, j + 1) + 4, at(i - 1, j + 1) + 4});
    }
  const double cx = sumX / pixels, cy = sumY / pixels;
  int bestDistance = -1;
  double bestSpread = 0;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      const int v = d[static_cast<std::size_t>(j) * w + i];
      const double spread = (i - cx) * (i - cx) + (j - cy) * (j - cy);
      if (v > bestDistance || (v == bestDistance && spread < bestSpread)) {
        bestDistance = v;
        bestSpread = spread;
        x = i;
        y = j;
      }
    }
  return true;
}

} // namespace

std::vector<float> partDistance(const PartDescription &part, int width, int height, double limit) {
  const std::size_t count = static_cast<std::size_t>(width) * height;
  const auto far = static_cast<float>(limit);
  // Union of the added shapes, less the union of the cut ones.
  std::vector<float> added(count, far), cut(count, far);
  for (const Shape &shape : part.shapes) {
    const std::vector<float> d = shapeDistance(shape.outline, width, height, limit);
    std::vector<float> &into = shape.cut ? cut : added;
    for (std::size_t i = 0; i < count; ++i) into[i] = std::min(into[i], d[i]);
  }
  for (std::size_t i = 0; i < count; ++i) added[i] = std::max(added[i], -cut[i]);
  return added;
}

BuiltMask buildMask(const MaskDescription &mask) {
  const int width = mask.width, height = mask.height;
  // The soft edge runs linearly from 0 to 255 across `soft` pixels centred on
  // the border; 1 pixel at least, which is plain anti-aliasing.
  const double soft = std::max(mask.soft, 1.0);
  const double limit = soft / 2 + 1;
  BuiltMask built;

  for (std::size_t p = 0; p < mask.parts.size(); ++p) {
    const PartDescription &part = mask.parts[p];
    BuiltPart out;
    out.shape = {width, height, std::vector<uint8_t>(static_cast<std::size_t>(width) * height)};
    const std::vector<float> d = partDistance(part, width, height, limit);
    bool covers = false;
    for (int j = 0; j < height; ++j)
      for (int i = 0; i < width; ++i) {
        const std::size_t k = static_cast<std::size_t>(j) * width + i;
        const int value = clampRound(255.0 * (0.5 + d[k] / soft), 0, 255);
        out.shape.pixels[k] = static_cast<uint8_t>(value);
        covers = covers || value < 128;
      }
    if (!covers)
      throw std::runtime_error("part " + std::to_string(p) + " (line " + std::to_string(part.line) +
                               ") covers no pixel of the frame");
    if (part.box) {
      out.centerX = clampRound(part.box->centerX * width, -32768, 32767);
      out.centerY = clampRound(part.box->centerY * height, -32768, 32767);
      out.width = clampRound(part.box->width * width, 1, 32767);
      out.height = clampRound(part.box->height * height, 1, 32767);
    } else {
      // The added shapes' extent within the frame, out to whole pixels.
      double x0 = width, y0 = height, x1 = 0, y1 = 0;
      for (const Shape &shape : part.shapes)
        for (const Point &q : shape.outline)
          if (!shape.cut) {
            x0 = std::min(x0, q.x * width);
            x1 = std::max(x1, q.x * width);
            y0 = std::min(y0, q.y * height);
            y1 = std::max(y1, q.y * height);
          }
      // The tolerance keeps 1/3 x 720 = 240.00000000000003 on pixel 240.
      const int boxLeft = std::clamp(static_cast<int>(std::floor(x0 + 1e-6)), 0, width);
      const int boxRight = std::clamp(static_cast<int>(std::ceil(x1 - 1e-6)), 0, width);
      const int boxTop = std::clamp(static_cast<int>(std::floor(y0 + 1e-6)), 0, height);
      const int boxBottom = std::clamp(static_cast<int>(std::ceil(y1 - 1e-6)), 0, height);
      out.centerX = (boxLeft + boxRight) / 2;
      out.centerY = (boxTop + boxBottom) / 2;
      out.width = std::max(boxRight - boxLeft, 1);
      out.height = std::max(boxBottom - boxTop, 1);
    }
    // The smallest whole percent whose picture is as wide and as high as the box.
    const int cover = std::max((100 * out.width + width - 1) / width, (100 * out.height + height - 1) / height);
    out.scale = part.scale.value_or(std::clamp(cover, 10, 200));
    built.parts.push_back(std::move(out));
  }

  for (const BarLine &bar : mask.bars)
    built.bars.push_back({clampRound(bar.from.x * width, 0, width - 1),
                          clampRound(bar.from.y * height, 0, height - 1),
                          clampRound(bar.to.x * width, 0, width - 1),
                          clampRound(bar.to.y * height, 0, height - 1)});

  // Stamp map: part indexes, and the bars as thin white lines over them.
  const int sw = mask.stampWidth, sh = mask.stampHeight;
  const std::vector<int> owner = stampParts(mask);
  built.stamp = {sw, sh, std::vector<uint8_t>(static_cast<std::size_t>(sw) * sh)};
  const double toStampX = static_cast<double>(sw) / width, toStampY = static_cast<double>(sh) / height;
  for (int j = 0; j < sh; ++j)
    for (int i = 0; i < sw; ++i) {
      double line = 0;
      for (const BuiltBar &bar : built.bars) {
        const double d = pointSegmentDistance(i + 0.5, j + 0.5, {bar.left * toStampX, bar.top * toStampY},
                                              {bar.right * toStampX, bar.bottom * toStampY});
        line = std::max(line, std::clamp(1.25 - d, 0.0, 1.0));
      }
      const int value = clampRound(255.0 * line, 0, 255);
      const std::size_t k = static_cast<std::size_t>(j) * sw + i;
      built.stamp.pixels[k] = static_cast<uint8_t>(value >= kStampLineWork ? value : owner[k]);
    }

  for (std::size_t p = 0; p < mask.parts.size(); ++p) {
    BuiltPart &out = built.parts[p];
    if (const auto &marker = mask.parts[p].marker) {
      out.markerX = std::clamp(static_cast<int>(marker->x * sw), 1, sw - 1);
      out.markerY = std::clamp(static_cast<int>(marker->y * sh), 0, sh - 1);
    } else if (!markerPosition(built.stamp, static_cast<int>(p), out.markerX, out.markerY)) {
      throw std::runtime_error("part " + std::to_string(p) + " (line " +
                               std::to_string(mask.parts[p].line) +
                               ") does not show on the stamp map; make it larger or the map finer");
    }
    out.markerX = std::max(out.markerX, 1); // x 0 would mean "no marker"
  }
  return built;
}

} // namespace tileron::masktool
