#include "bar/bar_style_requester.hpp"

#include <cstring>
#include <new>

#include "bar/bar_fill.hpp"
#include "engine/compositing.hpp"
#include "entry/module.hpp"
#include "support/report.hpp"
#include "support/toolkit.hpp"
#include "vxhost/orvexamsgq.h"
#include "vxhost/orvexares.h"

namespace tileron {

namespace {

// The requester: 440 wide, centred, with accept and cancel buttons.
constexpr int kRequestWidth = 440;
constexpr uint32_t kRequestFlags = 0x10001E;
// The swatch's box at the top left: the frame's size is fitted into
// 218 x (5R + 54); the swatch lies 4 pixels inside it.
constexpr int kPreviewBoxWidth = 218;
constexpr int kSwatchWidth = 210, kSwatchInset = 4;
constexpr int kRightX = 238, kRightWidth = 202;
constexpr uint32_t kBoxPanelFlags = 512, kGroupPanelFlags = 64;
constexpr int32_t kRaisedFrame = 11, kFrameWidth = 5;
constexpr int32_t kCentredText = 18;
constexpr uint32_t kSliderFlags = 0x130000;
constexpr uint32_t kPopupEntryFlags = 0x201;
constexpr int16_t kTextButtonKind = 1, kPaletteButtonKind = 2;
constexpr int kPanelEntry = 2; // the requester's entry of the panel table

// The toolkit's gradient arrow between the two gradient colours, centred here.
constexpr int32_t kGuiArrowImage = 23;
constexpr int kArrowCentreX = 339;

enum : int32_t {
  kTitle = 4600, kTextColour = 4601, kTextGradient = 4602, kTextTexture = 4603,
  kTextEditColour = 4604, kTextAngle = 4605, kTextChooseTexture = 4608,
  kTextScaled = 4620, kTextTiled = 4621, kTextDegrees = 4623,
  kHelpColourA = 5100, kHelpColourB = 5101,
};

constexpr int32_t kAngleHighest = 360;
// Colour picker: the option word it is opened with, and the result bit that
// says a colour was chosen.
constexpr uint32_t kPaletteOption = 0x6400;
constexpr uint32_t kColourChosen = 0x10000;
// txTileOpImagePrefs options for the swatch.
constexpr int32_t kTileOptions = 36;
constexpr int32_t kTextureChosen = 1, kTextureFailed = 2;

int selectedIndex(const BarStyle &style) {
  return style.paletteIndex >= 0 && style.paletteIndex < kPaletteSize ? style.paletteIndex : 0;
}

// The colour picker on `colour`; true (the colour replaced) when one was chosen.
bool pickColour(uint32_t &colour) {
  PaletteRequest request{};
  request.colour = colour;
  request.option = kPaletteOption;
  if (creqPaletteRequest(&request) != 0 || (request.result & kColourChosen) == 0) return false;
  colour = request.colour;
  return true;
}

struct PopupList {
  VxList list{};
  PopupList() { lstNewList(&list); }
  ~PopupList() {
    while (VxNode *node = lstFirst(&list)) {
      lstRemove(&list, node);
      delete reinterpret_cast<PopupEntry *>(node); // the node is the entry's first member
    }
  }
  bool add(const xchar *text) {
    PopupEntry *entry = new (std::nothrow) PopupEntry{};
    if (!entry) return false;
    entry->flags = kPopupEntryFlags;
    entry->text = text;
    lstAppend(&list, &entry->node);
    return true;
  }
};

class Requester {
public:
  Requester(PaletteReq &req, BarStyle &style) : q_(req), s_(style) {}

  // Builds the requester; false when it cannot be (nothing of it is left).
  bool build();
  // Makes `mode` current and redraws the swatch; `askForTexture` runs the
  // texture requester first when no texture was ever chosen.
  void update(int mode, bool askForTexture = true);
  // Handles one element event; false when the requester is done (`result` set).
  bool handle(int32_t id, int32_t value, int &result);

private:
  const xchar *text(int32_t number) const { return resGetString(moduleState().strings, number); }
  CgHandle handle() const { return q_.request.handle; }
  void setShown(int32_t id, bool selected) {
    if (id == 0) return;
    if (selected)
      cgActivateElement(handle(), id);
    else
      cgInactivateElement(handle(), id);
  }
  // Shows the button of `mode` selected (with the selected palette button
  // for the colour mode) and the others not.
  void showMode(int mode);
  void drawSwatch() {
    if (q_.swatch) cgWriteImage(handle(), q_.swatch.get(), kSwatchInset, kSwatchInset);
  }
  // Replaces the swatch's pixels by `picture`, scaled (or tiled) to it.
  void paintSwatch(const OpImage *picture, bool tiled);
  int32_t element(int32_t id, int32_t key) {
    if (id == 0) failed_ = true;
    else if (key != 0) cgChangeElement(handle(), id, CG_ATTR_KEY, key, 0);
    return id;
  }
  void help(int32_t id, int32_t number) {
    if (id == 0) return;
    cgChangeElement(handle(), id, CG_ATTR_HELP_TABLE, intptr_t(moduleState().strings), 0);
    cgChangeElement(handle(), id, CG_ATTR_HELP_NUMBER, number, 0);
  }
  bool addElements(int r, int p, const PopupList &popup);

