// How requests, panels and every element kind look, drawn into their
// request's surface.
#include <algorithm>
#include <string>

#include "host/settings/settings.hpp"
#include "host/gui/keys.hpp"
#include "host/gui/theme.hpp"
#include "host/gui/toolkit.hpp"
#include "vxhost/orvexareq.h"

namespace vxhost::gui {

namespace {

// A screen rectangle in the coordinates of the request's surface.
Rect toSurface(const Request &r, const Rect &screenRect) { return screenRect.moved(-r.frame.x, -r.frame.y); }

// What drawing one element may touch, in surface coordinates.
struct Canvas {
  Request &request;
  Surface &s;
  Rect clip;
  uint32_t background = 0; // what the container shows under the element
  Rect at(const Rect &screenRect) const { return toSurface(request, screenRect); }
};

uint32_t textColour(const Element &e) { return e.enabled ? theme::text : theme::textDisabled; }

// Text centred vertically in `box` (surface coordinates); align 0 left, 1 centre, 2 right.
void drawLine(Canvas &c, const Rect &box, std::u16string_view text, uint32_t colour, int align, int pad = 0) {
  Font &f = font();
  const std::u16string shown = f.fit(text, std::max(0, box.w - 2 * pad));
  const int w = f.width(shown);
  const int x = align == 0 ? box.x + pad : align == 1 ? box.x + (box.w - w) / 2 : box.right() - pad - w;
  const int top = box.y + (box.h - f.lineHeight()) / 2;
  f.draw(c.s, c.clip.intersect(box), x, top, shown, colour);
}

// The label an extension gives, right-aligned left of the element.
void drawLabel(Canvas &c, const Element &e, std::u16string_view label) {
  if (label.empty())
    return;
  Font &f = font();
  const int w = f.width(label);
  const Rect r = c.at(e.rect);
  const Rect box{r.x - theme::labelGap - w, r.y, w, r.h};
  fillRect(c.s, c.clip, box, c.background);
  drawLine(c, box, label, e.enabled ? theme::textDim : theme::textDisabled, 2);
}

uint32_t faceColour(const Element &e) {
  GuiState &g = guiState();
  if (!e.enabled)
    return theme::controlDisabled;
  if (e.active)
    return theme::accent;
  return g.hover == e.id ? theme::controlHover : theme::control;
}

// A rounded control face with a one-pixel border.
void drawFace(Canvas &c, const Rect &r, uint32_t face, uint32_t edge = theme::border) {
  fillRect(c.s, c.clip, r, c.background); // the rounded corners show it
  fillRounded(c.s, c.clip, r, theme::radius, edge);
  fillRounded(c.s, c.clip, {r.x + 1, r.y + 1, r.w - 2, r.h - 2}, theme::radius - 1, face);
}

void drawPicture(Canvas &c, const Rect &box, const Picture &p, bool dim) {
  if (p.empty())
    return;
  const int x = box.x + (box.w - p.width) / 2, y = box.y + (box.h - p.height) / 2;
  if (!dim) {
    blendPicture(c.s, c.clip.intersect(box), x, y, p.pixels.data(), p.width, p.height, p.width);
    return;
  }
  std::vector<uint32_t> faded(p.pixels);
  for (uint32_t &w : faded)
    w = withCoverage(w, 90);
  blendPicture(c.s, c.clip.intersect(box), x, y, faded.data(), p.width, p.height, p.width);
}

// A colour swatch; a light/dark checker shows through where it is transparent.
void drawSwatch(Canvas &c, const Rect &r, uint32_t colour) {
  const Rect area = r.intersect(c.clip).intersect(c.s.bounds());
  for (int y = area.y; y < area.bottom(); ++y) {
    uint32_t *p = c.s.row(y);
    for (int x = area.x; x < area.right(); ++x) {
      const bool light = (((x - r.x) / 5) + ((y - r.y) / 5)) % 2 == 0;
      p[x] = over(colour, light ? theme::rgb(0x9A, 0x9A, 0x9A) : theme::rgb(0x66, 0x66, 0x66));
    }
  }
}

std::u16string sliderValueText(const Element &e) {
  std::u16string text;
  if (e.sliderText) {
    xchar buffer[33] = {};
    const int32_t n = e.sliderText(e.value, buffer);
    for (int32_t i = 0; i < std::clamp<int32_t>(n, 0, 32) && buffer[i]; ++i)
      text += char16_t(buffer[i]);
  } else {
    for (char ch : std::to_string(e.value))
      text += char16_t(ch);
  }
  if (!e.text2.empty())
    text += u" " + e.text2;
  return text;
}

// A slider's first text is its name, drawn inside the track at the left with
// the value at the right: panels place sliders side by side with gaps too
// narrow for a name in front of each.
void drawSlider(Canvas &c, const Element &e) {
  const Rect r = c.at(e.rect);
  const bool dragging = guiState().capture == e.id;
  drawFace(c, r, theme::well, e.enabled && (dragging || guiState().hover == e.id) ? theme::borderLight : theme::border);
  const int64_t range = int64_t(e.highest) - e.lowest;
  const int inner = r.w - 2;
  const int filled = range > 0 ? int((int64_t(e.value) - e.lowest) * inner / range) : inner;
  if (filled > 0)
    fillRounded(c.s, c.clip, {r.x + 1, r.y + 1, filled, r.h - 2}, theme::radius - 1,
                !e.enabled ? theme::controlDisabled : dragging ? theme::accent : theme::accentDim);
  if (e.text1.empty()) {
    drawLine(c, r, sliderValueText(e), textColour(e), 1, 4);
    return;
  }
  const std::u16string value = sliderValueText(e);
  const int valueWidth = font().width(value);
  drawLine(c, r, value, textColour(e), 2, 4);
  drawLine(c, {r.x, r.y, std::max(0, r.w - valueWidth - 6), r.h}, e.text1,
           e.enabled ? theme::text : theme::textDisabled, 0, 4);
}

void drawCheckBox(Canvas &c, const Element &e) {
  const Rect r = c.at(e.rect);
  fillRect(c.s, c.clip, r, c.background);
  drawLabel(c, e, e.label);
  const int side = std::min(r.h, r.w) - 6;
  const Rect box{r.x + (r.w - side) / 2, r.y + (r.h - side) / 2, side, side};
  const bool on = e.value != 0;
  const bool hover = guiState().hover == e.id && e.enabled;
  fillRounded(c.s, c.clip, box, 3, hover ? theme::borderLight : theme::border);
  fillRounded(c.s, c.clip, {box.x + 1, box.y + 1, box.w - 2, box.h - 2}, 2,
              on ? (e.enabled ? theme::accent : theme::controlDisabled) : theme::well);
  if (on)
    drawLine(c, box, u"\u2713", e.enabled ? theme::knob : theme::textDisabled, 1);
}

void drawPopup(Canvas &c, const Element &e) {
  const Rect r = c.at(e.rect);
  drawLabel(c, e, e.label);
  const bool open = guiState().menu.element == e.id;
  drawFace(c, r, open ? theme::controlHover : faceColour(e), open ? theme::accent : theme::border);
  const std::u16string current =
      e.value >= 0 && size_t(e.value) < e.entries.size() ? e.entries[size_t(e.value)] : std::u16string();
  drawLine(c, {r.x, r.y, r.w - 18, r.h}, current, textColour(e), 0, 8);
  drawLine(c, {r.right() - 20, r.y, 16, r.h}, u"\u25BE", textColour(e), 1);
}

void drawTextField(Canvas &c, const Element &e) {
  const Rect r = c.at(e.rect);
  drawLabel(c, e, e.label);
  const bool focused = guiState().focus == e.id;
  drawFace(c, r, theme::well, focused ? theme::accent : theme::border);
  Font &f = font();
  const int pad = 6;
  // The end of a long text stays in view.
  std::u16string shown = e.text;
  while (!shown.empty() && f.width(shown) > r.w - 2 * pad - 2)
    shown.erase(0, 1);
  const int top = r.y + (r.h - f.lineHeight()) / 2;
  f.draw(c.s, c.clip.intersect(r), r.x + pad, top, shown, textColour(e));
  if (focused)
    fillRect(c.s, c.clip, {r.x + pad + f.width(shown) + 1, top, 1, f.lineHeight()}, theme::accent);
}

void drawDefaultCell(Canvas &c, const Rect &cell, const GridItem &item) {
  // The picture centred at the top, the text (lines split at line feeds) below.
  int textTop = cell.y + 4;
  if (item.picture && item.picture->pixels) {
    const CImage &p = *item.picture;
    const int x = cell.x + (cell.w - p.width) / 2;
    blendPicture(c.s, c.clip.intersect(cell), x, cell.y + 4, reinterpret_cast<const uint32_t *>(p.pixels), p.width,
                 p.height, p.width);
    textTop += p.height + 4;
  }
  const std::u16string text = xcharText(item.text);
  Font &f = font();
  size_t start = 0;
  for (int line = 0; start <= text.size(); ++line) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos)
      end = text.size();
    drawLine(c, {cell.x, textTop, cell.w, f.lineHeight()}, std::u16string_view(text).substr(start, end - start),
             line == 0 ? theme::text : theme::textDim, 1, 4);
    textTop += f.lineHeight() + 2;
    start = end + 1;
  }
}

