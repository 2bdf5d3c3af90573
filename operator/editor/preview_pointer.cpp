#include "editor/preview_pointer.hpp"

#include <algorithm>

#include "editor/editor_run.hpp"
#include "editor/main_panel.hpp"
#include "engine/split_mask.hpp"
#include "entry/module.hpp"
#include "vxhost/orvexagui.h"

namespace tileron {

namespace {

// Mask bytes above this are outside the part for the pointer: the soft edge
// beyond belongs to whatever lies behind.
constexpr uint8_t kGrabLimit = 240;

// Pointer shapes of cgSetPointerAttrs.
constexpr intptr_t kShapeStandard = 1, kShapeImage = 3;

// The stamp view inside the stamp gadget, as the preview pick sees it: a
// 2-pixel inset and the 150 x 84 map inside.
constexpr int kPickInset = 2, kStampViewWidth = 150, kStampViewHeight = 84;

void setStandardPointer() {
  const intptr_t tags[] = {CG_PTR_TAG_BEGIN, 1, CG_PTR_TAG_SHAPE, kShapeStandard, 0};
  cgSetPointerAttrs(tags);
}

// A pointer record without a picture shows the standard pointer.
void setPointer(const PointerImage *pointer) {
  if (!pointer || !pointer->image) {
    setStandardPointer();
    return;
  }
  const intptr_t tags[] = {CG_PTR_TAG_BEGIN, 1,
                           CG_PTR_TAG_IMAGE, intptr_t(pointer->image),
                           CG_PTR_TAG_HOT_X, pointer->hotX,
                           CG_PTR_TAG_HOT_Y, pointer->hotY,
                           CG_PTR_TAG_SHAPE, kShapeImage,
                           0};
  cgSetPointerAttrs(tags);
}

int16_t clampToShort(int value) { return int16_t(std::clamp(value, int(INT16_MIN), int(INT16_MAX))); }

} // namespace

bool insidePanelArea(const ModuleState &module, int x, int y) {
  for (const PanelRect &r : module.panels)
    if (r.width != 0 && x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height)
      return true;
  return false;
}

void updatePointerShape(EditorRun &run, int x, int y) {
  const SplitMask *effect = run.module.effect.get();
  if (insidePanelArea(run.module, x, y) || !effect) {
    setStandardPointer();
    return;
  }
  const int c = effect->currentPart;
  const OpImage *mask = c >= 0 && c < kMaxParts ? effect->partMask[c].get() : nullptr;
  const int px = x - effect->viewX, py = y - effect->viewY;
  if (!mask || mask->kind != OP_KIND_8 || px < 0 || py < 0 || px >= mask->width ||
      py >= mask->height || mask->pixels[size_t(py) * size_t(mask->width) + size_t(px)] > kGrabLimit ||
      effect->partScene[c] == 0) {
    setStandardPointer();
    return;
  }
  setPointer(run.partPointer.get());
}

int pickPartAtPointer(EditorRun &run) {
  const SplitMask *effect = run.module.effect.get();
  if (!effect) return -1;
  int32_t x = 0, y = 0;
  cgGetPointerPos(&x, &y);
  if (!insidePanelArea(run.module, x, y)) return effect->partAtPreviewPoint(x, y);
  const EditorPanel *panel = run.panel;
  if (!panel || panel->showMaskGroup != 1 || panel->compact != 0) return -1;
  const int lx = x - panel->panelX - kPickInset - panel->previewX;
  const int ly = y - panel->panelY - kPickInset - panel->previewY;
  if (!(lx > 0 && lx < kStampViewWidth && ly > 0 && ly < kStampViewHeight)) return -1;
  return effect->partAtStampPoint(lx, ly);
}

void dragPicture(EditorRun &run, int mode) {
  SplitMask *effect = run.module.effect.get();
  if (!effect) return;
  const int c = effect->currentPart;
  if (c < 0 || c >= kMaxParts) return;
  const int16_t startX = effect->partOffsetX[c], startY = effect->partOffsetY[c];
  int32_t homeX = 0, homeY = 0;
  cgGetPointerPos(&homeX, &homeY);
  int32_t lastX = homeX, lastY = homeY;
  const int32_t centreX = cgGetScreenWidth() / 2, centreY = cgGetScreenHeight() / 2;
  if (mode == kDragVirtual) {
    cgVirtualPointerOn(0);
    cgMoveVirtualPointer(centreX, centreY);
    // Movements are measured from where the pointer now is, the centre, so
    // that the first one does not count the jump there.
    cgGetPointerPos(&lastX, &lastY);
  } else {
    setPointer(run.dragPointer.get());
  }

  bool dragging = true;
  while (dragging && run.quitRequested != 1) {
    GuiMessage message{};
    if (!receiveMessage(run, message)) continue;
    switch (message.kind) {
    case GUI_MSG_CLOSE:
      run.quitRequested = 1;
      dragging = false;
      break;
    case GUI_MSG_POINTER_BUTTON: {
      const int code = message.id & 0xFFFF;
      const bool ends = mode == kDragVirtual
                            ? code == GUI_BUTTON_LEFT_PRESS || code == GUI_BUTTON_LEFT_RELEASE
                            : code == (GUI_BUTTON_LEFT_PRESS | GUI_QUALIFIER_SHIFT) ||
                                  code == (GUI_BUTTON_LEFT_RELEASE | GUI_QUALIFIER_SHIFT);
      if (ends) {
        dragging = false;
      } else if (code == GUI_BUTTON_RIGHT_PRESS) {
        effect->setPartOffset(startX, startY);
        if (run.panel) refreshPanel(*run.panel, run.module);
        dragging = false;
      }
      break;
    }
    case GUI_MSG_POINTER_MOVED: {
      int32_t nx = 0, ny = 0;
      cgGetPointerPos(&nx, &ny);
      int dx = 0, dy = 0;
      if (mode == kDragVirtual) {
        dx = nx - lastX;
        dy = ny - lastY;
        cgMoveVirtualPointer(centreX, centreY);
        cgGetPointerPos(&lastX, &lastY);
      } else {
        cgGetPointerPos(&nx, &ny);
        dx = nx - lastX;
        dy = ny - lastY;
        lastX = nx;
        lastY = ny;
      }
      // A movement to the right lowers the offset: the picture follows.
      effect->setPartOffset(clampToShort(effect->partOffsetX[c] - dx),
                            clampToShort(effect->partOffsetY[c] - dy));
      if (run.panel) refreshPanel(*run.panel, run.module);
      break;
    }
    default: break;
    }
  }
  effect->showPreview(true);
  if (mode == kDragVirtual) {
    cgMoveVirtualPointer(homeX, homeY);
    cgVirtualPointerOff(0);
  } else {
    setPointer(run.partPointer.get());
  }
}

} // namespace tileron
