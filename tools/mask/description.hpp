// The mask description: the small text file tileron-mask builds a mask from
// (the format is documented in docs/masks.md). Coordinates are frame-relative:
// (0, 0) is the top-left corner of the frame, (1, 1) its bottom-right corner.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tileron::masktool {

inline constexpr int kMaxParts = 10;
inline constexpr int kMaxBars = 20;

struct Point {
  double x = 0, y = 0;
};
using Polygon = std::vector<Point>;

// One shape of a part: curves are already turned into polygons.
struct Shape {
  Polygon outline;
  bool cut = false; // removed from the part instead of added
};

struct Box {
  double centerX = 0, centerY = 0, width = 0, height = 0;
};

struct PartDescription {
  std::vector<Shape> shapes;
  std::optional<Box> box;       // default: the bounding box of the part's pixels
  std::optional<int> scale;     // default: the smallest scale that covers the box
  std::optional<Point> marker;  // default: the point of the part farthest from its border
  int line = 0;                 // where the part starts, for messages
};

// A bar: a straight line from `from` to `to`.
struct BarLine {
  Point from, to;
};

struct MaskDescription {
  int width = 720, height = 576;           // shape images
  int stampWidth = 150, stampHeight = 84;  // stamp map
  double soft = 2.0;                       // soft-edge width in shape pixels
  std::vector<std::pair<std::string, std::string>> titles; // language, title
  std::vector<PartDescription> parts;
  std::vector<BarLine> bars;
};

// Parses a description; `source` names it in messages. Throws
// std::runtime_error("source:line: what is wrong") for any error.
MaskDescription parseDescription(const std::string &text, const std::string &source);

// Vertices of the curves, frame-relative; `segments` points around.
Polygon ellipseOutline(double cx, double cy, double rx, double ry, int segments);
Polygon heartOutline(double cx, double cy, double width, double height, int segments);

} // namespace tileron::masktool
