// A small anti-aliased canvas for drawing icons: shapes are point tests,
// covered by 4 x 4 samples per pixel, laid over each other with alpha.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "host/media/png.hpp"

namespace resgen {

struct Colour {
  float r, g, b, a = 1.0f; // 0..1, straight alpha
};

inline constexpr Colour kWhite{1.0f, 1.0f, 1.0f};
inline constexpr Colour kLight{0.86f, 0.87f, 0.89f};
inline constexpr Colour kGrey{0.55f, 0.57f, 0.60f};
inline constexpr Colour kDark{0.12f, 0.12f, 0.14f};
inline constexpr Colour kAccent{1.0f, 0.69f, 0.13f};
inline constexpr Colour kGreen{0.20f, 0.78f, 0.30f};
inline constexpr Colour kRed{0.90f, 0.22f, 0.18f};

// A shape: true where the point (x, y) lies inside. Pixel (i, j) spans
// [i, i + 1) x [j, j + 1).
using Shape = std::function<bool(float x, float y)>;

inline Shape circle(float cx, float cy, float r) {
  return [=](float x, float y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

inline Shape ring(float cx, float cy, float r, float width) {
  return [=](float x, float y) {
    const float d = std::hypot(x - cx, y - cy);
    return d <= r && d >= r - width;
  };
}

inline Shape rect(float x0, float y0, float x1, float y1) {
  return [=](float x, float y) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; };
}

// The outline of a rectangle, `width` thick, inside its bounds.
inline Shape frame(float x0, float y0, float x1, float y1, float width) {
  return [=](float x, float y) {
    return x >= x0 && x <= x1 && y >= y0 && y <= y1 &&
           (x < x0 + width || x > x1 - width || y < y0 + width || y > y1 - width);
  };
}

// A line from (x0, y0) to (x1, y1), `width` thick, with round ends.
inline Shape line(float x0, float y0, float x1, float y1, float width) {
  return [=](float x, float y) {
    const float dx = x1 - x0, dy = y1 - y0;
    const float len2 = dx * dx + dy * dy;
    float t = len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    const float px = x0 + t * dx - x, py = y0 + t * dy - y;
    return px * px + py * py <= width * width / 4;
  };
}

// A convex or concave polygon (even-odd rule).
inline Shape polygon(std::vector<std::pair<float, float>> points) {
  return [points = std::move(points)](float x, float y) {
    bool inside = false;
    for (size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
      const auto [xi, yi] = points[i];
      const auto [xj, yj] = points[j];
      if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
        inside = !inside;
    }
    return inside;
  };
}

inline Shape unite(Shape a, Shape b) {
  return [=](float x, float y) { return a(x, y) || b(x, y); };
}

class Canvas {
public:
  Canvas(int width, int height)
      : width_(width), height_(height), pixels_(size_t(width) * size_t(height) * 4, 0.0f) {}

  int width() const { return width_; }
  int height() const { return height_; }

  // Lays `colour` over the canvas where `shape` covers it.
  void fill(const Shape &shape, Colour colour) {
    for (int j = 0; j < height_; ++j)
      for (int i = 0; i < width_; ++i) {
        int hits = 0;
        for (int sy = 0; sy < 4; ++sy)
          for (int sx = 0; sx < 4; ++sx)
            hits += shape(float(i) + (float(sx) + 0.5f) / 4.0f, float(j) + (float(sy) + 0.5f) / 4.0f);
        if (hits == 0)
          continue;
        const float a = colour.a * float(hits) / 16.0f;
        float *p = &pixels_[(size_t(j) * size_t(width_) + size_t(i)) * 4];
        // Premultiplied "over".
        p[0] = colour.r * a + p[0] * (1 - a);
        p[1] = colour.g * a + p[1] * (1 - a);
        p[2] = colour.b * a + p[2] * (1 - a);
        p[3] = a + p[3] * (1 - a);
      }
  }

  // Draws `shape` in `colour` with a dark rim `rim` pixels wide around it,
  // so that it stands out on any background.
  void outlined(const Shape &shape, Colour colour, float rim = 1.0f) {
    fill([&](float x, float y) {
      for (float dy : {-rim, 0.0f, rim})
        for (float dx : {-rim, 0.0f, rim})
          if (shape(x + dx, y + dy))
            return true;
      return false;
    }, kDark);
    fill(shape, colour);
  }

  // The canvas as 8-bit RGBA with straight alpha.
  vxhost::RgbaImage picture() const {
    vxhost::RgbaImage out;
    out.width = width_;
    out.height = height_;
    out.pixels.resize(pixels_.size());
    for (size_t i = 0; i < pixels_.size(); i += 4) {
      const float a = pixels_[i + 3];
      for (int c = 0; c < 3; ++c)
        out.pixels[i + size_t(c)] =
            a > 0 ? static_cast<uint8_t>(std::lround(std::clamp(pixels_[i + size_t(c)] / a, 0.0f, 1.0f) * 255))
                  : 0;
      out.pixels[i + 3] = static_cast<uint8_t>(std::lround(std::clamp(a, 0.0f, 1.0f) * 255));
    }
    return out;
  }

private:
  int width_, height_;
  std::vector<float> pixels_; // premultiplied R, G, B, A
};

} // namespace resgen
