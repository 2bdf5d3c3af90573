// tileron-guigallery: draws every element kind of the host's GUI toolkit,
// headless, in English and German side by side, and writes the picture
// (docs/gui.png).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "host/gui/gui.hpp"
#include "host/gui/orvexagui.hpp"
#include "host/media/png.hpp"
#include "host/media/yuv.hpp"
#include "host/reset.hpp"
#include "host/settings/settings.hpp"
#include "vxhost/orvexagui.h"
#include "vxhost/orvexamsgq.h"
#include "vxhost/orvexareq.h"
#include "vxhost/orvexares.h"
#include "vxhost/vxlstlib.h"

namespace {

constexpr int kWidth = 1280, kHeight = 720;

// A calm picture on the video plane, so that the panels are seen over video.
void paintVideoPlane() {
  std::vector<uint32_t> &plane = vxhost::overlayPlane();
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const int r = 40 + x * 60 / kWidth, g = 70 + y * 80 / kHeight, b = 110 + (x + y) * 60 / (kWidth + kHeight);
      plane[size_t(y) * kWidth + size_t(x)] = vxhost::rgbaToYuva(r, g, b, 255);
    }
}

int32_t percentText(int32_t value, xchar *buffer) {
  const std::string text = std::to_string(value * 100 / 255) + "%";
  for (size_t i = 0; i < text.size(); ++i)
    buffer[i] = xchar(text[i]);
  buffer[text.size()] = 0;
  return int32_t(text.size());
}

struct Resources {
  ResHandle strings = resLoadStrings("tileron");
  ResHandle images = resLoadImages("tileron");
  ~Resources() {
    resFreeStrings(strings);
    resFreeImages(images);
  }
  const xchar *s(int n) const { return resGetString(strings, n); }
  const ResImage *image(int n) const { return resGetImage(images, n); }
  const ResImage *gui(int n) const { return resGetImage(cgGetGuiResource(), n); }
};