void drawGrid(Canvas &c, Element &e) {
  GuiState &g = guiState();
  const Rect r = c.at(e.rect);
  fillRect(c.s, c.clip, r, theme::well);
  frameRect(c.s, c.clip, r, theme::shadow, theme::border);
  const GridLayout layout = gridLayout(e);
  int ox = 0, oy = 0;
  Rect containerClip;
  containerOrigin(e.container, ox, oy, containerClip);
  for (size_t i = 0; i < e.items.size(); ++i) {
    const Rect cellScreen = gridCell(e, layout, int(i));
    if (cellScreen.empty())
      continue;
    const Rect cell = c.at(cellScreen);
    fillRounded(c.s, c.clip, cell, 3, theme::group);
    if (e.drawCell) {
      // Panel 0 draws into this cell while the callback runs.
      const CellTarget saved = g.cell;
      g.cell = {true, e.container, cellScreen.intersect(e.rect).intersect(c.clip.moved(c.request.frame.x, c.request.frame.y))};
      e.drawCell(&e.items[i], cellScreen.x - ox, cellScreen.y - oy, cellScreen.right() - 1 - ox,
                 cellScreen.bottom() - 1 - oy);
      g.cell = saved;
    } else {
      drawDefaultCell(c, cell, e.items[i]);
    }
    if (int32_t(i) == e.value) {
      const Rect ring{cell.x - 2, cell.y - 2, cell.w + 4, cell.h + 4};
      for (int k = 0; k < 2; ++k)
        frameRect(c.s, c.clip, {ring.x + k, ring.y + k, ring.w - 2 * k, ring.h - 2 * k}, theme::accent, theme::accent);
    }
  }
  if (layout.scrolls) {
    fillRounded(c.s, c.clip, c.at(layout.bar), 4, theme::controlDisabled);
    fillRounded(c.s, c.clip, c.at(layout.thumb), 4, theme::controlHover);
  }
}

} // namespace

