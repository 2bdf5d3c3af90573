#include "editor/anchor_requester.hpp"

#include "editor/editor_run.hpp"
#include "engine/split_mask.hpp"
#include "entry/module.hpp"
#include "support/toolkit.hpp"
#include "vxhost/orvexamsgq.h"
#include "vxhost/orvexares.h"

namespace tileron {

namespace {

constexpr int kRequestWidth = 180;
// Centred, with accept and cancel buttons.
constexpr uint32_t kAnchorRequestFlags = 22;
constexpr uint32_t kAnchorButtonFlags = 0x20000;
constexpr int kButtonWidth = 32;
constexpr int32_t kTitleString = 136;
constexpr int32_t kFirstImage = 200; // images 200..208: anchors 1..9
constexpr int32_t kFirstHelp = 5000; // help texts 5000..5008
// Button columns; the rows lie at 6, 2R + 22 and 4R + 38.
constexpr int kColumnX[3] = {6, 72, 140};
// Keys in reading order: the keypad's rows from the top.
constexpr char kKeys[kAnchorCount] = {'7', '8', '9', '4', '5', '6', '1', '2', '3'};

int rowY(int row, int r) { return row * (2 * r + 16) + 6; }

} // namespace

AnchorReq::~AnchorReq() {
  if (requestMade) creqDeleteRequest(&request);
}

int buildAnchorReq(AnchorReq &req, const ModuleState &module, int16_t currentAnchor) {
  const int r = rowUnit();
  req.request = RequestDescriptor{};
  req.request.width = kRequestWidth;
  req.request.height = int16_t(5 * r + 48);
  req.request.msgQ = msgQCommandGet();
  req.request.flags = kAnchorRequestFlags;
  req.request.title = resGetString(module.strings, kTitleString);

  ExtensionPtr ext(cgAllocGadExt());
  if (!ext) return 0;
  ext->kind = 1;
  if (creqCreateRequest(&req.request) == -1) return 0;
  req.requestMade = true;

  const CgHandle handle = req.request.handle;
  for (int i = 0; i < kAnchorCount; ++i) {
    const int32_t id =
        cgAddImageButton(handle, kColumnX[i % 3], rowY(i / 3, r), kButtonWidth, r + 4,
                         resGetImage(module.images, kFirstImage + i), kAnchorButtonFlags, ext.get());
    if (id == 0) {
      creqDeleteRequest(&req.request);
      req.requestMade = false;
      req.buttons = {};
      return 0;
    }
    req.buttons[std::size_t(i)] = id;
    cgChangeElement(handle, id, CG_ATTR_KEY, kKeys[i], 0);
    cgChangeElement(handle, id, CG_ATTR_HELP_TABLE, intptr_t(module.strings), 0);
    cgChangeElement(handle, id, CG_ATTR_HELP_NUMBER, kFirstHelp + i, 0);
  }
  ext.reset();
  if (currentAnchor >= 1 && currentAnchor <= kAnchorCount)
    cgActivateElement(handle, req.buttons[std::size_t(currentAnchor - 1)]);
  return 1;
}

int chooseAnchor(EditorRun &run) {
  const SplitMask *effect = run.module.effect.get();
  if (!effect) return 0;
  AnchorReq req;
  if (buildAnchorReq(req, run.module, effect->partAlign[std::size_t(effect->currentPart)]) != 1)
    return 0;
  for (;;) {
    const int32_t id = waitForElementEvent(run);
    if (id == 0 || id == req.request.cancelId) return 0;
    for (int i = 0; i < kAnchorCount; ++i)
      if (id == req.buttons[std::size_t(i)]) return i + 1;
  }
}

} // namespace tileron
