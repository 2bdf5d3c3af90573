#include "host/gui/font.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdlib>

#include "host/log/logger.hpp"

namespace vxhost::gui {

namespace {

// Debian's fonts-dejavu-core; VXHOST_FONT names another TrueType file.
const char *fontPath() {
  const char *env = std::getenv("VXHOST_FONT");
  return env && *env ? env : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
}

} // namespace

struct Font::Face {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Face() {
    if (face)
      FT_Done_Face(face);
    if (library)
      FT_Done_FreeType(library);
  }
};

Font::Font(int pixelSize) : face_(std::make_unique<Face>()), pixelSize_(pixelSize) {
  if (FT_Init_FreeType(&face_->library) != 0) {
    hostLog(kLogError, __LINE__, "GUI: FreeType cannot start: no text is drawn");
    face_.reset();
    return;
  }
  if (FT_New_Face(face_->library, fontPath(), 0, &face_->face) != 0) {
    hostLog(kLogError, __LINE__, "GUI: cannot open the font %s: no text is drawn", fontPath());
    face_.reset();
    return;
  }
  FT_Set_Pixel_Sizes(face_->face, 0, FT_UInt(pixelSize));
  ascender_ = int(face_->face->size->metrics.ascender >> 6);
  lineHeight_ = int((face_->face->size->metrics.ascender - face_->face->size->metrics.descender) >> 6);
}

Font::~Font() = default;

const Font::Glyph &Font::glyph(char32_t c) {
  auto it = glyphs_.find(c);
  if (it != glyphs_.end())
    return it->second;
  Glyph g;
  if (face_ && FT_Load_Char(face_->face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) == 0) {
    const FT_GlyphSlot slot = face_->face->glyph;
    const FT_Bitmap &bitmap = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = int(bitmap.width);
    g.height = int(bitmap.rows);
    g.advance = int((slot->advance.x + 32) >> 6);
    g.coverage.resize(size_t(g.width) * size_t(g.height));
    for (int row = 0; row < g.height; ++row)
      std::copy_n(bitmap.buffer + ptrdiff_t(row) * bitmap.pitch, g.width, g.coverage.data() + size_t(row) * size_t(g.width));
  }
  return glyphs_.emplace(c, std::move(g)).first->second;
}

int Font::width(std::u16string_view text) {
  int pen = 0;
  for (char32_t c : codePoints(text))
    pen += glyph(c).advance;
  return pen;
}

void Font::draw(Surface &s, const Rect &clip, int x, int top, std::u16string_view text, uint32_t colour) {
  const Rect area = clip.intersect(s.bounds());
  const int baseline = top + ascender_;
  for (char32_t c : codePoints(text)) {
    const Glyph &g = glyph(c);
    const int gx = x + g.left, gy = baseline - g.top;
    const Rect r = Rect{gx, gy, g.width, g.height}.intersect(area);
    for (int y = r.y; y < r.bottom(); ++y) {
      uint32_t *p = s.row(y);
      const uint8_t *cov = g.coverage.data() + size_t(y - gy) * size_t(g.width) - size_t(gx);
      for (int px = r.x; px < r.right(); ++px)
        if (cov[px])
          p[px] = over(withCoverage(colour, cov[px]), p[px]);
    }
    x += g.advance;
  }
}

std::u16string Font::fit(std::u16string_view text, int maxWidth) {
  if (width(text) <= maxWidth)
    return std::u16string(text);
  std::u16string cut(text);
  while (!cut.empty() && width(cut + u"\u2026") > maxWidth)
    cut.pop_back();
  return cut + u"\u2026";
}

std::u32string codePoints(std::u16string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char32_t unit = text[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      out += 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else {
      out += (unit >= 0xD800 && unit < 0xE000) ? U'\uFFFD' : unit;
    }
  }
  return out;
}

std::u16string xcharText(const uint16_t *text) {
  std::u16string out;
  if (text)
    for (; *text; ++text)
      out += char16_t(*text);
  return out;
}

} // namespace vxhost::gui
