#include "sheet.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/images/yuv.hpp"
#include "session.hpp"

namespace tileron::maskstool {

namespace {

constexpr int kPad = 10;            // around each cell's picture
constexpr int kTextGap = 6;         // between picture and title
constexpr int kTitleLines = 2;      // a longer title is cut with an ellipsis
constexpr int kEmptyWidth = 150, kEmptyHeight = 84; // frame of an entry without picture
constexpr vxhost::Rgba kBackground{32, 32, 32, 255}, kText{230, 230, 230, 255},
    kFrame{96, 96, 96, 255}, kNumber{255, 255, 255, 255}, kNumberOutline{0, 0, 0, 255};

// UTF-16 code units to code points (a lone surrogate becomes U+FFFD).
std::u32string codePoints(const std::vector<xchar> &title) {
  std::u32string out;
  for (std::size_t i = 0; i < title.size() && title[i] != 0; ++i) {
    const char32_t unit = title[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < title.size() && title[i + 1] >= 0xDC00 &&
        title[i + 1] < 0xE000) {
      out += 0x10000 + ((unit - 0xD800) << 10) + (title[i + 1] - 0xDC00);
      ++i;
    } else {
      out += (unit >= 0xD800 && unit < 0xE000) ? U'\uFFFD' : unit;
    }
  }
  return out;
}

class TextPainter {
public:
  TextPainter(const std::filesystem::path &font, int size) {
    if (FT_Init_FreeType(&library_) != 0) throw std::runtime_error("FreeType cannot start");
    if (FT_New_Face(library_, font.c_str(), 0, &face_) != 0) {
      FT_Done_FreeType(library_);
      throw std::runtime_error("cannot load the font " + font.string());
    }
    FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(size));
    ascender_ = static_cast<int>(face_->size->metrics.ascender >> 6);
    lineHeight_ = static_cast<int>(face_->size->metrics.height >> 6);
  }
  ~TextPainter() {
    FT_Done_Face(face_);
    FT_Done_FreeType(library_);
  }
  TextPainter(const TextPainter &) = delete;
  TextPainter &operator=(const TextPainter &) = delete;

  int lineHeight() const { return lineHeight_; }
  int ascender() const { return ascender_; }

  int width(const std::u32string &text) const {
    int pen = 0;
    for (const char32_t c : text)
      if (FT_Load_Char(face_, c, FT_LOAD_DEFAULT) == 0) pen += static_cast<int>(face_->glyph->advance.x >> 6);
    return pen;
  }

  // Draws `text` in `colour` with its top at `top`, blending by the glyphs'
  // coverage.
  void draw(vxhost::RgbaPicture &picture, int x, int top, const std::u32string &text,
            vxhost::Rgba colour = kText) const {
    const int baseline = top + ascender_;
    for (const char32_t c : text) {
      if (FT_Load_Char(face_, c, FT_LOAD_RENDER) != 0) continue;
      const FT_GlyphSlot glyph = face_->glyph;
      const FT_Bitmap &bitmap = glyph->bitmap;
      for (unsigned row = 0; row < bitmap.rows; ++row)
        for (unsigned col = 0; col < bitmap.width; ++col) {
          const int px = x + glyph->bitmap_left + static_cast<int>(col);
          const int py = baseline - glyph->bitmap_top + static_cast<int>(row);
          if (px < 0 || py < 0 || px >= picture.width || py >= picture.height) continue;
          const int a = bitmap.buffer[row * static_cast<unsigned>(bitmap.pitch) + col];
          uint8_t *p = &picture.pixels[(static_cast<std::size_t>(py) * picture.width + px) * 4];
          const uint8_t rgb[3] = {colour.r, colour.g, colour.b};
          for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>((rgb[k] * a + p[k] * (255 - a)) / 255);
        }
      x += static_cast<int>(glyph->advance.x >> 6);
    }
  }

  // Breaks `text` at blanks into lines no wider than `maxWidth`; at most
  // kTitleLines, the last cut with an ellipsis when the rest does not fit.
  std::vector<std::u32string> wrap(const std::u32string &text, int maxWidth) const {
    std::vector<std::u32string> lines;
    std::u32string line;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find(U' ', start);
      if (end == std::u32string::npos) end = text.size();
      const std::u32string word = text.substr(start, end - start);
      const std::u32string joined = line.empty() ? word : line + U" " + word;
      if (width(joined) <= maxWidth || line.empty()) {
        line = joined;
      } else {
        lines.push_back(line);
        line = word;
      }
      start = end + 1;
    }
    if (!line.empty()) lines.push_back(line);
    const bool cut = lines.size() > static_cast<std::size_t>(kTitleLines);
    if (cut) lines.resize(kTitleLines);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::u32string &l = lines[i];
      if (!(cut && i + 1 == lines.size()) && width(l) <= maxWidth) continue;
      while (!l.empty() && width(l + U"\u2026") > maxWidth) l.pop_back();
      l += U"\u2026";
    }
    return lines;
  }

