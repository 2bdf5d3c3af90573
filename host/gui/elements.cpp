// Elements: creation, change and query of every kind, enable and activate,
// extension records, grid layout, text fields.
#include <algorithm>
#include <new>

#include "host/gui/theme.hpp"
#include "host/gui/toolkit.hpp"
#include "vxhost/orvexares.h"

namespace vxhost::gui {

namespace {

// Room at a grid's right for its scroll bar.
constexpr int kScrollRoom = theme::scrollBar + 6;

Picture pictureOf(const ResImage *image) {
  Picture p;
  if (image && image->pixels && image->width > 0 && image->height > 0) {
    p.width = image->width;
    p.height = image->height;
    p.pixels.assign(image->pixels, image->pixels + size_t(p.width) * size_t(p.height));
  }
  return p;
}

Picture pictureOf(const CImage *image) {
  Picture p;
  if (image && image->pixels && image->width > 0 && image->height > 0) {
    p.width = image->width;
    p.height = image->height;
    const auto *words = reinterpret_cast<const uint32_t *>(image->pixels);
    p.pixels.assign(words, words + size_t(p.width) * size_t(p.height));
  }
  return p;
}

int32_t finish(Element *e) {
  if (!e)
    return 0;
  drawElement(*e);
  return e->id;
}

} // namespace

Element *addElement(CgHandle container, Kind kind, int x, int y, int width, int height) {
  int ox, oy;
  Rect clip;
  if (width <= 0 || height <= 0 || !containerOrigin(container, ox, oy, clip))
    return nullptr;
  GuiState &g = guiState();
  Element e;
  e.id = g.nextElementId++;
  e.kind = kind;
  e.container = container;
  e.request = requestOf(container)->handle;
  e.rect = {ox + x, oy + y, width, height};
  return &g.elements.emplace(e.id, std::move(e)).first->second;
}

GridLayout gridLayout(const Element &grid) {
  GridLayout l;
  const int pitchX = grid.cellWidth + 4, pitchY = grid.cellHeight + 4;
  l.columns = std::max(1, (grid.rect.w - 4 - kScrollRoom) / pitchX);
  l.rows = std::max(1, (grid.rect.h - 4) / pitchY);
  l.totalRows = int((grid.items.size() + size_t(l.columns) - 1) / size_t(l.columns));
  l.scrolls = l.totalRows > l.rows;
  if (l.scrolls) {
    l.bar = {grid.rect.right() - kScrollRoom + 2, grid.rect.y + 4, kScrollRoom - 6, grid.rect.h - 8};
    const int thumbH = std::max(16, l.bar.h * l.rows / l.totalRows);
    const int maxScroll = l.totalRows - l.rows;
    const int thumbY = l.bar.y + (l.bar.h - thumbH) * std::clamp(grid.scrollRow, 0, maxScroll) / maxScroll;
    l.thumb = {l.bar.x, thumbY, l.bar.w, thumbH};
  }
  return l;
}

Rect gridCell(const Element &grid, const GridLayout &l, int index) {
  const int row = index / l.columns - grid.scrollRow, column = index % l.columns;
  if (index < 0 || row < 0 || row >= l.rows)
    return {};
  return {grid.rect.x + 4 + column * (grid.cellWidth + 4), grid.rect.y + 4 + row * (grid.cellHeight + 4),
          grid.cellWidth, grid.cellHeight};
}

void scrollToCell(Element &grid, int index) {
  const GridLayout l = gridLayout(grid);
  const int row = index / l.columns;
  if (row < grid.scrollRow)
    grid.scrollRow = row;
  else if (row >= grid.scrollRow + l.rows)
    grid.scrollRow = row - l.rows + 1;
  grid.scrollRow = std::clamp(grid.scrollRow, 0, std::max(0, l.totalRows - l.rows));
}

int32_t addTextField(CgHandle container, int x, int y, int width, int height, std::u16string_view text,
                     size_t maxLength) {
  Element *e = addElement(container, Kind::textField, x, y, width, height);
  if (!e)
    return 0;
  e->maxLength = maxLength;
  e->text = text.substr(0, maxLength);
  return finish(e);
}

std::u16string fieldText(int32_t id) {
  const Element *e = findElement(id);
  return e && e->kind == Kind::textField ? e->text : std::u16string();
}

void setFieldText(int32_t id, std::u16string_view text) {
  Element *e = findElement(id);
  if (!e || e->kind != Kind::textField)
    return;
  e->text = text.substr(0, e->maxLength);
  drawElement(*e);
}

void setFocus(int32_t id) {
  GuiState &g = guiState();
  const int32_t old = g.focus;
  const Element *e = findElement(id);
  g.focus = e && e->kind == Kind::textField ? id : 0;
  if (Element *o = findElement(old))
    drawElement(*o);
  if (Element *n = findElement(g.focus))
    drawElement(*n);
}

void setHelpText(int32_t id, std::u16string_view text) {
  if (Element *e = findElement(id)) {
    e->helpText = text;
    touch();
  }
}

} // namespace vxhost::gui

