#include "editor/main_panel.hpp"

#include <cstring>
#include <memory>

#include "engine/split_mask.hpp"
#include "entry/module.hpp"
#include "vxhost/orvexares.h"
#include "vxhost/xchar.h"

namespace tileron {

namespace {

// Panel and element flags as the toolkit takes them.
constexpr uint32_t kMainPanelFlags = 256, kMainPanelFlags2 = 2048;
constexpr uint32_t kGroupPanelFlags = 64;
constexpr uint32_t kSliderFlags = 0x130000;
constexpr uint32_t kClickGadgetFlags = 0x10000;
constexpr int32_t kLabelStyle = 17;    // box text: left-aligned label
constexpr int32_t kSunkenFrame = 4;    // the frame of the three left buttons
constexpr int32_t kRaisedFrame = 11;   // the stamp gadget's frame
constexpr int32_t kFrameWidth = 5;

// Pictures of the toolkit's own image set.
constexpr int32_t kGuiPlacementImage = 20, kGuiCompactImage = 43, kGuiExitImage = 48,
                  kGuiAboutImage = 69;
// Pictures of the operator's image set.
constexpr int32_t kAnchorImageBase = 199; // 199 no anchor, 200..208 anchors 1..9
constexpr int32_t kCentreAnchorImage = 204;
constexpr int32_t kSceneClearImage = 301;
constexpr int32_t kToPartPageImage = 400, kToMaskPageImage = 401;

// Texts of the operator's string table.
enum : int32_t {
  kTextPreview = 100, kTextArchive = 101,
  kTextBarGroup = 110, kTextBarWidth = 111, kTextNoUnit = 112, kTextBarStyle = 113,
  kTextMaskGroup = 120, kTextMask = 121, kTextPart = 122, kTextScene = 123,
  kTextPartGroup = 130, kTextScale = 131, kTextPercent = 132, kTextOffsetX = 133,
  kTextOffsetY = 134, kTextOpacity = 135, kTextAnchor = 136, kTextDefaults = 137,
  kTextOpacityUnit = 4624,
};
// Help texts.
enum : int32_t {
  kHelpPartSlider = 5009, kHelpSceneClear = 5010, kHelpExit = 5011,
  kHelpToPartPage = 5012, kHelpToMaskPage = 5013, kHelpStamp = 5200,
};
// Keys (attribute 57): characters, and two of the toolkit's key codes.
constexpr int32_t kKeySceneClear = 0x2E002, kKeyExit = 0x100065;

// Slider ranges and start values.
constexpr int32_t kScaleLowest = 10, kScaleHighest = 200, kScaleStart = 100;
constexpr int32_t kOffsetLimit = 50;
constexpr int32_t kOpacityHighest = 255;
constexpr int32_t kPartSliderHighest = 9;
constexpr int32_t kBarWidthHighest = 100, kBarWidthStart = 15;

// The stamp gadget: the stamp view (150 x 84) with a 4-pixel border.
constexpr int32_t kStampGadgetWidth = 158, kStampGadgetHeight = 92;
constexpr int32_t kStampViewInset = 4;

const ResImage *guiImage(int32_t number) { return resGetImage(cgGetGuiResource(), number); }

// Creates the elements of one layout. After the first refusal every further
// call does nothing, so a layout is written as a plain sequence and checked
// once at its end.
class Builder {
public:
  Builder(EditorPanel &panel, ModuleState &module) : p_(panel), module_(module), r_(rowUnit()) {}

  bool failed() const { return failed_; }
  int16_t r() const { return r_; }
  // Rows of the main panel and of a group panel.
  int y1() const { return r_ + 14; }
  int y2() const { return 2 * r_ + 22; }
  int y3() const { return 3 * r_ + 30; }
  int g1() const { return 8; }
  int g2() const { return r_ + 16; }
  int g3() const { return 2 * r_ + 24; }
  int controlHeight() const { return r_ + 4; }

  CgHandle mainPanel(CgHandle request, int width) {
    if (failed_) return 0;
    p_.panelHandle = cgCreatePanel(request, p_.panelX, p_.panelY, width, p_.panelHeight,
                                   kMainPanelFlags, kMainPanelFlags2, 0);
    failed_ = p_.panelHandle == 0;
    return p_.panelHandle;
  }

