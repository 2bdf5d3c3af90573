// The composed screen: the video plane, the requests with their panels, an
// open popup list, the help line and the pointer; screenshots of it and of
// the video monitor.
#include <algorithm>

#include "host/settings/settings.hpp"
#include "host/gui/theme.hpp"
#include "host/gui/orvexagui.hpp"
#include "host/gui/toolkit.hpp"
#include "host/media/yuv.hpp"
#include "host/media/png.hpp"

namespace vxhost::gui {

namespace {

// Black in the host's YUVA words.
constexpr uint32_t kBlack = 0x108080FFu;

// The standard pointer, 12 x 19: 'X' outline, '.' fill.
constexpr const char *kArrow[] = {
    "X           ", "XX          ", "X.X         ", "X..X        ", "X...X       ", "X....X      ",
    "X.....X     ", "X......X    ", "X.......X   ", "X........X  ", "X.........X ", "X..........X",
    "X......XXXXX", "X...X..X    ", "X..XX..X    ", "X.X  X..X   ", "XX   X..X   ", "X     X..X  ",
    "      XXXX  "};

void drawArrow(Surface &s, int x, int y) {
  for (int row = 0; row < int(std::size(kArrow)); ++row)
    for (int col = 0; kArrow[row][col]; ++col) {
      const char c = kArrow[row][col];
      if (c != ' ')
        fillRect(s, s.bounds(), {x + col, y + row, 1, 1}, c == 'X' ? theme::rgb(0, 0, 0) : theme::rgb(255, 255, 255));
    }
}

// The busy pointer: a ring with a bright arc, centred on the position.
void drawBusy(Surface &s, int x, int y) {
  fillRounded(s, s.bounds(), {x - 9, y - 9, 18, 18}, 9, theme::rgb(0, 0, 0, 200));
  fillRounded(s, s.bounds(), {x - 7, y - 7, 14, 14}, 7, theme::accent);
  fillRounded(s, s.bounds(), {x - 4, y - 4, 8, 8}, 4, theme::rgb(0, 0, 0, 200));
  fillRect(s, s.bounds(), {x - 1, y - 8, 2, 6}, theme::knob);
}

void drawMenu(Surface &s) {
  const GuiState &g = guiState();
  const Element *e = findElement(g.menu.element);
  if (!e)
    return;
  const Rect &r = g.menu.rect;
  fillRounded(s, s.bounds(), r.moved(2, 3), 6, theme::rgb(0, 0, 0, 120));
  fillRounded(s, s.bounds(), r, 6, theme::borderLight);
  fillRounded(s, s.bounds(), {r.x + 1, r.y + 1, r.w - 2, r.h - 2}, 5, theme::menuBack);
  Font &f = font();
  for (size_t i = 0; i < e->entries.size(); ++i) {
    const Rect row{r.x + 3, r.y + 3 + int(i) * g.menu.rowHeight, r.w - 6, g.menu.rowHeight};
    if (int(i) == g.menu.hovered)
      fillRounded(s, s.bounds(), row, 3, theme::accent);
    if (int32_t(i) == e->value)
      f.draw(s, row, row.x + 4, row.y + (row.h - f.lineHeight()) / 2, u"\u2713", theme::text);
    const std::u16string text = f.fit(e->entries[i], row.w - 26);
    f.draw(s, row, row.x + 20, row.y + (row.h - f.lineHeight()) / 2, text, theme::text);
  }
}

void drawHelpLine(Surface &s) {
  const std::u16string text = helpLine();
  const Element *e = findElement(guiState().hover);
  if (text.empty() || !e)
    return;
  Font &f = font();
  const int R = rowUnit();
  const int w = std::min(s.width, f.width(text) + 20), h = R + 2;
  int y = e->rect.bottom() + 6;
  if (y + h > s.height)
    y = e->rect.y - 6 - h;
  const int x = std::clamp(e->rect.x, 0, std::max(0, s.width - w));
  const Rect box{x, std::max(0, y), w, h};
  fillRounded(s, s.bounds(), box, 5, theme::helpBack);
  fillRect(s, s.bounds(), {box.x + 5, box.bottom() - 2, box.w - 10, 1}, theme::accent);
  f.draw(s, box, box.x + 10, box.y + (box.h - f.lineHeight()) / 2, f.fit(text, w - 20), theme::text);
}

void drawPointer(Surface &s) {
  const PointerState &p = guiState().pointer;
  if (p.virtualOn)
    return; // hidden while it moves relatively
  switch (p.shape) {
  case PointerShape::standard: drawArrow(s, p.x, p.y); break;
  case PointerShape::busy: drawBusy(s, p.x, p.y); break;
  case PointerShape::custom:
    blendPicture(s, s.bounds(), p.x - p.hotX, p.y - p.hotY, p.custom.pixels.data(), p.custom.width, p.custom.height,
                 p.custom.width);
    break;
  }
}

bool writeRgbPng(const std::filesystem::path &path, int width, int height, const uint32_t *words, std::string &error) {
  std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
  for (size_t i = 0, n = size_t(width) * size_t(height); i < n; ++i) {
    const Rgba c = yuvaToRgba(words[i]);
    rgb[3 * i] = c.r, rgb[3 * i + 1] = c.g, rgb[3 * i + 2] = c.b;
  }
  return writePng(path, width, height, 3, rgb.data(), rgb.size(), error);
}

} // namespace

void composeInto(Surface &s, bool withPointer) {
  const GuiState &g = guiState();
  if (g.previewing && !g.previewFrame.pixels.empty()) {
    s = g.previewFrame;
    return;
  }
  const Screen &scr = screen();
  const std::vector<uint32_t> &plane = overlayPlane();
  s.resize(scr.width, scr.height);
  // The video plane is opaque whatever its alpha says; a word never written
  // (the plane starts cleared to 0) shows as black, not as YUV (0, 0, 0).
  for (size_t i = 0; i < s.pixels.size() && i < plane.size(); ++i)
    s.pixels[i] = plane[i] != 0 ? plane[i] | 0xFF : kBlack;
  for (CgHandle h : g.stack) {
    const Request *r = findRequest(h);
    if (!r || r->used.empty())
      continue;
    const Rect u = r->used;
    blendPicture(s, s.bounds(), r->frame.x + u.x, r->frame.y + u.y, r->surface.pixels.data() + size_t(u.y) * size_t(r->surface.width) + size_t(u.x), u.w, u.h,
                 r->surface.width);
  }
  drawMenu(s);
  drawHelpLine(s);
  if (withPointer)
    drawPointer(s);
}

std::vector<uint32_t> composeScreen(bool withPointer) {
  Surface s;
  composeInto(s, withPointer);
  return std::move(s.pixels);
}

bool writeScreenshot(const std::filesystem::path &path, std::string &error) {
  Surface s;
  composeInto(s, true);
  return writeRgbPng(path, s.width, s.height, s.pixels.data(), error);
}

bool writeMonitorPicture(const std::filesystem::path &path, std::string &error) {
  if (!screen().videoMonitor) {
    error = "there is no video monitor (start the host with --monitor)";
    return false;
  }
  const MonitorPicture &m = monitorPicture();
  if (m.pixels.empty()) {
    // Nothing was shown on it yet: it is black.
    const Format &f = format();
    const std::vector<uint32_t> black(size_t(f.width) * size_t(f.height), kBlack);
    return writeRgbPng(path, f.width, f.height, black.data(), error);
  }
  return writeRgbPng(path, m.width, m.height, m.pixels.data(), error);
}

int32_t topAcceptId() {
  const Request *r = topRequest();
  return r ? r->acceptId : 0;
}

int32_t topCancelId() {
  const Request *r = topRequest();
  return r ? r->cancelId : 0;
}

} // namespace vxhost::gui
