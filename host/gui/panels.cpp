// Panels and the drawing calls: creation, removal, titles, frames, fills,
// images and text drawn straight into a panel, the clip rectangle.
#include <algorithm>
#include <set>

#include "host/settings/settings.hpp"
#include "host/gui/theme.hpp"
#include "host/gui/toolkit.hpp"

namespace vxhost::gui {

namespace {

// Where a drawing call with `panel` lands: the cell being drawn for panel 0
// inside a grid's cell drawer, else the panel or request itself.
struct Target {
  Request *request = nullptr;
  int ox = 0, oy = 0; // surface position of the container's (0, 0)
  Rect clip;          // surface coordinates
  uint32_t background = 0;
};

bool target(CgHandle panel, Target &t) {
  GuiState &g = guiState();
  CgHandle container = panel;
  Rect clipScreen;
  int ox, oy;
  if (panel == 0) {
    if (!g.cell.active)
      return false;
    container = g.cell.container;
    if (!containerOrigin(container, ox, oy, clipScreen))
      return false;
    clipScreen = g.cell.clip;
    t.background = theme::group;
  } else {
    if (!containerOrigin(container, ox, oy, clipScreen))
      return false;
    t.background = backgroundOf(container);
    if (const Request *r = requestOf(container))
      t.background = backgroundAt(*r, ox, oy);
  }
  t.request = requestOf(container);
  if (!t.request)
    return false;
  const Rect &f = t.request->frame;
  t.ox = ox - f.x;
  t.oy = oy - f.y;
  t.clip = clipScreen.moved(-f.x, -f.y);
  return true;
}

// An inclusive rectangle of container coordinates in surface coordinates.
Rect corners(const Target &t, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return {t.ox + std::min(x1, x2), t.oy + std::min(y1, y2), std::abs(x2 - x1) + 1, std::abs(y2 - y1) + 1};
}

void drawn(Target &t, const Rect &area) {
  markUsed(*t.request, area);
  touch();
}

} // namespace

void drawCellText(const std::u16string &text, int x, int y, int width, int height, int style) {
  Target t;
  if (!target(0, t))
    return;
  Font &f = font();
  const Rect box{t.ox + x, t.oy + y, width, height};
  const std::u16string shown = f.fit(text, width - 4);
  const int w = f.width(shown);
  const int tx = style == 18 ? box.x + (box.w - w) / 2 : box.x + 2;
  f.draw(t.request->surface, t.clip.intersect(box), tx, box.y + (box.h - f.lineHeight()) / 2, shown,
         style == 18 ? theme::text : theme::textDim);
  drawn(t, box);
}

} // namespace vxhost::gui

using namespace vxhost::gui;

extern "C" CgHandle cgCreatePanel(CgHandle parent, int32_t x, int32_t y, int32_t width, int32_t height,
                                  uint32_t flags, uint32_t flags2, int32_t) {
  int ox, oy;
  Rect clip;
  if (width <= 0 || height <= 0 || !containerOrigin(parent, ox, oy, clip))
    return 0;
  GuiState &g = guiState();
  Panel p;
  p.handle = g.nextHandle++;
  p.parent = parent;
  p.request = requestOf(parent)->handle;
  p.rect = {ox + x, oy + y, width, height};
  p.flags = flags;
  p.flags2 = flags2;
  p.nested = findPanel(parent) != nullptr;
  const CgHandle handle = p.handle;
  drawPanel(g.panels.emplace(handle, std::move(p)).first->second);
  return handle;
}

extern "C" void cgRemovePanel(CgHandle panel) {
  GuiState &g = guiState();
  const Panel *root = findPanel(panel);
  if (!root)
    return;
  const CgHandle requestHandle = root->request;
  // The panel and every panel below it; panels are made after their parents,
  // so one pass in handle order finds them all.
  std::set<CgHandle> gone{panel};
  for (const auto &[handle, p] : g.panels)
    if (gone.count(p.parent))
      gone.insert(handle);
  Rect area;
  for (CgHandle h : gone) {
    const Panel &p = g.panels.at(h);
    area = area.unite({p.rect.x, p.rect.y - 30, p.rect.w, p.rect.h + 30}); // with its title
  }
  for (auto it = g.elements.begin(); it != g.elements.end();)
    it = gone.count(it->second.container) ? g.elements.erase(it) : std::next(it);
  for (CgHandle h : gone)
    g.panels.erase(h);
  forgetRemovedElements();
  if (Request *r = findRequest(requestHandle))
    repaint(*r, area);
}