  CgHandle group(int x, int width, int32_t title) {
    if (failed_) return 0;
    const CgHandle g = cgCreatePanel(p_.panelHandle, x, r_ + 6, width, 3 * r_ + 36,
                                     kGroupPanelFlags, 0, 0);
    failed_ = g == 0;
    if (g != 0 && title != 0) cgDrawPanelTitle(g, text(title));
    return g;
  }

  // The three buttons at the panel's left, in their frame.
  void leftButtons() {
    if (failed_) return;
    cgDrawBoxNew(p_.panelHandle, 10, r_ + 6, 57, 4 * r_ + 41, kSunkenFrame, kFrameWidth, 0, 0);
    const CgHandle m = p_.panelHandle;
    p_.placementButton = made(m, cgAddImageButton(m, 18, y3(), 32, controlHeight(),
                                                  guiImage(kGuiPlacementImage), 0, nullptr), 'y');
    p_.compactButton = made(m, cgAddImageButton(m, 18, y2(), 32, controlHeight(),
                                                guiImage(kGuiCompactImage), 0, nullptr), 'x');
    p_.aboutButton = made(m, cgAddImageButton(m, 18, y1(), 32, controlHeight(),
                                              guiImage(kGuiAboutImage), 0, nullptr), 'i');
  }

  // ---- the part settings; opacity, anchor and defaults share one extension ----
  void beginPartGroup() {
    if (failed_) return;
    ext_.reset(cgAllocGadExt());
    failed_ = !ext_;
  }
  void scaleSlider(CgHandle g, int x, int y) {
    p_.scaleSlider = made(g, slider(g, x, y, 136, kScaleLowest, kScaleHighest, kScaleStart,
                                    text(kTextScale), text(kTextPercent), nullptr), 'z');
  }
  void offsetXSlider(CgHandle g, int x, int y) {
    p_.offsetXSlider = made(g, slider(g, x, y, 136, -kOffsetLimit, kOffsetLimit, 0,
                                      text(kTextOffsetX), text(kTextNoUnit), nullptr), 'h');
  }
  void offsetYSlider(CgHandle g, int x, int y) {
    p_.offsetYSlider = made(g, slider(g, x, y, 136, -kOffsetLimit, kOffsetLimit, 0,
                                      text(kTextOffsetY), text(kTextNoUnit), nullptr), 'v');
  }
  void opacitySlider(CgHandle g, int x, int y) {
    if (failed_) return;
    ext_->callback.sliderText = formatOpacityPercent;
    ext_->label = nullptr;
    p_.opacitySlider = made(g, slider(g, x, y, 136, 0, kOpacityHighest, 0, text(kTextOpacity),
                                      text(kTextOpacityUnit), ext_.get()), 'a');
  }
  void anchorButton(CgHandle g, int x, int y) {
    if (failed_) return;
    ext_->callback.any = nullptr;
    ext_->label = text(kTextAnchor);
    p_.anchorButton = made(g, cgAddImageButton(g, x, y, 32, controlHeight(),
                                               image(kAnchorImageBase), 0, ext_.get()), 'e');
  }
  void defaultsCheckBox(CgHandle g, int x, int y) {
    if (failed_) return;
    ext_->label = text(kTextDefaults);
    p_.defaultsCheckBox = made(g, cgAddCheckBox(g, x, y, 32, controlHeight(), 1, 0, ext_.get()),
                               'o');
    ext_.reset();
  }

