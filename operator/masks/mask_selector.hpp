// The mask selector: a requester with every mask of the catalogue as a grid
// cell (thumbnail above title), the current mask's cell selected. The editor
// opens it, waits for the user's choice, reads the selected cell and deletes
// it; this file builds it and paints its cells.
#pragma once

#include <cstdint>

#include "vxhost/orvexagui.h"
#include "vxhost/orvexareq.h"
#include "vxhost/vxlstlib.h"

namespace tileron {

struct MaskCatalogue;

// Cells are 154 wide and laid out 158 apart; the grid keeps 46 pixels for its
// frame and scroll bar across and 8 down.
inline constexpr int kMaskCellWidth = 154;
inline constexpr int kMaskCellPitch = 158;

// The selector's size for a visible area and a row unit (font height plus
// added height). All integer arithmetic, divisions truncating.
struct MaskSelectorLayout {
  int cellHeight = 0;    // 2 x (row unit + 48)
  int columns = 0;       // (visible width - 100) / 154, at least 1
  int rows = 0;          // (visible height - 160) / cell height, made odd by
                         // taking 1 from an even count, at least 1
  int gridWidth = 0;     // columns x 158 + 46
  int gridHeight = 0;    // rows x 158 + 8
  int requestWidth = 0;  // grid width + 16
  int requestHeight = 0; // grid height + 16
};
MaskSelectorLayout maskSelectorLayout(int visibleWidth, int visibleHeight, int rowUnit);

// One selector opening. The grid items (one per catalogue entry, pointing at
// the entry's thumbnail and title) live as long as the grid, which reads them
// whenever it draws a cell; destroying the selector deletes the request if it
// is still open and releases the items.
struct MaskSelector {
  RequestDescriptor request{};
  int32_t grid = 0;
  bool requestMade = false;
  VxList items{};

  MaskSelector();
  ~MaskSelector();
  MaskSelector(const MaskSelector &) = delete;
  MaskSelector &operator=(const MaskSelector &) = delete;

  // Deletes the request (when made) and releases the items.
  void close();
};

// Opens the selector on `catalogue` (readied by openMaskCatalogue, so the
// entries have their thumbnails and isCurrent marks) for the visible area of
// the operator's last message. Returns 1 when the requester stands with its
// grid and the current entry's cell selected (the first cell when no entry is
// current, the last current one when several are); 0 when it cannot be made,
// with nothing of it left.
int openMaskSelector(MaskSelector &selector, const MaskCatalogue &catalogue);

// The grid's cell drawer: the thumbnail in a raised frame with the title in a
// strip of 2 x (row unit + 4) below it; a cell without a thumbnail is filled
// with GUI colour 3. Draws into the cell being drawn (panel 0).
void drawMaskCell(GridItem *item, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

} // namespace tileron