extern "C" void cgDrawPanelTitle(CgHandle panel, const xchar *title) {
  if (Panel *p = findPanel(panel)) {
    p->title = xcharText(title);
    drawPanel(*p);
  }
}

extern "C" void cgDrawBoxNew(CgHandle panel, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t style,
                             int32_t, int32_t, int32_t) {
  Target t;
  if (!target(panel, t))
    return;
  const Rect area = corners(t, left, top, right, bottom);
  // 4 sunken, 11 raised, anything else a plain line.
  const uint32_t light = style == 4 ? theme::shadow : style == 11 ? theme::borderLight : theme::border;
  const uint32_t dark = style == 4 ? theme::borderLight : style == 11 ? theme::shadow : theme::border;
  frameRect(t.request->surface, t.clip, area, light, dark);
  drawn(t, area);
}

extern "C" void cgSetColor2YUV(uint32_t colour) { guiState().drawColour = colour; }

extern "C" uint32_t cgGetNewGuiColorYUV(int32_t n) {
  static constexpr uint32_t colours[] = {
      theme::window,  theme::panel,         theme::group,   theme::well,
      theme::control, theme::border,        theme::text,    theme::textDim,
      theme::accent,  theme::rgb(0, 0, 0),  theme::rgb(255, 255, 255), theme::rgb(0xE0, 0x4A, 0x4A),
      theme::rgb(0x3E, 0xB8, 0x5F), theme::rgb(0x3C, 0x7D, 0xE6), theme::rgb(0xF0, 0xC0, 0x3A), theme::shadow};
  return n >= 0 && n < int32_t(std::size(colours)) ? colours[n] : theme::window;
}

extern "C" void cgRectFill(CgHandle panel, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Target t;
  if (!target(panel, t))
    return;
  const Rect area = corners(t, x1, y1, x2, y2);
  blendRect(t.request->surface, t.clip, area, guiState().drawColour);
  drawn(t, area);
}

extern "C" void cgFillBackground(CgHandle panel, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t, int32_t) {
  Target t;
  if (!target(panel, t))
    return;
  const Rect area = corners(t, x1, y1, x2, y2);
  fillRect(t.request->surface, t.clip, area, t.background);
  drawn(t, area);
}

extern "C" int32_t cgWriteResImage(CgHandle panel, const ResImage *image, int32_t x, int32_t y) {
  Target t;
  if (!image || !image->pixels || !target(panel, t))
    return 0;
  blendPicture(t.request->surface, t.clip, t.ox + x, t.oy + y, image->pixels, image->width, image->height,
               image->width);
  drawn(t, {t.ox + x, t.oy + y, image->width, image->height});
  return 1;
}

// Panel 1 (the video monitor) is drawn by host/gui/screen.cpp.
int32_t vxhost::gui::writeImageToPanel(CgHandle panel, const CImage *image, int32_t x, int32_t y) {
  Target t;
  if (!image || !image->pixels || !target(panel, t))
    return 0;
  blendPicture(t.request->surface, t.clip, t.ox + x, t.oy + y, reinterpret_cast<const uint32_t *>(image->pixels),
               image->width, image->height, image->width);
  drawn(t, {t.ox + x, t.oy + y, image->width, image->height});
  return 1;
}

extern "C" void cgSetClipRect(CgHandle request, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (Request *r = findRequest(request))
    r->clip = Rect{r->originX + std::min(x1, x2), r->originY + std::min(y1, y2), std::abs(x2 - x1) + 1,
                   std::abs(y2 - y1) + 1};
}

// This host has no colour bar of its own to switch back on.
extern "C" void cgColorBarOn(void) {}