  // ---- stamp gadget, mask and scenes (the stamp gadget is on the main panel) ----
  void stampGadget(int x, int y) {
    if (failed_) return;
    const CgHandle m = p_.panelHandle;
    cgDrawBoxNew(m, p_.previewX, r_ + 14, p_.previewX + kStampGadgetWidth - 1, r_ + 105,
                 kRaisedFrame, kFrameWidth, 0, 0);
    p_.stampGadget = made(m, cgAddClickGadget(m, x, y, kStampGadgetWidth, kStampGadgetHeight,
                                              kClickGadgetFlags, 0), 0, kHelpStamp);
  }
  void maskButton(CgHandle g, int x, int y, int width) {
    p_.maskButton = made(g, textButton(g, x, y, width, kTextMask), 't');
  }
  void partSlider(CgHandle g, int x, int y) {
    p_.partSlider = made(g, slider(g, x, y, 102, 1, kPartSliderHighest, 1, text(kTextPart),
                                   text(kTextNoUnit), nullptr), 'n', kHelpPartSlider);
  }
  void sceneButton(CgHandle g, int x, int y, int width) {
    p_.sceneButton = made(g, textButton(g, x, y, width, kTextScene), 's');
  }
  void sceneClearButton(CgHandle g, int x, int y, int width) {
    if (failed_) return;
    p_.sceneClearButton = made(g, cgAddImageButton(g, x, y, width, controlHeight(),
                                                   image(kSceneClearImage), 0, nullptr),
                               kKeySceneClear, kHelpSceneClear);
  }

  // ---- bar ----
  void label(CgHandle g, int x, int y, int32_t number) {
    if (failed_) return;
    failed_ = cgBoxText(g, text(number), x, y, 100, controlHeight(), kLabelStyle) == 0;
  }
  void barWidthSlider(CgHandle g, int x, int y, int width) {
    p_.barWidthSlider = made(g, slider(g, x, y, width, 0, kBarWidthHighest, kBarWidthStart,
                                       nullptr, text(kTextNoUnit), nullptr), 'b');
  }
  void barStyleButton(CgHandle g, int x, int y) {
    if (failed_) return;
    if (module_.effect) copyBarSwatch(p_, *module_.effect);
    p_.barStyleButton = made(g, cgAddStampButton(g, x, y, 66, 2 * r_ + 12,
                                                 p_.barButtonImage.get(), 0, 0, 0), 'c');
  }

  // ---- buttons ----
  void previewButton(CgHandle g, int x, int y, int width) {
    p_.previewButton = made(g, textButton(g, x, y, width, kTextPreview), 'p');
  }
  void archiveButton(CgHandle g, int x, int y, int width) {
    p_.archiveButton = made(g, textButton(g, x, y, width, kTextArchive), 'r');
  }
  void pageButton(CgHandle g, int x, int y) {
    if (failed_) return;
    const bool maskPage = p_.showMaskGroup == 1;
    p_.pageButton = made(g, cgAddImageButton(g, x, y, 66, controlHeight(),
                                             image(maskPage ? kToPartPageImage : kToMaskPageImage),
                                             0, nullptr),
                         'm', maskPage ? kHelpToPartPage : kHelpToMaskPage);
  }
  void exitButton(CgHandle g, int x, int y) {
    if (failed_) return;
    p_.exitButton = made(g, cgAddImageButton(g, x, y, 32, controlHeight(),
                                             guiImage(kGuiExitImage), 0, nullptr),
                         kKeyExit, kHelpExit);
  }

private:
  const xchar *text(int32_t number) const { return resGetString(module_.strings, number); }
  const ResImage *image(int32_t number) const { return resGetImage(module_.images, number); }

  int32_t slider(CgHandle g, int x, int y, int width, int32_t lowest, int32_t highest,
                 int32_t value, const xchar *text1, const xchar *text2,
                 const ElementExtension *ext) {
    if (failed_) return 0;
    return cgAddSlider(g, x, y, width, controlHeight(), lowest, highest, value, text1, text2,
                       kSliderFlags, ext);
  }
  int32_t textButton(CgHandle g, int x, int y, int width, int32_t number) {
    if (failed_) return 0;
    return cgAddTextButton(g, x, y, width, controlHeight(), text(number), 0, nullptr);
  }

  // Notes a refused element; otherwise gives it its key and help text
  // (0: none) and returns its id.
  int32_t made(CgHandle g, int32_t id, int32_t key, int32_t help = 0) {
    if (failed_) return 0;
    if (id == 0) {
      failed_ = true;
      return 0;
    }
    if (key != 0) cgChangeElement(g, id, CG_ATTR_KEY, key, 0);
    if (help != 0) {
      cgChangeElement(g, id, CG_ATTR_HELP_TABLE, intptr_t(module_.strings), 0);
      cgChangeElement(g, id, CG_ATTR_HELP_NUMBER, help, 0);
    }
    return id;
  }