using namespace vxhost::gui;

namespace {

void takeExtension(Element &e, const ElementExtension *ext) {
  if (!ext)
    return;
  e.label = xcharText(ext->label);
  e.extKind = ext->kind;
}

} // namespace

extern "C" int32_t cgAddTextButton(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                                   const xchar *text, uint32_t flags, const ElementExtension *ext) {
  Element *e = addElement(panel, Kind::textButton, x, y, width, height);
  if (!e)
    return 0;
  e->text = xcharText(text);
  e->flags = flags;
  takeExtension(*e, ext);
  e->label.clear(); // a text button shows its own text only
  return finish(e);
}

extern "C" int32_t cgAddImageButton(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                                    const ResImage *image, uint32_t flags, const ElementExtension *ext) {
  Element *e = addElement(panel, Kind::imageButton, x, y, width, height);
  if (!e)
    return 0;
  e->picture = pictureOf(image);
  e->flags = flags;
  takeExtension(*e, ext);
  return finish(e);
}

extern "C" int32_t cgAddCheckBox(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height, int32_t,
                                 uint32_t flags, const ElementExtension *ext) {
  Element *e = addElement(panel, Kind::checkBox, x, y, width, height);
  if (!e)
    return 0;
  e->flags = flags;
  takeExtension(*e, ext);
  return finish(e);
}

extern "C" int32_t cgAddClickGadget(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                                    uint32_t flags, int32_t) {
  Element *e = addElement(panel, Kind::clickGadget, x, y, width, height);
  if (!e)
    return 0;
  e->flags = flags;
  return finish(e);
}

extern "C" int32_t cgAddStampButton(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                                    const CImage *image, int32_t, int32_t, int32_t) {
  Element *e = addElement(panel, Kind::stampButton, x, y, width, height);
  if (!e)
    return 0;
  e->picture = pictureOf(image);
  return finish(e);
}

extern "C" int32_t cgAddSlider(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height, int32_t lowest,
                               int32_t highest, int32_t value, const xchar *text1, const xchar *text2,
                               uint32_t flags, const ElementExtension *ext) {
  if (lowest > highest)
    return 0;
  Element *e = addElement(panel, Kind::slider, x, y, width, height);
  if (!e)
    return 0;
  e->lowest = lowest;
  e->highest = highest;
  e->value = std::clamp(value, lowest, highest);
  e->text1 = xcharText(text1);
  e->text2 = xcharText(text2);
  e->flags = flags;
  if (ext) {
    e->sliderText = ext->callback.sliderText;
    e->extKind = ext->kind;
  }
  return finish(e);
}

extern "C" int32_t cgAddPaletteButton(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                                      uint32_t colour, uint32_t flags, const ElementExtension *ext) {
  Element *e = addElement(panel, Kind::paletteButton, x, y, width, height);
  if (!e)
    return 0;
  e->colour = colour;
  e->flags = flags;
  takeExtension(*e, ext);
  return finish(e);
}

extern "C" int32_t cgAddPopup(CgHandle panel, int32_t x, int32_t y, int32_t width, int32_t height,
                              const VxList *entries, int32_t value, uint32_t flags, const ElementExtension *ext) {
  if (!entries)
    return 0;
  std::vector<std::u16string> texts;
  for (const VxNode *n = entries->head; n; n = n->next)
    texts.push_back(xcharText(reinterpret_cast<const PopupEntry *>(n)->text));
  if (texts.empty())
    return 0;
  Element *e = addElement(panel, Kind::popup, x, y, width, height);
  if (!e)
    return 0;
  e->entries = std::move(texts);
  e->value = std::clamp<int32_t>(value, 0, int32_t(e->entries.size()) - 1);
  e->flags = flags;
  takeExtension(*e, ext);
  return finish(e);
}

extern "C" int32_t cgAddGridview(CgHandle request, int32_t x, int32_t y, int32_t gridWidth, int32_t gridHeight,
                                 int32_t cellWidth, int32_t cellHeight, const VxList *items, int32_t, uint32_t flags,
                                 const ElementExtension *ext) {
  if (cellWidth <= 0 || cellHeight <= 0)
    return 0;
  std::vector<GridItem> copies;
  if (items)
    for (const VxNode *n = items->head; n; n = n->next) {
      GridItem item = *reinterpret_cast<const GridItem *>(n);
      item.node = VxNode{}; // the copy is in no list
      copies.push_back(item);
    }
  // A grid too small for one cell still shows one.
  gridWidth = std::max(gridWidth, cellWidth + 8);
  gridHeight = std::max(gridHeight, cellHeight + 8);
  Element *e = addElement(request, Kind::grid, x, y, gridWidth, gridHeight);
  if (!e)
    return 0;
  e->items = std::move(copies);
  e->cellWidth = cellWidth;
  e->cellHeight = cellHeight;
  e->flags = flags;
  e->value = e->items.empty() ? -1 : 0;
  if (ext)
    e->drawCell = ext->callback.drawCell;
  return finish(e);
}

