#include "masks/mask_selector.hpp"

#include <algorithm>
#include <new>

#include "entry/module.hpp"
#include "masks/catalogue.hpp"
#include "support/toolkit.hpp"
#include "vxhost/orvexamsgq.h"
#include "vxhost/orvexares.h"

namespace tileron {

namespace {

constexpr uint32_t kGridItemFlags = 0x210;
// The selector's request: centred, with accept and cancel buttons.
constexpr uint32_t kSelectorRequestFlags = 0x1E;
constexpr uint32_t kGridFlags = 0x1910000;
constexpr int32_t kTitleString = 121;
// The grid sits 8 pixels in from the request's corner on every side.
constexpr int kGridInset = 8;
// Room beside the grid: the columns leave 100 pixels of the visible width,
// the rows 160 of its height.
constexpr int kSpareWidth = 100, kSpareHeight = 160;
constexpr int kGridExtraWidth = 46, kGridExtraHeight = 8;

constexpr uint32_t kEmptyCellColour = 3; // GUI colour of a cell without thumbnail
constexpr int32_t kRaisedFrame = 11, kFrameWidth = 5;
constexpr int32_t kCentredText = 18;
// The thumbnail sits 2 pixels in from the cell's top-left corner.
constexpr int kThumbnailInset = 2;

} // namespace

MaskSelectorLayout maskSelectorLayout(int visibleWidth, int visibleHeight, int rowUnit) {
  MaskSelectorLayout l;
  l.cellHeight = 2 * (rowUnit + 48);
  l.columns = std::max(1, (visibleWidth - kSpareWidth) / kMaskCellWidth);
  int rows = (visibleHeight - kSpareHeight) / l.cellHeight;
  if (rows % 2 == 0) rows -= 1; // 4 becomes 3, 3 stays 3
  // A screen too small for one row still shows one.
  l.rows = std::max(1, rows);
  l.gridWidth = l.columns * kMaskCellPitch + kGridExtraWidth;
  l.gridHeight = l.rows * kMaskCellPitch + kGridExtraHeight;
  l.requestWidth = l.gridWidth + 2 * kGridInset;
  l.requestHeight = l.gridHeight + 2 * kGridInset;
  return l;
}

MaskSelector::MaskSelector() { lstNewList(&items); }

MaskSelector::~MaskSelector() { close(); }

void MaskSelector::close() {
  if (requestMade) creqDeleteRequest(&request);
  requestMade = false;
  grid = 0;
  while (VxNode *node = lstFirst(&items)) {
    lstRemove(&items, node);
    // The node is the item's first member.
    delete reinterpret_cast<GridItem *>(node);
  }
}

int openMaskSelector(MaskSelector &selector, const MaskCatalogue &catalogue) {
  selector.close();
  ExtensionPtr ext(cgAllocGadExt());
  if (!ext) return 0;

  int32_t selected = 0, index = 0;
  for (MaskInfo *entry = firstMask(catalogue); entry; entry = nextMask(*entry), ++index) {
    GridItem *item = new (std::nothrow) GridItem{};
    if (!item) {
      selector.close();
      return 0;
    }
    item->flags = kGridItemFlags;
    item->picture = entry->thumbnail.get();
    item->text = entry->title.empty() ? nullptr : entry->title.data();
    lstAppend(&selector.items, &item->node);
    if (entry->isCurrent == 1) selected = index;
  }

  const ModuleState &module = moduleState();
  const MaskSelectorLayout layout =
      maskSelectorLayout(module.visibleWidth, module.visibleHeight, rowUnit());
  RequestDescriptor &request = selector.request;
  request = RequestDescriptor{};
  request.width = int16_t(layout.requestWidth);
  request.height = int16_t(layout.requestHeight);
  request.msgQ = msgQCommandGet();
  request.flags = kSelectorRequestFlags;
  request.title = resGetString(module.strings, kTitleString);
  if (creqCreateRequest(&request) == -1) {
    selector.close();
    return 0;
  }
  selector.requestMade = true;

  ext->callback.drawCell = drawMaskCell;
  selector.grid = cgAddGridview(request.handle, kGridInset, kGridInset, layout.gridWidth,
                                layout.gridHeight, kMaskCellWidth, layout.cellHeight,
                                &selector.items, 0, kGridFlags, ext.get());
  if (selector.grid == 0) {
    selector.close();
    return 0;
  }
  cgChangeElement(request.handle, selector.grid, CG_ATTR_GRID_SELECT, selected, 1);
  return 1;
}

void drawMaskCell(GridItem *item, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (!item) return;
  if (!item->picture) {
    cgSetColor2YUV(cgGetNewGuiColorYUV(kEmptyCellColour));
    cgRectFill(0, x1, y1, x2, y2);
    return;
  }
  const int32_t strip = 2 * (rowUnit() + 4); // the title strip at the cell's bottom
  cgFillBackground(0, x1, y2 - strip, x2, y2, 0, 0);
  cgDrawBoxNew(0, x1, y1, x2, y2 - strip, kRaisedFrame, kFrameWidth, 0, 0);
  cgWriteImage(0, item->picture, x1 + kThumbnailInset, y1 + kThumbnailInset);
  if (item->text) cgBoxText(0, item->text, x1, y2 - strip, x2 - x1 + 1, strip, kCentredText);
}

} // namespace tileron