uint32_t backgroundAt(const Request &r, int x, int y) {
  // The last panel made that holds the point lies on top.
  const auto &panels = guiState().panels;
  for (auto it = panels.rbegin(); it != panels.rend(); ++it)
    if (it->second.request == r.handle && it->second.rect.contains(x, y))
      return backgroundOf(it->first);
  return backgroundOf(r.handle);
}

uint32_t backgroundOf(CgHandle container) {
  if (const Panel *p = findPanel(container))
    return p->nested ? theme::group : theme::panel;
  if (const Request *r = findRequest(container))
    return r->fullScreen ? 0 : theme::window;
  return theme::window;
}

void markUsed(Request &r, const Rect &area) { r.used = r.used.unite(area.intersect(r.surface.bounds())); }

void drawElement(Element &e) {
  Request *r = findRequest(e.request);
  if (!r)
    return;
  int ox, oy;
  Rect clipScreen;
  if (!containerOrigin(e.container, ox, oy, clipScreen))
    return;
  if (!guiState().repaintArea.empty())
    clipScreen = clipScreen.intersect(guiState().repaintArea);
  Canvas c{*r, r->surface, toSurface(*r, clipScreen), backgroundAt(*r, e.rect.x, e.rect.y + e.rect.h / 2)};
  const Rect area = c.at(e.rect);
  switch (e.kind) {
  case Kind::textButton:
    drawFace(c, area, faceColour(e));
    drawLine(c, area, e.text, e.active && e.enabled ? theme::knob : textColour(e), 1, 6);
    break;
  case Kind::imageButton:
    drawLabel(c, e, e.label);
    drawFace(c, area, faceColour(e));
    drawPicture(c, area, e.picture, !e.enabled);
    break;
  case Kind::stampButton:
    drawFace(c, area, faceColour(e));
    drawPicture(c, {area.x + 3, area.y + 3, area.w - 6, area.h - 6}, e.picture, !e.enabled);
    break;
  case Kind::paletteButton:
    drawLabel(c, e, e.label);
    drawFace(c, area, faceColour(e), e.active ? theme::accent : theme::border);
    drawSwatch(c, {area.x + 4, area.y + 4, area.w - 8, area.h - 8}, e.enabled ? e.colour : withCoverage(e.colour, 80));
    break;
  case Kind::checkBox: drawCheckBox(c, e); break;
  case Kind::clickGadget: break; // invisible: its owner draws what it shows
  case Kind::slider: drawSlider(c, e); break;
  case Kind::popup: drawPopup(c, e); break;
  case Kind::grid: drawGrid(c, e); break;
  case Kind::boxText:
    fillRect(c.s, c.clip, area, c.background);
    drawLine(c, area, e.text, e.style == 18 ? theme::text : theme::textDim, e.style == 18 ? 1 : 0, 2);
    break;
  case Kind::textField: drawTextField(c, e); break;
  }
  // Labels lie left of the element.
  markUsed(*r, {area.x - 300, area.y, area.w + 300, area.h});
  touch();
}