extern "C" int32_t cgBoxText(CgHandle panel, const xchar *text, int32_t x, int32_t y, int32_t width,
                             int32_t height, int32_t style) {
  GuiState &g = guiState();
  if (panel == 0) {
    if (!g.cell.active)
      return 0;
    drawCellText(xcharText(text), x, y, width, height, style);
    return 1;
  }
  Element *e = addElement(panel, Kind::boxText, x, y, width, height);
  if (!e)
    return 0;
  e->text = xcharText(text);
  e->style = style;
  return finish(e);
}

extern "C" ElementExtension *cgAllocGadExt(void) {
  auto *ext = new (std::nothrow) ElementExtension{};
  if (ext)
    ++guiState().extensions;
  return ext;
}

extern "C" void cgFreeGadExt(ElementExtension *ext) {
  if (!ext)
    return;
  delete ext;
  --guiState().extensions;
}

extern "C" int32_t cgChangeElement(CgHandle panel, int32_t element, int32_t attribute, intptr_t value, int32_t) {
  Element *e = findElement(panel, element);
  if (!e)
    return 0;
  const auto number = static_cast<int32_t>(value);
  switch (attribute) {
  case CG_ATTR_PALETTE_COLOUR:
    if (e->kind != Kind::paletteButton)
      return 0;
    e->colour = static_cast<uint32_t>(value);
    break;
  case CG_ATTR_GRID_SELECT:
    if (e->kind != Kind::grid)
      return 0;
    e->value = e->items.empty() ? -1 : std::clamp<int32_t>(number, 0, int32_t(e->items.size()) - 1);
    scrollToCell(*e, std::max(e->value, 0));
    break;
  case CG_ATTR_SLIDER_MAX:
    if (e->kind != Kind::slider)
      return 0;
    e->highest = std::max(number, e->lowest);
    e->value = std::clamp(e->value, e->lowest, e->highest);
    break;
  case CG_ATTR_SLIDER_VALUE:
    if (e->kind != Kind::slider)
      return 0;
    e->value = std::clamp(number, e->lowest, e->highest);
    break;
  case CG_ATTR_STAMP_PICTURE:
    if (e->kind != Kind::stampButton)
      return 0;
    e->picture = pictureOf(reinterpret_cast<const CImage *>(value));
    break;
  case CG_ATTR_KEY:
    e->key = number;
    return 1;
  case CG_ATTR_CHECK_STATE:
    if (e->kind != Kind::checkBox)
      return 0;
    e->value = number != 0;
    break;
  case CG_ATTR_IMAGE_PICTURE:
    if (e->kind != Kind::imageButton)
      return 0;
    e->picture = pictureOf(reinterpret_cast<const ResImage *>(value));
    break;
  case CG_ATTR_HELP_TABLE:
    e->helpTable = static_cast<ResHandle>(value);
    touch();
    return 1;
  case CG_ATTR_HELP_NUMBER:
    e->helpNumber = number;
    touch();
    return 1;
  default:
    return 0;
  }
  // Every visible change is drawn at once, whatever the redraw flag asks:
  // the screen never shows a stale element.
  drawElement(*e);
  return 1;
}

extern "C" int32_t cgGetElementInfo(CgHandle panel, int32_t element, int32_t attribute, int32_t *value) {
  const Element *e = findElement(panel, element);
  if (!e)
    return 0;
  int32_t v = 0;
  switch (attribute) {
  case CG_ATTR_SLIDER_VALUE_GET:
  case CG_ATTR_SLIDER_VALUE:
  case CG_ATTR_CHECK_STATE:
  case CG_ATTR_GRID_SELECTED:
  case CG_ATTR_GRID_SELECT: v = e->value; break;
  case CG_ATTR_SLIDER_MAX: v = e->highest; break;
  case CG_ATTR_PALETTE_COLOUR: v = static_cast<int32_t>(e->colour); break;
  case CG_ATTR_KEY: v = e->key; break;
  case CG_ATTR_HELP_NUMBER: v = e->helpNumber; break;
  default: return 0;
  }
  if (value)
    *value = v;
  return v;
}

namespace {

template <typename F> void changeState(CgHandle panel, int32_t element, F change) {
  if (Element *e = findElement(panel, element)) {
    change(*e);
    GuiState &g = guiState();
    if (!e->enabled && g.capture == e->id)
      g.capture = 0;
    if (!e->enabled && g.focus == e->id)
      g.focus = 0;
    drawElement(*e);
  }
}

} // namespace

extern "C" void cgEnableElement(CgHandle panel, int32_t element) {
  changeState(panel, element, [](Element &e) { e.enabled = true; });
}

extern "C" void cgDisableElement(CgHandle panel, int32_t element) {
  changeState(panel, element, [](Element &e) { e.enabled = false; });
}

extern "C" void cgActivateElement(CgHandle panel, int32_t element) {
  changeState(panel, element, [](Element &e) { e.active = true; });
}

extern "C" void cgInactivateElement(CgHandle panel, int32_t element) {
  changeState(panel, element, [](Element &e) { e.active = false; });
}