private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  int ascender_ = 0, lineHeight_ = 0;
};

void fill(vxhost::RgbaPicture &picture, int x, int y, int w, int h, vxhost::Rgba colour) {
  for (int j = std::max(y, 0); j < std::min(y + h, picture.height); ++j)
    for (int i = std::max(x, 0); i < std::min(x + w, picture.width); ++i) {
      uint8_t *p = &picture.pixels[(static_cast<std::size_t>(j) * picture.width + i) * 4];
      p[0] = colour.r, p[1] = colour.g, p[2] = colour.b, p[3] = colour.a;
    }
}

// The part numbers as the user counts them (part 1 first), each centred on
// the part's marker position and outlined in black so that it reads on the
// light and the dark parts of a stamp picture.
void drawPartNumbers(vxhost::RgbaPicture &sheet, const TextPainter &painter, const MaskInfo &entry,
                     int x, int y) {
  const std::vector<std::pair<int, int>> markers = partMarkers(entry.path);
  for (std::size_t i = 0; i < markers.size(); ++i) {
    const auto [mx, my] = markers[i];
    if (mx <= 0 || my < 0 || mx >= entry.thumbnail->width || my >= entry.thumbnail->height) continue;
    const std::string digits = std::to_string(i + 1);
    const std::u32string text(digits.begin(), digits.end());
    const int left = x + mx - painter.width(text) / 2, top = y + my - painter.ascender() / 2 - 1;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (dx != 0 || dy != 0) painter.draw(sheet, left + dx, top + dy, text, kNumberOutline);
    painter.draw(sheet, left, top, text, kNumber);
  }
}

} // namespace

vxhost::RgbaPicture contactSheet(const MaskCatalogue &catalogue, const SheetOptions &options) {
  std::vector<const MaskInfo *> entries;
  for (const MaskInfo *e = firstMask(catalogue); e != nullptr; e = nextMask(*e)) entries.push_back(e);
  if (entries.empty()) throw std::runtime_error("the catalogue holds no mask");
  const TextPainter painter(options.font, options.fontSize);

  int pictureWidth = kEmptyWidth, pictureHeight = kEmptyHeight;
  for (const MaskInfo *e : entries)
    if (e->thumbnail) {
      pictureWidth = std::max<int>(pictureWidth, e->thumbnail->width);
      pictureHeight = std::max<int>(pictureHeight, e->thumbnail->height);
    }
  const int cellWidth = pictureWidth + 2 * kPad;
  const int cellHeight = kPad + pictureHeight + kTextGap + kTitleLines * painter.lineHeight() + kPad;
  const int columns = std::clamp(options.columns, 1, static_cast<int>(entries.size()));
  const int rows = (static_cast<int>(entries.size()) + columns - 1) / columns;

  vxhost::RgbaPicture sheet;
  sheet.width = columns * cellWidth;
  sheet.height = rows * cellHeight;
  sheet.pixels.resize(static_cast<std::size_t>(sheet.width) * sheet.height * 4);
  fill(sheet, 0, 0, sheet.width, sheet.height, kBackground);

  for (std::size_t n = 0; n < entries.size(); ++n) {
    const MaskInfo &entry = *entries[n];
    const int cellX = static_cast<int>(n % columns) * cellWidth;
    const int cellY = static_cast<int>(n / columns) * cellHeight;
    const int w = entry.thumbnail ? entry.thumbnail->width : kEmptyWidth;
    const int h = entry.thumbnail ? entry.thumbnail->height : kEmptyHeight;
    const int x = cellX + (cellWidth - w) / 2, y = cellY + kPad + (pictureHeight - h) / 2;
    fill(sheet, x - 1, y - 1, w + 2, h + 2, kFrame);
    if (entry.thumbnail) {
      const auto *pixels = reinterpret_cast<const uint32_t *>(entry.thumbnail->pixels);
      for (int j = 0; j < h; ++j)
        vxhost::yuvaRowToRgba(pixels + static_cast<std::size_t>(j) * w,
                              &sheet.pixels[(static_cast<std::size_t>(y + j) * sheet.width + x) * 4],
                              static_cast<std::size_t>(w));
      drawPartNumbers(sheet, painter, entry, x, y);
    } else {
      fill(sheet, x, y, w, h, kBackground);
    }
    const std::vector<std::u32string> lines = painter.wrap(codePoints(entry.title), cellWidth - 4);
    int top = cellY + kPad + pictureHeight + kTextGap;
    for (const std::u32string &line : lines) {
      painter.draw(sheet, cellX + (cellWidth - painter.width(line)) / 2, top, line);
      top += painter.lineHeight();
    }
  }
  return sheet;
}

} // namespace tileron::maskstool