  PaletteReq &q_;
  BarStyle &s_;
  bool failed_ = false;
};

bool Requester::build() {
  // The frame's size from the host's probe: a field, twice as high.
  OpImagePtr probe(opAllocImage(0, 0, 1, 0));
  if (!probe) return false;
  const int r = rowUnit();
  uint16_t width = uint16_t(probe->width), height = uint16_t(2 * probe->height);
  opCalcDims(&width, &height, probe->pixelAspect, kPreviewBoxWidth, 5 * r + 54,
             cgGetPixelAspect(4), 0);
  const int p = height & ~1; // the preview height, even
  probe.reset();

  q_.swatch.reset(cgAllocImage(CG_KIND_YUVA, kSwatchWidth, p - 8));
  if (!q_.swatch) return false;
  const ResImage *arrow = resGetImage(cgGetGuiResource(), kGuiArrowImage);

  PopupList popup;
  bool built = popup.add(text(kTextScaled)) && popup.add(text(kTextTiled));
  if (built) {
    RequestDescriptor &d = q_.request;
    d = RequestDescriptor{};
    d.width = int16_t(kRequestWidth);
    d.height = int16_t(4 * r + 54 + p);
    d.msgQ = msgQCommandGet();
    d.flags = kRequestFlags;
    d.title = text(kTitle);
    built = creqCreateRequest(&d) != -1;
  }
  if (built) {
    q_.requestMade = true;
    setPanelArea(kPanelEntry, q_.request.x, q_.request.y, q_.request.w, q_.request.h);
    const CgHandle h = handle();
    q_.leftTop = cgCreatePanel(h, 0, 0, kPreviewBoxWidth, 5 * r + 54, kBoxPanelFlags, 0, 0);
    if (q_.leftTop) cgDrawBoxNew(q_.leftTop, 0, 0, kPreviewBoxWidth - 1, p - 1, kRaisedFrame,
                                 kFrameWidth, 0, 0);
    q_.leftBottom = cgCreatePanel(h, 0, p + 10, kPreviewBoxWidth, 4 * (r + 11), kGroupPanelFlags, 0, 0);
    q_.rightTop = cgCreatePanel(h, kRightX, 0, kRightWidth, p, kGroupPanelFlags, 0, 0);
    q_.rightBottom = cgCreatePanel(h, kRightX, p + 10, kRightWidth, 4 * (r + 11), kGroupPanelFlags, 0, 0);
    built = q_.leftTop && q_.leftBottom && q_.rightTop && q_.rightBottom && addElements(r, p, popup);
  }
  if (built && arrow) {
    const int rowY = p + 3 * r + 42;
    cgWriteResImage(handle(), arrow, kArrowCentreX - arrow->width / 2,
                    rowY + (r + 4 - arrow->height) / 2);
  }
  if (!built) q_.close();
  return built;
}

bool Requester::addElements(int r, int p, const PopupList &popup) {
  ExtensionPtr ext(cgAllocGadExt());
  if (!ext) return false;
  const CgHandle h = handle();
  const int height = r + 4;
  ext->kind = kTextButtonKind;
  q_.colourButton = element(cgAddTextButton(h, 8, p + 18, 202, height, text(kTextColour), 0, ext.get()), '7');
  q_.gradientButton = element(cgAddTextButton(h, 246, p + 18, 186, height, text(kTextGradient), 0, ext.get()), '9');
  q_.textureButton = element(cgAddTextButton(h, 246, 8, 186, height, text(kTextTexture), 0, ext.get()), '8');
  ext->kind = kPaletteButtonKind;
  static constexpr char kPaletteKeys[kPaletteSize] = {'1', '2', '3', '4', '5', '6'};
  for (int i = 0; i < kPaletteSize && !failed_; ++i) {
    const int x = 8 + 68 * (i % 3), y = p + r + 26 + (i / 3) * (r + 8);
    q_.paletteButtons[std::size_t(i)] = element(
        cgAddPaletteButton(h, x, y, 66, height, s_.palette[i], 0, ext.get()), kPaletteKeys[i]);
  }
  ext->kind = kTextButtonKind;
  if (!failed_) {
    q_.editColourButton = element(cgAddTextButton(h, 8, p + 3 * r + 42, 202, height,
                                                  text(kTextEditColour), 0, ext.get()), 'c');
    q_.chooseTextureButton = element(cgAddTextButton(h, 246, r + 16, 186, height,
                                                     text(kTextChooseTexture), 0, ext.get()), 'p');
  }
  if (!failed_) {
    ext->kind = 0;
    q_.placementPopup = element(cgAddPopup(h, 246, 2 * r + 24, 186, height, &popup.list,
                                           s_.tile, 0, ext.get()), 'm');
  }
  if (!failed_) {
    failed_ = cgBoxText(h, text(kTextAngle), 246, p + r + 26, 186, height, kCentredText) == 0;
  }
  if (!failed_) {
    q_.angleSlider = element(cgAddSlider(h, 246, p + 2 * r + 34, 186, height, 0, kAngleHighest,
                                         s_.angle, nullptr, text(kTextDegrees), kSliderFlags, nullptr),
                             'd');
  }
  ext->kind = kPaletteButtonKind;
  if (!failed_) {
    q_.colourAButton = element(cgAddPaletteButton(h, 246, p + 3 * r + 42, 66, height, s_.colourA,
                                                  0, ext.get()), 'f');
    help(q_.colourAButton, kHelpColourA);
  }
  if (!failed_) {
    q_.colourBButton = element(cgAddPaletteButton(h, 366, p + 3 * r + 42, 66, height, s_.colourB,
                                                  0, ext.get()), 't');
    help(q_.colourBButton, kHelpColourB);
  }
  if (failed_) return false;
  if (s_.mode == kBarColour) showMode(kBarColour);
  return true;
}

void Requester::showMode(int mode) {
  setShown(q_.colourButton, mode == kBarColour);
  setShown(q_.textureButton, mode == kBarTexture);
  setShown(q_.gradientButton, mode == kBarGradient);
  const int selected = selectedIndex(s_);
  for (int i = 0; i < kPaletteSize; ++i)
    setShown(q_.paletteButtons[std::size_t(i)], mode == kBarColour && i == selected);
}

void Requester::paintSwatch(const OpImage *picture, bool tiled) {
  OpImagePtr canvas = toOpImage(q_.swatch); // takes the swatch; null (reported) leaves it
  if (!canvas) return;
  if (tiled)
    txTileOpImagePrefs(canvas.get(), picture, 0, kTileOptions);
  else
    opScaleImage(picture, canvas.get(), 0);
  q_.swatch = toGuiImage(canvas.get(), kSrcPaletteReq);
  drawSwatch();
}

void Requester::update(int mode, bool askForTexture) {
  if (mode == kBarColour) {
    showMode(kBarColour);
    if (q_.swatch) {
      uint32_t *px = pixels32(q_.swatch.get());
      const uint32_t colour = selectedColour(s_);
      const size_t count = size_t(q_.swatch->width) * size_t(q_.swatch->height);
      for (size_t i = 0; i < count; ++i) px[i] = colour;
      drawSwatch();
    }
    s_.mode = kBarColour;
  } else if (mode == kBarTexture) {
    if (s_.textureChosen == 0 && askForTexture && chooseBarTexture(s_) == 0) {
      showMode(s_.mode);
      return;
    }
    s_.mode = kBarTexture;
    showMode(kBarTexture);
    OpImagePtr texture = makeTextureImage(s_);
    if (!texture) return; // no texture chosen: the swatch stays as it was
    paintSwatch(texture.get(), s_.tile != 0);
  } else if (mode == kBarGradient) {
    showMode(kBarGradient);
    s_.mode = kBarGradient;
    if (!q_.swatch) return;
    OpImagePtr gradient = makeGradient(s_, q_.swatch->width, q_.swatch->height);
    if (!gradient) return;
    paintSwatch(gradient.get(), false);
  }
}

bool Requester::handle(int32_t id, int32_t value, int &result) {
  if (id == q_.request.acceptId) {
    q_.close();
    result = 1;
    return false;
  }
  if (id == q_.request.cancelId) {
    q_.close();
    result = 0;
    return false;
  }
  if (id == q_.colourButton && s_.mode != kBarColour) update(kBarColour);
  if (id == q_.textureButton && s_.mode != kBarTexture) update(kBarTexture);
  if (id == q_.gradientButton && s_.mode != kBarGradient) update(kBarGradient);
  for (int i = 0; i < kPaletteSize; ++i) {
    if (id == q_.paletteButtons[std::size_t(i)]) {
      s_.paletteIndex = int16_t(i);
      update(kBarColour);
    }
  }
  if (id == q_.editColourButton) {
    const int i = selectedIndex(s_);
    if (pickColour(s_.palette[i])) {
      update(kBarColour);
      cgChangeElement(handle(), q_.paletteButtons[std::size_t(i)], CG_ATTR_PALETTE_COLOUR,
                      intptr_t(s_.palette[i]), 1);
    }
  }
  if (id == q_.chooseTextureButton) {
    // The requester has just run: a user who left it without a choice is
    // not asked a second time.
    if (chooseBarTexture(s_) == 1)
      update(kBarTexture, false);
    else
      showMode(s_.mode);
  }
  if (id == q_.placementPopup) {
    s_.tile = uint16_t(int16_t(value));
    update(kBarTexture);
  }
  if (id == q_.angleSlider) {
    s_.angle = int16_t(value);
    update(kBarGradient);
  }
  // A new gradient colour also gives the other colour its alpha byte.
  if (id == q_.colourAButton && pickColour(s_.colourA)) {
    s_.colourB = (s_.colourB & ~0xFFu) | (s_.colourA & 0xFFu);
    update(kBarGradient);
    cgChangeElement(handle(), q_.colourAButton, CG_ATTR_PALETTE_COLOUR, intptr_t(s_.colourA), 1);
    cgChangeElement(handle(), q_.colourBButton, CG_ATTR_PALETTE_COLOUR, intptr_t(s_.colourB), 1);
  }
  if (id == q_.colourBButton && pickColour(s_.colourB)) {
    s_.colourA = (s_.colourA & ~0xFFu) | (s_.colourB & 0xFFu);
    update(kBarGradient);
    cgChangeElement(handle(), q_.colourBButton, CG_ATTR_PALETTE_COLOUR, intptr_t(s_.colourB), 1);
    cgChangeElement(handle(), q_.colourAButton, CG_ATTR_PALETTE_COLOUR, intptr_t(s_.colourA), 1);
  }
  return true;
}

} // namespace

PaletteReq::~PaletteReq() { close(); }

void PaletteReq::close() {
  if (!requestMade) return;
  setPanelArea(kPanelEntry, 0, 0, 0, 0);
  creqDeleteRequest(&request);
  requestMade = false;
  leftTop = leftBottom = rightTop = rightBottom = 0;
}

int chooseBarTexture(BarStyle &style) {
  TxRequest *request = txAllocRequest(0);
  if (!request) return 1;
  struct Release {
    TxRequest *r;
    ~Release() { txFreeRequest(r); }
  } release{request};
  txAddOptions(request, 0);
  txSetPrefs(request, &style.texture);
  if (txRequest(request, 0) != 0) return 1;
  const int32_t status = txGetStatus(request);
  if (status == kTextureFailed) {
    TILERON_REPORT(kLevelError, kSrcPaletteReq);
    return 0;
  }
  if (status == kTextureChosen) {
    if (txGetPrefs(request, &style.texture, int32_t(sizeof(TxSettings))) == -1) {
      TILERON_REPORT(kLevelError, kSrcPaletteReq);
      return 0;
    }
    style.textureChosen = 1;
  }
  return 1;
}

int runPaletteReq(PaletteReq &req, BarStyle &style, int32_t &quitRequested) {
  const BarStyle restore = style; // all 172 bytes
  req.style = &style;
  Requester requester(req, style);
  if (!requester.build()) return 0;
  requester.update(style.mode);

  int result = 0;
  while (quitRequested != 1) {
    GuiMessage message{};
    const int32_t got = cgMsgQReceive(&message, -1);
    if (got != int32_t(sizeof(GuiMessage))) {
      TILERON_REPORT(kLevelError, kSrcPaletteReq);
      // An ended event source sends nothing more: taken as a close request.
      if (got < 0) quitRequested = 1;
      continue;
    }
    if (message.kind == GUI_MSG_CLOSE) {
      quitRequested = 1;
      break;
    }
    if (message.kind != GUI_MSG_ELEMENT || message.id == 0) continue;
    // The element's value is read in 16 bits.
    if (!requester.handle(message.id, int16_t(message.value), result)) {
      if (result == 0) std::memcpy(&style, &restore, sizeof(BarStyle));
      return result;
    }
  }
  req.close();
  return 0;
}

} // namespace tileron