// One language's gallery, composed.
std::vector<uint32_t> gallery(const std::string &language, bool openPopup) {
  vxhost::reset();
  vxhost::setLanguage(language);
  vxhost::Screen screen;
  screen.width = kWidth;
  screen.height = kHeight;
  vxhost::setScreen(screen);
  paintVideoPlane();
  const Resources res;
  const int R = cgGetFontHeightMonitor(cgGetDefaultMonitor()) + cgGetAddHeight();

  RequestDescriptor editor{};
  editor.width = kWidth;
  editor.height = kHeight;
  editor.msgQ = cgGetOutputMsgQ();
  editor.flags = 0x21C0;
  creqCreateRequest(&editor);

  // The editor's strip: buttons, sliders, check box, stamp and palette buttons.
  const CgHandle main = cgCreatePanel(editor.handle, 40, kHeight - 4 * R - 50 - 20, 1200, 4 * R + 50, 256, 2048, 0);
  const CgHandle part = cgCreatePanel(main, 66, R + 6, 388, 3 * R + 36, 64, 0, 0);
  cgDrawPanelTitle(part, res.s(130));
  const CgHandle mask = cgCreatePanel(main, 462, R + 6, 344, 3 * R + 36, 64, 0, 0);
  cgDrawPanelTitle(mask, res.s(120));
  const CgHandle bar = cgCreatePanel(main, 814, R + 6, 218, 3 * R + 36, 64, 0, 0);
  cgDrawPanelTitle(bar, res.s(110));
  cgCreatePanel(main, 1040, R + 6, 150, 3 * R + 36, 64, 0, 0);
  cgDrawBoxNew(main, 10, R + 6, 57, 4 * R + 41, 4, 5, 0, 0);
  const int y1 = R + 14, y2 = 2 * R + 22, y3 = 3 * R + 30;
  cgAddImageButton(main, 18, y3, 32, R + 4, res.gui(20), 0, nullptr);
  cgAddImageButton(main, 18, y2, 32, R + 4, res.gui(43), 0, nullptr);
  cgAddImageButton(main, 18, y1, 32, R + 4, res.gui(69), 0, nullptr);

  ElementExtension *ext = cgAllocGadExt();
  const int32_t scale = cgAddSlider(main, 140, y1, 136, R + 4, 10, 200, 100, res.s(131), res.s(132), 0x130000, nullptr);
  cgAddSlider(main, 310, y1, 136, R + 4, -50, 50, 12, res.s(133), res.s(112), 0x130000, nullptr);
  const int32_t offsetY = cgAddSlider(main, 310, y2, 136, R + 4, -50, 50, 0, res.s(134), res.s(112), 0x130000, nullptr);
  ext->callback.sliderText = percentText;
  const int32_t opacity = cgAddSlider(main, 140, y2, 136, R + 4, 0, 255, 191, res.s(135), res.s(4624), 0x130000, ext);
  ext->callback.sliderText = nullptr;
  ext->label = res.s(136);
  cgAddImageButton(main, 242, y3, 32, R + 4, res.image(207), 0, ext);
  ext->label = res.s(137);
  const int32_t defaults = cgAddCheckBox(main, 412, y3, 32, R + 4, 1, 0, ext);
  cgFreeGadExt(ext);
  cgChangeElement(main, defaults, CG_ATTR_CHECK_STATE, 1, 1);
  cgDisableElement(main, offsetY);
  (void)scale;
  (void)opacity;

  cgDrawBoxNew(main, 470, y1, 470 + 157, y1 + 91, 11, 5, 0, 0);
  cgAddClickGadget(main, 470, y1, 158, 92, 0x10000, 0);
  const int32_t maskButton = cgAddTextButton(main, 630, y1, 168, R + 4, res.s(121), 0, nullptr);
  cgAddSlider(main, 696, y2, 102, R + 4, 1, 9, 3, res.s(122), res.s(112), 0x130000, nullptr);
  cgAddTextButton(main, 630, y3, 134, R + 4, res.s(123), 0, nullptr);
  const int32_t clear = cgAddImageButton(main, 766, y3, 32, R + 4, res.image(301), 0, nullptr);
  cgDisableElement(main, clear);
  cgBoxText(main, res.s(111), 822, y1, 100, R + 4, 17);
  cgAddSlider(main, 890, y1, 134, R + 4, 0, 100, 15, nullptr, res.s(112), 0x130000, nullptr);
  cgBoxText(main, res.s(113), 822, y2, 100, R + 4, 17);
  CImage *swatch = cgAllocImage(CG_KIND_YUVA, 58, 2 * R + 4);
  for (int i = 0; i < swatch->width * swatch->height; ++i)
    reinterpret_cast<uint32_t *>(swatch->pixels)[i] =
        vxhost::rgbaToYuva(200 - (i % swatch->width) * 2, 140, 60 + (i % swatch->width) * 3, 255);
  cgAddStampButton(main, 958, y2, 66, 2 * R + 12, swatch, 0, 0, 0);
  cgFreeImage(swatch);
  const int32_t preview = cgAddTextButton(main, 1048, y1, 134, R + 4, res.s(100), 0, nullptr);
  cgAddTextButton(main, 1048, y2, 134, R + 4, res.s(101), 0, nullptr);
  const int32_t exitButton = cgAddImageButton(main, 1150, y3, 32, R + 4, res.gui(48), 0, nullptr);
  cgChangeElement(main, exitButton, CG_ATTR_HELP_TABLE, intptr_t(res.strings), 0);
  cgChangeElement(main, exitButton, CG_ATTR_HELP_NUMBER, 5011, 0);
  cgActivateElement(main, preview);
  (void)maskButton;

  // A requester with palette buttons, a popup (open), a grid and box texts.
  RequestDescriptor req{};
  req.width = 440;
  req.height = 4 * R + 54 + 120;
  req.msgQ = msgQCommandGet();
  req.flags = 0x10001E;
  req.title = res.s(4600);
  creqCreateRequest(&req);
  const int P = 120;
  const CgHandle left = cgCreatePanel(req.handle, 0, P + 10, 218, 4 * (R + 11), 64, 0, 0);
  const CgHandle right = cgCreatePanel(req.handle, 238, P + 10, 202, 4 * (R + 11), 64, 0, 0);
  const uint32_t colours[6] = {vxhost::rgbaToYuva(235, 235, 235, 255), vxhost::rgbaToYuva(20, 20, 20, 255),
                               vxhost::rgbaToYuva(220, 60, 50, 255),   vxhost::rgbaToYuva(60, 180, 90, 255),
                               vxhost::rgbaToYuva(50, 110, 230, 255),  vxhost::rgbaToYuva(240, 200, 60, 128)};
  const int32_t colourButton = cgAddTextButton(left, 8, 8, 202, R + 4, res.s(4601), 0, nullptr);
  cgActivateElement(left, colourButton);
  for (int i = 0; i < 6; ++i) {
    const int32_t b = cgAddPaletteButton(left, 8 + 68 * (i % 3), 8 + (R + 8) * (1 + i / 3), 66, R + 4, colours[i], 0, nullptr);
    if (i == 2)
      cgActivateElement(left, b);
  }
  cgAddTextButton(left, 8, 8 + 3 * (R + 8), 202, R + 4, res.s(4604), 0, nullptr);
  cgAddTextButton(right, 8, 8, 186, R + 4, res.s(4602), 0, nullptr);
  cgBoxText(right, res.s(4605), 8, 8 + (R + 8), 186, R + 4, 18);
  cgAddSlider(right, 8, 8 + 2 * (R + 8), 186, R + 4, 0, 360, 45, nullptr, res.s(4623), 0x130000, nullptr);
  const int32_t colourA = cgAddPaletteButton(right, 8, 8 + 3 * (R + 8), 66, R + 4, colours[4], 0, nullptr);
  cgChangeElement(right, colourA, CG_ATTR_HELP_TABLE, intptr_t(res.strings), 0);
  cgChangeElement(right, colourA, CG_ATTR_HELP_NUMBER, 5100, 0);
  cgWriteResImage(right, res.gui(23), 101 - res.gui(23)->width / 2, 8 + 3 * (R + 8) + (R + 4 - res.gui(23)->height) / 2);
  cgAddPaletteButton(right, 128, 8 + 3 * (R + 8), 66, R + 4, colours[3], 0, nullptr);
  VxList entries;
  lstNewList(&entries);
  PopupEntry nodes[2] = {};
  nodes[0].text = res.s(4620);
  nodes[1].text = res.s(4621);
  for (PopupEntry &n : nodes) {
    n.flags = 0x201;
    lstAppend(&entries, &n.node);
  }
  const int32_t popup = cgAddPopup(req.handle, 246, 2 * R + 24, 186, R + 4, &entries, 1, 0, nullptr);
  cgAddTextButton(req.handle, 246, 8, 186, R + 4, res.s(4603), 0, nullptr);
  // A grid of anchor pictures with default cells.
  std::vector<GridItem> items(9);
  std::vector<CImage *> pictures;
  VxList list;
  lstNewList(&list);
  static const char16_t *names[] = {u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9"};
  for (int i = 0; i < 9; ++i) {
    pictures.push_back(cgConvertResImageToCImageAlpha(res.image(200 + i), 0));
    items[size_t(i)].flags = 0x210;
    items[size_t(i)].picture = pictures.back();
    items[size_t(i)].text = reinterpret_cast<const xchar *>(names[i]);
    lstAppend(&list, &items[size_t(i)].node);
  }
  const int32_t grid = cgAddGridview(req.handle, 0, 0, 230, P, 40, 52, &list, 0, 0x1910000, nullptr);
  cgChangeElement(req.handle, grid, CG_ATTR_GRID_SELECT, 4, 1);
  for (CImage *p : pictures)
    cgFreeImage(p);

  // One picture shows the open popup, the other the help line of the exit
  // button under the pointer.
  (void)popup;
  if (openPopup)
    vxhost::gui::click(req.x + 8 + 300, req.y + R + 16 + 2 * R + 30);
  else
    vxhost::gui::pointerTo(req.x + 8 + 238 + 8 + 40, req.y + R + 16 + P + 10 + 8 + 3 * (R + 8) + 10);
  std::vector<uint32_t> shot = vxhost::gui::composeScreen();
  GuiMessage m;
  while (vxhost::gui::queuedMessages() > 0)
    cgMsgQReceive(&m, 0);
  creqDeleteRequest(&req);
  creqDeleteRequest(&editor);
  return shot;
}

} // namespace