void drawPanel(const Panel &p) {
  Request *r = findRequest(p.request);
  if (!r)
    return;
  int ox, oy;
  Rect parentClip;
  if (!containerOrigin(p.parent, ox, oy, parentClip))
    return;
  if (!guiState().repaintArea.empty())
    parentClip = parentClip.intersect(guiState().repaintArea);
  const Rect clip = toSurface(*r, parentClip);
  const Rect area = toSurface(*r, p.rect);
  Surface &s = r->surface;
  if (p.nested) {
    fillRect(s, clip, area, backgroundOf(p.parent));
    fillRounded(s, clip, area, 6, theme::border);
    fillRounded(s, clip, {area.x + 1, area.y + 1, area.w - 2, area.h - 2}, 5, theme::group);
  } else {
    fillRect(s, clip, area, backgroundOf(p.parent));
    fillRounded(s, clip, area, 8, theme::shadow);
    fillRounded(s, clip, {area.x + 1, area.y + 1, area.w - 2, area.h - 2}, 7, theme::panel);
  }
  if (!p.title.empty()) {
    // The title sits on the parent just above the panel's top edge.
    Font &f = font();
    const Rect box{area.x + 6, area.y - f.lineHeight() - 3, area.w - 12, f.lineHeight() + 2};
    Canvas c{*r, s, clip};
    fillRect(s, clip, box, backgroundOf(p.parent));
    drawLine(c, box, p.title, theme::textDim, 0);
  }
  markUsed(*r, {area.x, area.y - 30, area.w, area.h + 30});
  touch();
}

namespace {

void drawRequestChrome(Request &r, const Rect &clip) {
  if (r.fullScreen)
    return;
  Surface &s = r.surface;
  const Rect all = s.bounds();
  fillRect(s, clip, all, 0);
  fillRounded(s, clip, all, 8, theme::borderLight);
  fillRounded(s, clip, {1, 1, all.w - 2, all.h - 2}, 7, theme::window);
  if (!r.title.empty()) {
    const int barHeight = r.content.y - r.frame.y - 8;
    fillRounded(s, clip, {1, 1, all.w - 2, barHeight}, 7, theme::titleBar);
    fillRect(s, clip, {1, barHeight - 6, all.w - 2, 6}, theme::titleBar);
    fillRect(s, clip, {1, barHeight, all.w - 2, 1}, theme::border);
    Canvas c{r, s, clip};
    drawLine(c, {12, 1, all.w - 24, barHeight}, r.title, theme::text, 0);
  }
  markUsed(r, all);
}

} // namespace

