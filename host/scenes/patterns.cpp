// The built-in clips. They are computed in integers from the frame number
// alone, so that every run and every machine gives the same bytes.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "host/media/yuv.hpp"
#include "host/scenes/sources.hpp"

namespace vxhost {
namespace {

constexpr uint32_t black = packYuva(16, 128, 128);
constexpr uint32_t white = packYuva(235, 128, 128);

// 5 x 7 digits, one row per byte, bit 4 the leftmost column.
constexpr std::array<std::array<uint8_t, 7>, 10> digitRows = {{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
}};

void fillRect(std::vector<uint32_t> &frame, int width, int height, int x0, int y0, int w, int h,
              uint32_t colour) {
  const int left = std::max(0, x0), right = std::min(width, x0 + w);
  if (left >= right)
    return;
  for (int y = std::max(0, y0); y < std::min(height, y0 + h); ++y)
    std::fill_n(frame.begin() + ptrdiff_t{y} * width + left, right - left, colour);
}

// The frame number in white digits on a black box at the top left; a digit
// cell is 6 x 9 units, and a unit is 1/60 of the frame height (at least 1 pixel).
void drawCounter(std::vector<uint32_t> &frame, int width, int height, int number) {
  const std::string digits = std::to_string(number);
  const int unit = std::max(1, height / 60);
  const int left = 2 * unit, top = 2 * unit;
  fillRect(frame, width, height, left, top, (int(digits.size()) * 6 + 1) * unit, 9 * unit, black);
  for (size_t i = 0; i < digits.size(); ++i) {
    const auto &rows = digitRows[digits[i] - '0'];
    for (int row = 0; row < 7; ++row)
      for (int column = 0; column < 5; ++column)
        if (rows[row] >> (4 - column) & 1)
          fillRect(frame, width, height, left + (int(i) * 6 + 1 + column) * unit, top + (row + 1) * unit,
                   unit, unit, white);
  }
}

// Luma is a triangle wave across the frame that moves 4 pixels right per
// frame; U rises from top to bottom and V from left to right.
void drawGradient(std::vector<uint32_t> &frame, int width, int height, int number) {
  const int half = std::max(1, width / 2);
  const int64_t shift = int64_t{number} * 4;
  // Luma and V depend on the column only: one row of both, then U per line.
  std::vector<uint32_t> row(static_cast<size_t>(width));
  for (int x = 0; x < width; ++x) {
    const int phase = int(((x - shift) % (2 * half) + 2 * half) % (2 * half));
    const int level = phase < half ? phase : 2 * half - phase;
    const uint32_t v = 16 + uint32_t(x * 224 / std::max(1, width - 1));
    row[size_t(x)] = packYuva(16 + uint32_t(level * 219 / half), 0, v);
  }
  for (int y = 0; y < height; ++y) {
    const uint32_t u = (16 + uint32_t(y * 224 / std::max(1, height - 1))) << 16;
    uint32_t *line = frame.data() + size_t(y) * width;
    for (int x = 0; x < width; ++x)
      line[x] = row[size_t(x)] | u;
  }
  drawCounter(frame, width, height, number);
}

// Seven bars of equal width: white, yellow, cyan, green, magenta, red, blue at 75 %.
void drawBars(std::vector<uint32_t> &frame, int width, int height, Matrix matrix) {
  static constexpr int bars[7][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                     {191, 0, 191},   {191, 0, 0},   {0, 0, 191}};
  for (int x = 0; x < width; ++x) {
    const int *rgb = bars[x * 7 / width];
    const uint32_t word = rgbToYuva(rgb[0], rgb[1], rgb[2], matrix);
    for (int y = 0; y < height; ++y)
      frame[size_t(y) * width + x] = word;
  }
}

uint32_t parseColour(const std::string &text, Matrix matrix) {
  int r, g, b;
  if (!parseHexRgb(text, r, g, b))
    throw SourceError("colour \"" + text + "\" is not of the form #RRGGBB");
  return rgbToYuva(r, g, b, matrix);
}

class PatternSource : public ClipSource {
public:
  // A still pattern: `frame` is every frame.
  PatternSource(int length, std::vector<uint32_t> frame) : length_(length), frame_(std::move(frame)) {}
  // The moving gradient, drawn on demand.
  PatternSource(int length, int width, int height, int first)
      : length_(length), width_(width), height_(height), first_(first), moving_(true),
        frame_(size_t(width) * height) {}

  int length() const override { return length_; }

  const uint32_t *frame(int index) override {
    if (index < 0 || index >= length_)
      return nullptr;
    if (moving_ && index != drawn_) {
      drawGradient(frame_, width_, height_, first_ + index);
      drawn_ = index;
    }
    return frame_.data();
  }

private:
  int length_;
  int width_ = 0, height_ = 0;
  int first_ = 0; // the pattern's frame number shown as frame 0
  bool moving_ = false;
  int drawn_ = -1;
  std::vector<uint32_t> frame_;
};

bool startsWith(const std::string &text, const char *prefix) { return text.rfind(prefix, 0) == 0; }

} // namespace

bool isPatternName(const std::string &name) {
  return startsWith(name, "pattern:") || startsWith(name, "colour:") || startsWith(name, "color:");
}

std::shared_ptr<ClipSource> openPattern(const std::string &name, int length, const Format &format, int first) {
  const int width = format.width, height = format.height;
  const Matrix matrix = matrixForHeight(height);
  if (name == "pattern:gradient")
    return std::make_shared<PatternSource>(length, width, height, first);
  std::vector<uint32_t> frame(size_t(width) * height);
  if (name == "pattern:bars") {
    drawBars(frame, width, height, matrix);
  } else if (startsWith(name, "pattern:solid:") || startsWith(name, "colour:") || startsWith(name, "color:")) {
    std::fill(frame.begin(), frame.end(), parseColour(name.substr(name.rfind(':') + 1), matrix));
  } else {
    throw SourceError("unknown pattern \"" + name +
                      "\" (known: pattern:bars, pattern:gradient, pattern:solid:#RRGGBB, colour:#RRGGBB)");
  }
  return std::make_shared<PatternSource>(length, std::move(frame));
}

} // namespace vxhost
