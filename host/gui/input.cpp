// Input into messages: pointer motion, buttons, keys, typed text, the wheel
// and the close request, as every backend delivers them.
#include <algorithm>

#include "host/settings/settings.hpp"
#include "host/gui/keys.hpp"
#include "host/gui/toolkit.hpp"
#include "vxhost/orvexares.h"

namespace vxhost::gui {

namespace {

// The element under (x, y) in the top request: the last made wins; box texts
// are not pressed.
Element *hitTest(int x, int y) {
  GuiState &g = guiState();
  const Request *top = topRequest();
  if (!top || g.pointer.virtualOn)
    return nullptr;
  for (auto it = g.elements.rbegin(); it != g.elements.rend(); ++it) {
    Element &e = it->second;
    if (e.request == top->handle && e.kind != Kind::boxText && e.rect.contains(x, y))
      return &e;
  }
  return nullptr;
}

bool showsHover(Kind k) {
  return k != Kind::clickGadget && k != Kind::boxText && k != Kind::grid && k != Kind::textField;
}

void updateHover() {
  GuiState &g = guiState();
  Element *now = hitTest(g.pointer.x, g.pointer.y);
  const int32_t id = now ? now->id : 0;
  if (id == g.hover)
    return;
  Element *old = findElement(g.hover);
  g.hover = id;
  if (old && showsHover(old->kind))
    drawElement(*old);
  if (now && showsHover(now->kind))
    drawElement(*now);
  touch();
}

int32_t sliderValueAt(const Element &e, int x) {
  const int inner = std::max(2, e.rect.w - 2);
  const int t = std::clamp(x - (e.rect.x + 1), 0, inner - 1);
  const int64_t range = int64_t(e.highest) - e.lowest;
  return int32_t(e.lowest + (t * range + (inner - 1) / 2) / (inner - 1));
}

void postButton(int32_t code, bool shift) {
  GuiMessage m{};
  m.kind = GUI_MSG_POINTER_BUTTON;
  m.id = code + (shift ? GUI_QUALIFIER_SHIFT : 0);
  m.qualifier = shift ? GUI_QUALIFIER_SHIFT : 0;
  postMessage(m);
}

// The grid cell under (x, y), or -1.
int gridCellAt(const Element &e, int x, int y) {
  const GridLayout l = gridLayout(e);
  for (int row = 0; row < l.rows; ++row)
    for (int col = 0; col < l.columns; ++col) {
      const int index = (e.scrollRow + row) * l.columns + col;
      if (size_t(index) < e.items.size() && gridCell(e, l, index).contains(x, y))
        return index;
    }
  return -1;
}

void scrollGrid(Element &e, int rows) {
  const GridLayout l = gridLayout(e);
  e.scrollRow = std::clamp(e.scrollRow + rows, 0, std::max(0, l.totalRows - l.rows));
  drawElement(e);
}

void openMenu(Element &e) {
  GuiState &g = guiState();
  const int rowHeight = rowUnit() + 2;
  const int h = int(e.entries.size()) * rowHeight + 6;
  const Rect below{e.rect.x, e.rect.bottom() + 2, e.rect.w, h};
  const bool fits = below.bottom() <= screen().height;
  g.menu = {e.id, fits ? below : Rect{e.rect.x, e.rect.y - 2 - h, e.rect.w, h}, rowHeight, e.value};
  drawElement(e);
  touch();
}

void closeMenu() {
  GuiState &g = guiState();
  Element *e = findElement(g.menu.element);
  g.menu = {};
  if (e)
    drawElement(*e);
  touch();
}

// An element acts on a click or on its key.
void activate(Element &e, bool byKey, bool shift, int32_t key) {
  GuiState &g = guiState();
  switch (e.kind) {
  case Kind::textButton:
  case Kind::imageButton:
  case Kind::stampButton:
  case Kind::paletteButton:
  case Kind::clickGadget: postElementEvent(e, 0, 0, key); break;
  case Kind::checkBox:
    e.value = !e.value;
    drawElement(e);
    postElementEvent(e, e.value, 0, key);
    break;
  case Kind::slider:
    if (byKey) {
      // A key steps by one (back with Shift), wrapping at the ends.
      e.value = shift ? (e.value <= e.lowest ? e.highest : e.value - 1)
                      : (e.value >= e.highest ? e.lowest : e.value + 1);
      drawElement(e);
      postElementEvent(e, e.value, 3, key);
    } else {
      g.capture = e.id;
      e.value = sliderValueAt(e, g.pointer.x);
      drawElement(e);
      postElementEvent(e, e.value, 1);
    }
    break;
  case Kind::popup:
    if (byKey) {
      const int n = int(e.entries.size());
      e.value = (e.value + (shift ? n - 1 : 1)) % n;
      drawElement(e);
      postElementEvent(e, e.value, 0, key);
    } else {
      openMenu(e);
    }
    break;
  case Kind::grid:
    if (e.items.empty())
      break;
    if (byKey) {
      const int n = int(e.items.size());
      e.value = (std::max(e.value, 0) + (shift ? n - 1 : 1)) % n;
      scrollToCell(e, e.value);
    } else {
      const GridLayout l = gridLayout(e);
      if (l.scrolls && l.bar.contains(g.pointer.x, g.pointer.y)) {
        scrollGrid(e, g.pointer.y < l.thumb.y ? -l.rows : g.pointer.y >= l.thumb.bottom() ? l.rows : 0);
        break;
      }
      const int cell = gridCellAt(e, g.pointer.x, g.pointer.y);
      if (cell < 0)
        break;
      e.value = cell;
    }
    drawElement(e);
    postElementEvent(e, e.value, 0, key);
    break;
  case Kind::textField: setFocus(e.id); break;
  case Kind::boxText: break;
  }
}

void pointerMoved() {
  GuiState &g = guiState();
  if (g.previewing)
    return;
  if (Element *e = findElement(g.capture)) {
    const int32_t v = sliderValueAt(*e, g.pointer.x);
    if (v != e->value) {
      e->value = v;
      drawElement(*e);
      postElementEvent(*e, v, 2);
    }
    touch();
    return;
  }
  if (g.menu.element) {
    const int row = g.menu.rect.contains(g.pointer.x, g.pointer.y) ? (g.pointer.y - g.menu.rect.y - 3) / g.menu.rowHeight : -1;
    g.menu.hovered = row;
  }
  updateHover();
  GuiMessage m{};
  m.kind = GUI_MSG_POINTER_MOVED;
  postMessage(m);
  touch();
}

} // namespace

void postMessage(GuiMessage message) {
  GuiState &g = guiState();
  message.x = g.pointer.x;
  message.y = g.pointer.y;
  g.queue.push_back(message);
}

void postElementEvent(const Element &e, int32_t value, int16_t phase, int32_t key) {
  GuiMessage m{};
  m.kind = GUI_MSG_ELEMENT;
  m.id = e.id;
  m.value = value;
  m.phase = phase;
  m.key = key;
  postMessage(m);
}

void pointerTo(int x, int y) {
  GuiState &g = guiState();
  const Screen &s = screen();
  g.pointer.x = std::clamp(x, 0, s.width - 1);
  g.pointer.y = std::clamp(y, 0, s.height - 1);
  pointerMoved();
}

void pointerBy(int dx, int dy) {
  GuiState &g = guiState();
  if (g.pointer.virtualOn) {
    // The virtual pointer is not held to the screen: the drag is endless.
    g.pointer.x += dx;
    g.pointer.y += dy;
    pointerMoved();
  } else {
    pointerTo(g.pointer.x + dx, g.pointer.y + dy);
  }
}

void press(Button button, bool shift) {
  GuiState &g = guiState();
  g.shiftHeld = shift;
  if (g.previewing) {
    g.previewStop = true;
    return;
  }
  if (g.menu.element) {
    Element *e = findElement(g.menu.element);
    const PopupMenu menu = g.menu;
    closeMenu();
    g.pressOnElement = true;
    if (e && menu.rect.contains(g.pointer.x, g.pointer.y)) {
      const int row = (g.pointer.y - menu.rect.y - 3) / menu.rowHeight;
      if (row >= 0 && size_t(row) < e->entries.size()) {
        e->value = row;
        drawElement(*e);
        postElementEvent(*e, row, 0);
      }
    }
    return;
  }
  Element *e = button == Button::left ? hitTest(g.pointer.x, g.pointer.y) : nullptr;
  g.pressOnElement = e != nullptr;
  if (e) {
    // A disabled element takes the press and does nothing.
    if (e->enabled)
      activate(*e, false, shift, 0);
    return;
  }
  if (g.focus && button == Button::left)
    setFocus(0);
  postButton(button == Button::left ? GUI_BUTTON_LEFT_PRESS : GUI_BUTTON_RIGHT_PRESS, shift);
}

void release(Button button, bool shift) {
  GuiState &g = guiState();
  g.shiftHeld = shift;
  if (g.previewing)
    return;
  if (button != Button::left)
    return; // only the left button reports its release
  if (Element *e = findElement(g.capture)) {
    g.capture = 0;
    drawElement(*e);
    postElementEvent(*e, e->value, 3);
    g.pressOnElement = false;
    return;
  }
  if (g.pressOnElement) {
    g.pressOnElement = false;
    return;
  }
  postButton(GUI_BUTTON_LEFT_RELEASE, shift);
}

void click(int x, int y, Button button, bool shift) {
  pointerTo(x, y);
  press(button, shift);
  release(button, shift);
}

void pressKey(int32_t code, bool shift) {
  GuiState &g = guiState();
  if (g.previewing) {
    g.previewStop = true;
    return;
  }
  if (g.menu.element) {
    if (code == keys::kEscape)
      closeMenu();
    return;
  }
  if (Element *f = findElement(g.focus)) {
    if (code == keys::kBackspace) {
      if (!f->text.empty())
        f->text.pop_back();
      drawElement(*f);
      return;
    }
    if (code == keys::kReturn) {
      postElementEvent(*f, 0, 0, code);
      return;
    }
    if (code >= 0x20 && code < 0xD800) { // a character: it is typed
      typeText(std::u16string(1, char16_t(code)));
      return;
    }
  }
  const Request *top = topRequest();
  if (!top || code == 0)
    return;
  for (auto &[id, e] : g.elements)
    if (e.request == top->handle && e.key == code && e.enabled) {
      activate(e, true, shift, code);
      return;
    }
}

void typeText(std::u16string_view text) {
  Element *f = findElement(guiState().focus);
  if (!f)
    return;
  for (char16_t c : text)
    if (f->text.size() < f->maxLength)
      f->text += c;
  drawElement(*f);
}

void wheel(int rows) {
  GuiState &g = guiState();
  Element *e = hitTest(g.pointer.x, g.pointer.y);
  if (e && e->kind == Kind::grid)
    scrollGrid(*e, rows);
}

void requestClose() {
  guiState().previewStop = true;
  GuiMessage m{};
  m.kind = GUI_MSG_CLOSE;
  postMessage(m);
}

size_t queuedMessages() { return guiState().queue.size(); }

std::u16string helpLine() {
  GuiState &g = guiState();
  const Element *e = findElement(g.hover);
  if (!e || g.menu.element)
    return {};
  if (!e->helpText.empty())
    return e->helpText;
  if (e->helpNumber == 0)
    return {};
  return xcharText(resGetString(e->helpTable, e->helpNumber));
}

void refreshHover() { updateHover(); }

} // namespace vxhost::gui
