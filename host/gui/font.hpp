// The toolkit's text: DejaVu Sans through FreeType, anti-aliased, drawn onto
// panel surfaces from UTF-16 strings.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/gui/surface.hpp"

namespace vxhost::gui {

class Font {
public:
  // Opens the font at `pixelSize` (the em size). A font that cannot be opened
  // leaves the object usable: it measures and draws nothing (logged once).
  explicit Font(int pixelSize);
  ~Font();
  Font(const Font &) = delete;
  Font &operator=(const Font &) = delete;

  int pixelSize() const { return pixelSize_; }
  int ascender() const { return ascender_; }
  int lineHeight() const { return lineHeight_; }
  // Width in pixels of one line of text.
  int width(std::u16string_view text);
  // Draws one line with its top at `top`, each glyph laid over the surface by
  // its coverage in `colour` (a YUVA word).
  void draw(Surface &s, const Rect &clip, int x, int top, std::u16string_view text, uint32_t colour);
  // The text cut to `maxWidth` pixels, with "…" where it was cut.
  std::u16string fit(std::u16string_view text, int maxWidth);

private:
  struct Glyph {
    int left = 0, top = 0, width = 0, height = 0, advance = 0;
    std::vector<uint8_t> coverage;
  };
  const Glyph &glyph(char32_t c);

  struct Face;
  std::unique_ptr<Face> face_;
  int pixelSize_;
  int ascender_ = 0, lineHeight_ = 0;
  std::map<char32_t, Glyph> glyphs_;
};

// UTF-16 code units to code points (a lone surrogate becomes U+FFFD).
std::u32string codePoints(std::u16string_view text);

// The UTF-16 text of a NUL-ended xchar string; null gives "".
std::u16string xcharText(const uint16_t *text);

} // namespace vxhost::gui
