// The toolkit's state, its lookups, live counts and reset.
#include "host/gui/gui_state.hpp"

#include "host/settings/settings.hpp"
#include "host/gui/gui.hpp"
#include "host/images/images.hpp"

namespace vxhost::gui {

GuiState &guiState() {
  static GuiState state;
  return state;
}

Request *findRequest(CgHandle handle) {
  auto &m = guiState().requests;
  const auto it = m.find(handle);
  return it == m.end() ? nullptr : &it->second;
}

Panel *findPanel(CgHandle handle) {
  auto &m = guiState().panels;
  const auto it = m.find(handle);
  return it == m.end() ? nullptr : &it->second;
}

Element *findElement(int32_t id) {
  auto &m = guiState().elements;
  const auto it = m.find(id);
  return it == m.end() ? nullptr : &it->second;
}

Element *findElement(CgHandle container, int32_t id) {
  Element *e = findElement(id);
  if (!e)
    return nullptr;
  // The element must lie in the container given, or in a panel below it.
  for (CgHandle c = e->container; c != 0;) {
    if (c == container)
      return e;
    const Panel *p = findPanel(c);
    c = p ? p->parent : 0;
  }
  return nullptr;
}

Request *topRequest() {
  GuiState &g = guiState();
  return g.stack.empty() ? nullptr : findRequest(g.stack.back());
}

Request *requestOf(CgHandle container) {
  if (Request *r = findRequest(container))
    return r;
  if (const Panel *p = findPanel(container))
    return findRequest(p->request);
  return nullptr;
}

bool containerOrigin(CgHandle container, int &x, int &y, Rect &clip) {
  if (const Request *r = findRequest(container)) {
    x = r->originX;
    y = r->originY;
    clip = r->clip.empty() ? r->frame : r->clip.intersect(r->frame);
    return true;
  }
  if (const Panel *p = findPanel(container)) {
    const Request *r = findRequest(p->request);
    if (!r)
      return false;
    x = p->rect.x;
    y = p->rect.y;
    clip = p->rect.intersect(r->clip.empty() ? r->frame : r->clip);
    return true;
  }
  return false;
}

Font &font() {
  GuiState &g = guiState();
  const int height = screen().fontHeight;
  if (!g.font || g.fontForHeight != height) {
    // The em size that gives DejaVu Sans lines of about the font height.
    g.font = std::make_unique<Font>(std::max(6, height - 2));
    g.fontForHeight = height;
  }
  return *g.font;
}

int rowUnit() { return screen().fontHeight + screen().addHeight; }

LiveCounts liveCounts() {
  const GuiState &g = guiState();
  return {liveImageCount(ImageFamily::gui), int(g.panels.size()), int(g.requests.size()), g.extensions};
}

void resetGui() {
  GuiState &g = guiState();
  std::unique_ptr<Font> keptFont = std::move(g.font);
  const int keptHeight = g.fontForHeight;
  g = GuiState{};
  g.font = std::move(keptFont);
  g.fontForHeight = keptHeight;
}

} // namespace vxhost::gui