void repaint(Request &r, const Rect &screenArea) {
  const Rect area = toSurface(r, screenArea).intersect(r.surface.bounds());
  if (area.empty())
    return;
  if (r.fullScreen)
    fillRect(r.surface, area, area, 0);
  else
    drawRequestChrome(r, area);
  GuiState &g = guiState();
  g.repaintArea = screenArea.intersect(r.frame);
  for (const auto &[handle, p] : g.panels)
    if (p.request == r.handle && p.rect.moved(0, -30).unite(p.rect).intersect(screenArea).w > 0)
      drawPanel(p);
  for (auto &[id, e] : g.elements)
    if (e.request == r.handle && e.rect.moved(-300, 0).unite(e.rect).intersect(screenArea).w > 0)
      drawElement(e);
  g.repaintArea = {};
  touch();
}

Request *openRequest(int width, int height, uint32_t flags, std::u16string_view title) {
  const Screen &scr = screen();
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767)
    return nullptr;
  GuiState &g = guiState();
  Request r;
  r.handle = g.nextHandle++;
  r.flags = flags;
  r.title = title;
  r.fullScreen = (flags & CREQ_FULLSCREEN) != 0;
  const int R = rowUnit();
  if (r.fullScreen) {
    r.frame = {0, 0, scr.width, scr.height};
    r.originX = r.originY = 0;
    r.content = r.frame;
  } else {
    const bool buttons = (flags & (CREQ_ACCEPT | CREQ_CANCEL)) != 0;
    const int top = r.title.empty() ? 8 : R + 16;
    const int bottom = buttons ? R + 24 : 8;
    const int fw = width + 16, fh = height + top + bottom;
    int left, topY, right, bottomY;
    cgGetVisibleArea(&left, &topY, &right, &bottomY);
    const int x = std::max(left, left + (right - left + 1 - fw) / 2);
    const int y = std::max(topY, topY + (bottomY - topY + 1 - fh) / 2);
    r.frame = {x, y, fw, fh};
    r.originX = x + 8;
    r.originY = y + top;
    r.content = {r.originX, r.originY, width, height};
  }
  r.surface.resize(r.frame.w, r.frame.h, 0);
  const CgHandle handle = r.handle;
  g.requests.emplace(handle, std::move(r));
  g.stack.push_back(handle);
  Request &placed = g.requests.at(handle);
  drawRequestChrome(placed, placed.surface.bounds());
  // The standard buttons sit in the bottom row, right-aligned: cancel, then accept.
  const int bw = 100, bh = R + 4;
  int bx = placed.content.w - bw;
  const int by = placed.content.h + (placed.frame.bottom() - placed.content.bottom() - bh) / 2;
  if (flags & CREQ_ACCEPT) {
    if (Element *e = addElement(handle, Kind::textButton, bx, by, bw, bh)) {
      e->text = toolkitString(kStringAccept, u"OK");
      e->key = keys::kReturn;
      placed.acceptId = e->id;
      drawElement(*e);
    }
    bx -= bw + 8;
  }
  if (flags & CREQ_CANCEL) {
    if (Element *e = addElement(handle, Kind::textButton, bx, by, bw, bh)) {
      e->text = toolkitString(kStringCancel, u"Cancel");
      e->key = keys::kEscape;
      placed.cancelId = e->id;
      drawElement(*e);
    }
  }
  // A new request takes the input: whatever was pressed below is let go.
  g.capture = 0;
  g.menu = {};
  g.hover = 0;
  touch();
  return &placed;
}

void closeRequest(CgHandle handle) {
  GuiState &g = guiState();
  if (!findRequest(handle))
    return;
  for (auto it = g.elements.begin(); it != g.elements.end();)
    it = it->second.request == handle ? g.elements.erase(it) : std::next(it);
  for (auto it = g.panels.begin(); it != g.panels.end();)
    it = it->second.request == handle ? g.panels.erase(it) : std::next(it);
  g.requests.erase(handle);
  g.stack.erase(std::remove(g.stack.begin(), g.stack.end(), handle), g.stack.end());
  forgetRemovedElements();
  touch();
}

void forgetRemovedElements() {
  GuiState &g = guiState();
  if (!findElement(g.capture))
    g.capture = 0;
  if (!findElement(g.focus))
    g.focus = 0;
  if (!findElement(g.menu.element))
    g.menu = {};
  if (!findElement(g.hover))
    g.hover = 0;
}

} // namespace vxhost::gui
