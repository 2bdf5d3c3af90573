#include "editor/editor_run.hpp"

#include <algorithm>
#include <new>

#include "bar/bar_style_requester.hpp"
#include "editor/anchor_requester.hpp"
#include "editor/main_panel.hpp"
#include "editor/presets.hpp"
#include "editor/preview_pointer.hpp"
#include "engine/compositing.hpp"
#include "engine/split_mask.hpp"
#include "entry/about.hpp"
#include "entry/module.hpp"
#include "masks/catalogue.hpp"
#include "masks/mask_selector.hpp"
#include "support/report.hpp"
#include "support/toolkit.hpp"
#include "vxhost/oplib.h"
#include "vxhost/orvexa2.h"
#include "vxhost/orvexares.h"

namespace tileron {

namespace {

// Pointer pictures of the operator's image set.
constexpr int32_t kPartPointerImage = 100, kDragPointerImage = 101;
// The editor's request: full screen, no title, no standard buttons.
constexpr uint32_t kEditorRequestFlags = 0x21C0;
// Help texts of the stamp gadget: 5200 + the marker of the part under the pointer.
constexpr int32_t kStampHelpBase = 5200;
// The final event of a slider movement.
constexpr int16_t kFinalPhase = 3;
// Strings: the about box's title and the archive chooser's.
constexpr int32_t kAboutTitle = 10, kArchiveTitle = 101;
// The archive chooser's answers.
constexpr int32_t kArchiveLoad = 4, kArchiveSave = 5, kArchiveDelete = 6;

std::unique_ptr<PointerImage> makePointer(ResHandle images, int32_t number) {
  std::unique_ptr<PointerImage> pointer(new (std::nothrow) PointerImage);
  if (!pointer) return nullptr;
  pointer->image = resGetImage(images, number);
  if (pointer->image) {
    // The resource image's 16-bit width and height; the hot spot is the
    // centre, halves truncated.
    pointer->hotX = int16_t(pointer->image->width / 2);
    pointer->hotY = int16_t(pointer->image->height / 2);
  }
  return pointer;
}

// Shows the whole preview where the panel was (entry 0 of the panel table
// is empty while the panel is away).
void repaintPreview(const SplitMask *effect) {
  if (effect && effect->preview)
    showImageRect(effect->preview.get(), 0, 0, effect->preview->width, effect->preview->height,
                  effect->viewX, effect->viewY, moduleState().panels, 0);
}

// Removes the panel, lets `change` alter the layout flags, repaints the
// preview and builds the panel anew. False, reported, when it cannot be built.
template <typename Change> bool rebuildPanel(EditorRun &run, Change change) {
  EditorPanel &panel = *run.panel;
  removePanel(panel);
  change(panel);
  repaintPreview(run.module.effect.get());
  if (!buildPanel(panel, run.module, run.editorRequest())) {
    TILERON_REPORT(kLevelError, kSrcGuiMain);
    return false;
  }
  refreshPanel(panel, run.module);
  return true;
}

// The host's preview: the holder stays empty while the host runs it (the
// host may set up and render through the entry meanwhile), and a new editor
// instance reads back the settings just stored. False when that fails.
bool runHostPreview(EditorRun &run) {
  ModuleState &module = run.module;
  if (!module.effect || module.effect->maskPath.empty()) return true;
  cgBusyPointer();
  module.effect.reset(); // stores the settings
  cgStandardPointer();
  opPreview(0);
  cgBusyPointer();
  // Whatever the host's render set-up left in the holder goes without storing.
  if (module.effect) module.effect->keepStoredSettings();
  if (!replaceEffect(run, nullptr)) {
    cgStandardPointer();
    return false;
  }
  module.effect->makeBarSwatch();
  refreshPanel(*run.panel, module);
  cgStandardPointer();
  return true;
}

// The mask choice: the selector on the catalogue, and a new editor instance
// for the chosen mask. False when that instance cannot be set up.
bool chooseMask(EditorRun &run) {
  ModuleState &module = run.module;
  MaskCatalogue *catalogue = openMaskCatalogue(module.catalogue, module.effect->maskPath);
  if (!catalogue) return true;
  std::string chosen;
  {
    MaskSelector selector;
    if (openMaskSelector(selector, *catalogue) == 1) {
      for (;;) {
        const int32_t id = waitForElementEvent(run);
        if (id == 0 || id == selector.request.cancelId) break;
        if (id != selector.request.acceptId) continue;
        int32_t cell = -1;
        cgGetElementInfo(selector.request.handle, selector.grid, CG_ATTR_GRID_SELECTED, &cell);
        // List positions count from 1.
        if (VxNode *node = lstNodeAt(&catalogue->list, cell + 1))
          chosen = static_cast<MaskInfo *>(node)->path;
        break;
      }
    }
  } // the selector's request is deleted here
  bool standing = true;
  if (!chosen.empty()) {
    cgBusyPointer();
    standing = replaceEffect(run, chosen.c_str());
    cgStandardPointer();
    if (standing) {
      module.effect->makeBarSwatch();
      refreshPanel(*run.panel, module);
    }
  }
  releaseThumbnails(catalogue);
  return standing;
}

// The archive chooser and the preset operation it names. False when a load
// left no usable effect state.
bool openArchive(EditorRun &run) {
  ModuleState &module = run.module;
  ArchivesRequest request{};
  request.title = resGetString(module.strings, kArchiveTitle);
  const int32_t answer = creqArchivesRequest(&request) == 0 ? request.result : 0;
  if (answer == kArchiveLoad && loadPreset(run) == 0) return false;
  if (answer == kArchiveSave) savePreset(module);
  if (answer == kArchiveDelete) deletePreset(module);
  refreshPanel(*run.panel, module);
  return true;
}

// The bar style requester on the effect's style; whatever its answer, the
// swatch, the bar layer and the panel's button follow the style.
void editBarStyle(EditorRun &run) {
  SplitMask &effect = *run.module.effect;
  {
    PaletteReq req;
    runPaletteReq(req, effect.barStyle, run.quitRequested);
  }
  effect.makeBarSwatch();
  effect.barStyleChanged();
  copyBarSwatch(*run.panel, effect);
  refreshPanel(*run.panel, run.module);
}

} // namespace

bool handleElementEvent(EditorRun &run, const GuiMessage &message) {
  EditorPanel &panel = *run.panel;
  ModuleState &module = run.module;
  SplitMask *effect = module.effect.get();
  const int32_t id = message.id;
  if (id == 0 || !effect) return true;
  const bool final = message.phase == kFinalPhase;
  const int c = effect->currentPart;

  if (id == panel.stampGadget) {
    const int p = effect->partAtStampPoint(run.pointerX - panel.panelX - panel.previewX,
                                           run.pointerY - panel.panelY - panel.previewY);
    if (p == -1) return true;
    if (p != c) effect->selectPart(p);
    refreshPanel(panel, module);
  } else if (id == panel.placementButton) {
    return rebuildPanel(run, [&](EditorPanel &p) { togglePlacement(p, module); });
  } else if (id == panel.compactButton) {
    return rebuildPanel(run, [](EditorPanel &p) { p.compact = 1 - p.compact; });
  } else if (id == panel.pageButton) {
    return rebuildPanel(run, [](EditorPanel &p) { togglePage(p); });
  } else if (id == panel.scaleSlider || id == panel.offsetXSlider ||
             id == panel.offsetYSlider || id == panel.opacitySlider) {
    if (id == panel.scaleSlider)
      effect->setPartScale(int16_t(message.value));
    else if (id == panel.offsetXSlider)
      effect->setPartOffsetXPercent(-message.value);
    else if (id == panel.offsetYSlider)
      effect->setPartOffsetYPercent(-message.value);
    else
      effect->setPartOpacity(int16_t(message.value));
    if (final) effect->showPreview(true);
    refreshPartControls(panel, *effect);
  } else if (id == panel.defaultsCheckBox) {
    effect->resetPart();
    refreshPanel(panel, module);
  } else if (id == panel.barWidthSlider) {
    effect->setBarWidth(int16_t(message.value));
    if (final) effect->showPreview(true);
  } else if (id == panel.partSlider) {
    int32_t value = 0;
    cgGetElementInfo(panel.panelHandle, panel.partSlider, CG_ATTR_SLIDER_VALUE_GET, &value);
    const int p = value - 1;
    if (p >= 0 && p < std::min<int>(effect->partCount, kMaxParts)) {
      if (final) {
        // Intermediate events may have made p current without rebuilding
        // the composite; it must hold every part but the current one.
        if (p != c)
          effect->selectPart(p);
        else
          effect->composeParts(effect->composite.get(), effect->inputImage.get(), p, false, 0);
      } else if (p != c) {
        effect->currentPart = int16_t(p);
        effect->refreshStampView();
      }
    }
    refreshPanel(panel, module);
  } else if (id == panel.sceneButton) {
    // The host's requester takes the scene ID as 16 bits.
    const int32_t scene = mainSelectSceneRequesterExt(int16_t(effect->partScene[c]), 1);
    if (scene != 0) {
      effect->setPartScene(scene);
      effect->resetPart();
      refreshPanel(panel, module);
    }
  } else if (id == panel.sceneClearButton) {
    effect->setPartScene(0);
    effect->resetPart();
    refreshPanel(panel, module);
  } else if (id == panel.previewButton) {
    return runHostPreview(run);
  } else if (id == panel.exitButton) {
    return false;
  } else if (id == panel.barStyleButton) {
    editBarStyle(run);
  } else if (id == panel.archiveButton) {
    return openArchive(run);
  } else if (id == panel.maskButton) {
    return chooseMask(run);
  } else if (id == panel.anchorButton) {
    const int anchor = chooseAnchor(run);
    if (anchor != 0) {
      effect->setPartAlign(int16_t(anchor));
      refreshPanel(panel, module);
    }
  } else if (id == panel.aboutButton) {
    xchar about[kAboutCapacity];
    buildAboutText(about, kAboutCapacity);
    showTextRequest(resGetString(module.strings, kAboutTitle), about, kTextMessage);
  }
  return true;
}

void updateStampHelp(const EditorRun &run, int x, int y) {
  const EditorPanel &panel = *run.panel;
  const SplitMask *effect = run.module.effect.get();
  if (!effect || panel.stampGadget == 0) return;
  const OpImage *map = effect->stampMap.get();
  const int lx = x - panel.panelX - panel.previewX, ly = y - panel.panelY - panel.previewY;
  if (!map || map->kind != OP_KIND_8 || lx < 0 || ly < 0 || lx >= map->width || ly >= map->height)
    return;
  const int v = map->pixels[size_t(ly) * size_t(map->width) + size_t(lx)];
  if (v >= std::min<int>(effect->partCount, kMaxParts) || effect->partMarker[v] == -1) return;
  cgChangeElement(panel.panelHandle, panel.stampGadget, CG_ATTR_HELP_NUMBER,
                  kStampHelpBase + effect->partMarker[v], 0);
}

namespace {

// A press that picks: on the current part with a scene it starts a drag
// (Shift: mode 1), on another part it makes that part current.
void handlePress(EditorRun &run, const GuiMessage &message) {
  const int p = pickPartAtPointer(run);
  SplitMask *effect = run.module.effect.get();
  if (p == -1 || !effect) return;
  if (p != effect->currentPart) {
    effect->selectPart(p);
    refreshPanel(*run.panel, run.module);
  } else if (effect->partScene[p] != 0) {
    dragPicture(run, message.qualifier == GUI_QUALIFIER_SHIFT ? kDragFollow : kDragVirtual);
  }
}

} // namespace

EditorRun::EditorRun(ModuleState &m, const OperatorMessage &msg) : module(m), message(msg) {}

bool EditorRun::makePointers() {
  partPointer = makePointer(module.images, kPartPointerImage);
  dragPointer = makePointer(module.images, kDragPointerImage);
  return partPointer && dragPointer;
}

EditorRun::~EditorRun() {
  partPointer.reset();
  dragPointer.reset();
  module.effect.reset(); // stores the settings of a successful set-up
  if (requestMade) creqDeleteRequest(&request);
  requestMade = false;
  quitRequested = 0;
}

bool receiveMessage(EditorRun &run, GuiMessage &message) {
  const int32_t got = cgMsgQReceive(&message, -1);
  if (got == int32_t(sizeof(GuiMessage))) return true;
  TILERON_REPORT(kLevelError, kSrcGuiMain);
  if (got < 0) run.quitRequested = 1;
  return false;
}

bool replaceEffect(EditorRun &run, const char *maskPath) {
  ModuleState &module = run.module;
  module.effect.reset(); // stores the settings before the new state reads them
  module.effect.reset(new (std::nothrow) SplitMask(moduleParts(module)));
  if (!module.effect ||
      !module.effect->setupEditor(maskPath, cgGetScreenWidth(), cgGetScreenHeight(),
                                  run.message.effectValue)) {
    TILERON_REPORT(kLevelError, kSrcGuiMain);
    return false;
  }
  return true;
}

int32_t waitForElementEvent(EditorRun &run) {
  while (run.quitRequested != 1) {
    GuiMessage message{};
    if (!receiveMessage(run, message)) continue;
    if (message.kind == GUI_MSG_CLOSE)
      run.quitRequested = 1;
    else if (message.kind == GUI_MSG_ELEMENT && message.id != 0)
      return message.id;
  }
  return 0;
}

int runEventLoop(EditorRun &run) {
  std::unique_ptr<EditorPanel> panel(new (std::nothrow) EditorPanel);
  if (!panel) return 0;
  run.panel = panel.get();
  struct Detach {
    EditorRun &run;
    ~Detach() { run.panel = nullptr; }
  } detach{run};
  if (!buildPanel(*panel, run.module, run.editorRequest())) {
    TILERON_REPORT(kLevelError, kSrcGuiMain);
    return 0;
  }
  refreshPanel(*panel, run.module);

  for (;;) {
    cgGetPointerPos(&run.pointerX, &run.pointerY);
    updatePointerShape(run, run.pointerX, run.pointerY);
    updateStampHelp(run, run.pointerX, run.pointerY);
    if (run.quitRequested == 1) break;
    GuiMessage message{};
    if (!receiveMessage(run, message)) continue;
    if (message.kind == GUI_MSG_CLOSE) {
      run.quitRequested = 1;
      break;
    }
    if (message.kind == GUI_MSG_POINTER_BUTTON) {
      // The press that picks and drags: the left button, with Shift the
      // toolkit adds its qualifier bit to the code.
      const int code = message.id & 0xFFFF;
      if (code == GUI_BUTTON_LEFT_PRESS || code == (GUI_BUTTON_LEFT_PRESS | GUI_QUALIFIER_SHIFT))
        handlePress(run, message);
    } else if (message.kind == GUI_MSG_ELEMENT) {
      if (!handleElementEvent(run, message)) break;
    }
  }
  removePanel(*panel);
  panel->barButtonImage.reset();
  panel.reset();
  cgColorBarOn();
  return 1;
}

void runEditor(ModuleState &module, const OperatorMessage &message) {
  // An effect state a render set-up left behind goes first, storing
  // nothing: the editor's instance owns the holder alone.
  if (module.effect) module.effect->keepStoredSettings();
  module.effect.reset();

  EditorRun run(module, message); // its end is the end of the run
  cgBusyPointer();
  const bool started = startEditor(run);
  cgStandardPointer();
  if (started) runEventLoop(run);
}

bool startEditor(EditorRun &run) {
  ModuleState &module = run.module;
  if (!run.makePointers()) {
    TILERON_REPORT(kLevelError, kSrcGuiMain);
    return false;
  }
  module.panels = {};

  const int width = cgGetScreenWidth(), height = cgGetScreenHeight();
  run.request = RequestDescriptor{};
  run.request.width = int16_t(width);
  run.request.height = int16_t(height);
  run.request.msgQ = cgGetOutputMsgQ();
  run.request.flags = kEditorRequestFlags;
  if (creqCreateRequest(&run.request) == -1) {
    TILERON_REPORT(kLevelError, kSrcGuiMain);
    return false;
  }
  run.requestMade = true;

  if (!replaceEffect(run, nullptr)) return false;
  cgSetClipRect(run.editorRequest(), 0, 0, width - 1, height - 1);
  return true;
}

} // namespace tileron