int main(int argc, char **argv) {
  CLI::App app{"tileron-guigallery: every element kind of the host's GUI toolkit, English and German"};
  std::string out = "docs/gui.png";
  app.add_option("-o,--output", out, "PNG file to write (default docs/gui.png)");
  CLI11_PARSE(app, argc, argv);
  try {
    const std::vector<uint32_t> english = gallery("english", false);
    const std::vector<uint32_t> german = gallery("deutsch", true);
    // English above German.
    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 2 * 3);
    for (size_t i = 0; i < english.size(); ++i)
      for (int half = 0; half < 2; ++half) {
        const vxhost::Rgba c = vxhost::yuvaToRgba((half ? german : english)[i]);
        uint8_t *p = &rgb[(size_t(half) * english.size() + i) * 3];
        p[0] = c.r, p[1] = c.g, p[2] = c.b;
      }
    std::string error;
    if (!vxhost::writePng(out, kWidth, kHeight * 2, 3, rgb.data(), rgb.size(), error)) {
      std::fprintf(stderr, "tileron-guigallery: %s\n", error.c_str());
      return 1;
    }
    vxhost::reset();
  } catch (const std::exception &e) {
    std::fprintf(stderr, "tileron-guigallery: %s\n", e.what());
    return 1;
  }
  return 0;
}