  EditorPanel &p_;
  ModuleState &module_;
  const int16_t r_;
  bool failed_ = false;
  ExtensionPtr ext_;
};

} // namespace

void EditorPanel::clearElements() {
  panelHandle = 0;
  placementButton = compactButton = aboutButton = 0;
  scaleSlider = offsetXSlider = offsetYSlider = opacitySlider = 0;
  anchorButton = defaultsCheckBox = 0;
  stampGadget = maskButton = partSlider = sceneButton = sceneClearButton = 0;
  barWidthSlider = barStyleButton = 0;
  previewButton = archiveButton = pageButton = exitButton = 0;
}

int buildPanel(EditorPanel &p, ModuleState &module, CgHandle request) {
  p.clearElements();
  const int screenWidth = cgGetScreenWidth();
  const bool wide = screenWidth >= kWideScreenWidth;
  if (wide) {
    p.layoutWidth = kWideLayoutWidth;
    p.showPartGroup = p.showMaskGroup = 1;
    p.previewX = 470;
  } else {
    p.layoutWidth = p.showPartGroup == 1 ? kPartPageWidth : kMaskPageWidth;
    p.previewX = 74;
  }
  Builder b(p, module);
  const int16_t r = b.r();
  p.previewY = int16_t(r + 14);
  p.panelX = int16_t((screenWidth - p.layoutWidth) / 2);
  p.panelHeight = int16_t(4 * r + 50);
  p.panelY = int16_t(p.placedAtTop == 1 ? module.visibleTop : module.visibleBottom - 4 * r - 49);
  p.panelWidth = p.compact == 1 ? kCompactWidth : p.layoutWidth;

  if (p.compact == 1) {
    b.mainPanel(request, kCompactWidth);
    b.leftButtons();
    if (!b.failed()) setPanelArea(0, p.panelX, p.panelY, kCompactWidth, p.panelHeight);
  } else {
    setPanelArea(0, p.panelX, p.panelY, p.panelWidth, p.panelHeight);
    const CgHandle m = b.mainPanel(request, p.panelWidth);
    if (wide) {
      b.group(66, 388, kTextPartGroup);
      b.group(462, 344, kTextMaskGroup);
      b.group(814, 218, kTextBarGroup);
      b.group(1040, 150, 0);
      b.leftButtons();
      b.beginPartGroup();
      b.scaleSlider(m, 140, b.y1());
      b.offsetXSlider(m, 310, b.y1());
      b.offsetYSlider(m, 310, b.y2());
      b.opacitySlider(m, 140, b.y2());
      b.anchorButton(m, 242, b.y3());
      b.defaultsCheckBox(m, 412, b.y3());
      b.stampGadget(470, b.y1());
      b.maskButton(m, 630, b.y1(), 168);
      b.partSlider(m, 696, b.y2());
      b.sceneButton(m, 630, b.y3(), 134);
      b.sceneClearButton(m, 766, b.y3(), 32);
      b.label(m, 822, b.y1(), kTextBarWidth);
      b.barWidthSlider(m, 890, b.y1(), 134);
      b.label(m, 822, b.y2(), kTextBarStyle);
      b.barStyleButton(m, 958, b.y2());
      b.previewButton(m, 1048, b.y1(), 134);
      b.archiveButton(m, 1048, b.y2(), 134);
      b.exitButton(m, 1150, b.y3());
    } else if (p.showMaskGroup == 1) {
      b.group(66, 242, kTextMaskGroup);
      b.group(316, 184, kTextBarGroup);
      const CgHandle buttons = b.group(508, 116, 0);
      b.leftButtons();
      b.stampGadget(74, b.y1());
      b.maskButton(m, 234, b.y1(), 66);
      b.sceneButton(m, 234, b.y2(), 66);
      b.sceneClearButton(m, 234, b.y3(), 66);
      b.label(m, 324, b.y1(), kTextBarWidth);
      b.barWidthSlider(m, 392, b.y1(), 100);
      b.label(m, 324, b.y2(), kTextBarStyle);
      b.barStyleButton(m, 426, b.y2());
      b.previewButton(buttons, 8, b.g1(), 100);
      b.archiveButton(buttons, 8, b.g2(), 100);
      b.pageButton(buttons, 8, b.g3());
      b.exitButton(buttons, 76, b.g3());
    } else {
      const CgHandle part = b.group(66, 388, kTextPartGroup);
      const CgHandle buttons = b.group(462, 116, 0);
      b.leftButtons();
      b.previewButton(buttons, 8, b.g1(), 100);
      b.archiveButton(buttons, 8, b.g2(), 100);
      b.pageButton(buttons, 8, b.g3());
      b.exitButton(buttons, 76, b.g3());
      b.beginPartGroup();
      b.scaleSlider(part, 74, b.g1());
      b.offsetXSlider(part, 244, b.g1());
      b.offsetYSlider(part, 244, b.g2());
      b.opacitySlider(part, 74, b.g2());
      b.anchorButton(part, 176, b.g3());
      b.defaultsCheckBox(part, 346, b.g3());
    }
  }
  if (!b.failed()) return 1;
  // A refused panel or element: nothing half-built stays on the screen.
  setPanelArea(0, 0, 0, 0, 0);
  if (p.panelHandle != 0) cgRemovePanel(p.panelHandle);
  p.clearElements();
  return 0;
}

void removePanel(EditorPanel &p) {
  setPanelArea(0, 0, 0, 0, 0);
  if (p.panelHandle != 0) cgRemovePanel(p.panelHandle);
  p.clearElements();
}

namespace {

// A value or picture change on the main panel, redrawn at once; elements the
// layout lacks are left alone.
void change(const EditorPanel &p, int32_t element, int32_t attribute, intptr_t value) {
  if (element != 0) cgChangeElement(p.panelHandle, element, attribute, value, 1);
}

void enable(const EditorPanel &p, int32_t element, bool on) {
  if (element == 0) return;
  if (on)
    cgEnableElement(p.panelHandle, element);
  else
    cgDisableElement(p.panelHandle, element);
}

void drawStampView(const EditorPanel &p, const SplitMask &effect) {
  if (p.showMaskGroup == 1 && effect.stampView)
    cgWriteImage(p.panelHandle, effect.stampView.get(), p.previewX + kStampViewInset,
                 p.previewY + kStampViewInset);
}

// The shown offset: minus the offset in percent of the picture size,
// truncating; 0 without a picture.
int32_t shownOffset(int16_t offset, int size) { return size > 0 ? -(offset * 100 / size) : 0; }

} // namespace

void refreshPanel(EditorPanel &p, ModuleState &module) {
  SplitMask *effect = module.effect.get();
  if (p.compact == 1 || !effect || p.panelHandle == 0) return;
  const int k = effect->currentPart;
  if (k < 0 || k >= kMaxParts) return;
  // The host's scene test reads 16 bits of the ID.
  const bool hasScene = (effect->partScene[k] & 0xFFFF) != 0;

  change(p, p.barWidthSlider, CG_ATTR_SLIDER_VALUE, effect->barWidth);
  if (p.showPartGroup == 1 && p.showMaskGroup == 1) {
    // The maximum first, so that the toolkit never holds the new value
    // against the last mask's part count.
    change(p, p.partSlider, CG_ATTR_SLIDER_MAX, effect->partCount);
    change(p, p.partSlider, CG_ATTR_SLIDER_VALUE, k + 1);
  }
  const ResHandle images = module.images;
  if (p.showPartGroup == 1) {
    for (int32_t slider : {p.scaleSlider, p.offsetXSlider, p.offsetYSlider, p.opacitySlider})
      enable(p, slider, hasScene);
    enable(p, p.anchorButton, hasScene);
    if (hasScene) {
      const int16_t align = effect->partAlign[k];
      // An anchor outside 1..9 places the picture like the centre one.
      const int32_t anchorImage = align >= 1 && align <= 9 ? kAnchorImageBase + align
                                                           : kCentreAnchorImage;
      change(p, p.anchorButton, CG_ATTR_IMAGE_PICTURE, intptr_t(resGetImage(images, anchorImage)));
      const OpImage *picture = effect->partImage[k].get();
      change(p, p.scaleSlider, CG_ATTR_SLIDER_VALUE, effect->partScale[k]);
      change(p, p.offsetXSlider, CG_ATTR_SLIDER_VALUE,
             shownOffset(effect->partOffsetX[k], picture ? picture->width : 0));
      change(p, p.offsetYSlider, CG_ATTR_SLIDER_VALUE,
             shownOffset(effect->partOffsetY[k], picture ? picture->height : 0));
      change(p, p.opacitySlider, CG_ATTR_SLIDER_VALUE, effect->partOpacity[k]);
      refreshPartControls(p, *effect);
    } else {
      change(p, p.anchorButton, CG_ATTR_IMAGE_PICTURE,
             intptr_t(resGetImage(images, kCentreAnchorImage)));
      change(p, p.scaleSlider, CG_ATTR_SLIDER_VALUE, kScaleStart);
      change(p, p.offsetXSlider, CG_ATTR_SLIDER_VALUE, 0);
      change(p, p.offsetYSlider, CG_ATTR_SLIDER_VALUE, 0);
      change(p, p.opacitySlider, CG_ATTR_SLIDER_VALUE, kOpacityHighest);
      change(p, p.defaultsCheckBox, CG_ATTR_CHECK_STATE, 1);
    }
  }
  if (p.showMaskGroup == 1) {
    enable(p, p.sceneClearButton, hasScene);
    drawStampView(p, *effect);
  }
  if (!p.barButtonImage) copyBarSwatch(p, *effect);
  if (p.barButtonImage)
    change(p, p.barStyleButton, CG_ATTR_STAMP_PICTURE, intptr_t(p.barButtonImage.get()));
}

void refreshPartControls(EditorPanel &p, const SplitMask &effect) {
  const int k = effect.currentPart;
  if (k < 0 || k >= kMaxParts) return;
  if (p.showPartGroup == 1) {
    const bool defaults = effect.partOffsetX[k] == 0 && effect.partOffsetY[k] == 0 &&
                          effect.partScale[k] == effect.partMaskScale[k] &&
                          effect.partOpacity[k] == 255 && effect.partAlign[k] == 5;
    change(p, p.defaultsCheckBox, CG_ATTR_CHECK_STATE, defaults ? 1 : 0);
  }
  drawStampView(p, effect);
}

void copyBarSwatch(EditorPanel &p, SplitMask &effect) {
  if (!effect.barSwatch) effect.makeBarSwatch();
  const CImage *swatch = effect.barSwatch.get();
  if (!swatch) return;
  p.barButtonImage.reset(cgAllocImage(CG_KIND_YUVA, swatch->width, swatch->height));
  if (p.barButtonImage)
    std::memcpy(p.barButtonImage->pixels, swatch->pixels,
                size_t(swatch->width) * size_t(swatch->height) * 4);
}

void togglePlacement(EditorPanel &p, const ModuleState &module) {
  int32_t x = 0, y = 0;
  cgGetPointerPos(&x, &y);
  const int16_t r = rowUnit();
  // The distance between the panel's two places, in 16 bits.
  const int16_t d = int16_t(module.visibleBottom - 4 * r - 49 - module.visibleTop);
  if (p.placedAtTop == 1) {
    cgMovePointer(x, int16_t(y + d));
    p.placedAtTop = 0;
  } else {
    cgMovePointer(x, int16_t(y - d));
    p.placedAtTop = 1;
  }
}

void togglePage(EditorPanel &p) {
  if (p.showPartGroup == 1) {
    p.showPartGroup = 0;
    p.showMaskGroup = 1;
  } else {
    p.showPartGroup = 1;
    p.showMaskGroup = 0;
  }
}

int32_t formatOpacityPercent(int32_t value, xchar *buffer) {
  return sxsprintf(buffer, "%d%%", int(value * 100 / 255));
}

} // namespace tileron
