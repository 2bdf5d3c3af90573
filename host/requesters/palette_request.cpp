// creqPaletteRequest: a colour picker over YUVA words. The colour plane shows
// U across and V upwards at the current Y (hue around its centre, saturation
// outwards); sliders set Y, U, V and the opacity (alpha); two swatches show
// the colour handed in (a click on it brings it back) and the new one.
#include <algorithm>
#include <cstring>

#include "host/gui/toolkit.hpp"
#include "host/gui/orvexagui.hpp"
#include "host/requesters/modal.hpp"

using namespace vxhost::requesters;

namespace {

// The result word's bit for "a colour was chosen".
constexpr uint32_t kChosen = 0x10000;
// Side of the colour plane in pixels; the stamp button around it is 3 pixels wider on each side.
constexpr int kPlane = 160;
constexpr int kPlaneBorder = 3;
constexpr int kSliderWidth = 220;
constexpr int kSwatchWidth = 110;

// The byte of a YUVA word: 0 Y, 1 U, 2 V, 3 alpha.
int component(uint32_t colour, int k) { return int(colour >> (24 - 8 * k) & 0xFF); }
uint32_t withComponent(uint32_t colour, int k, int value) {
  const int shift = 24 - 8 * k;
  return (colour & ~(0xFFu << shift)) | uint32_t(std::clamp(value, 0, 255)) << shift;
}

// Plane position of a U or V value (0..255 over 0..kPlane-1, nearest) and back.
int planePosition(int value) { return (value * (kPlane - 1) + 127) / 255; }
int planeValue(int position) { return (std::clamp(position, 0, kPlane - 1) * 255 + (kPlane - 1) / 2) / (kPlane - 1); }

// The colour plane at the colour's Y, with a ring at its U and V.
void paintPlane(CImage &image, uint32_t colour) {
  auto *pixels = reinterpret_cast<uint32_t *>(image.pixels);
  const uint32_t y = uint32_t(component(colour, 0)) << 24;
  for (int row = 0; row < kPlane; ++row)
    for (int col = 0; col < kPlane; ++col)
      pixels[row * kPlane + col] =
          y | uint32_t(planeValue(col)) << 16 | uint32_t(planeValue(kPlane - 1 - row)) << 8 | 0xFF;
  // The ring contrasts with the plane's brightness.
  const uint32_t ring = component(colour, 0) < 128 ? 0xEB8080FFu : 0x108080FFu;
  const int cx = planePosition(component(colour, 1)), cy = kPlane - 1 - planePosition(component(colour, 2));
  for (int dy = -6; dy <= 6; ++dy)
    for (int dx = -6; dx <= 6; ++dx) {
      const int d2 = dx * dx + dy * dy, x = cx + dx, yy = cy + dy;
      if (d2 >= 16 && d2 <= 36 && x >= 0 && yy >= 0 && x < kPlane && yy < kPlane)
        pixels[yy * kPlane + x] = ring;
    }
}

} // namespace

extern "C" int32_t creqPaletteRequest(PaletteRequest *request) {
  if (!request)
    return -1;
  request->result = 0;
  const uint32_t original = request->colour;
  uint32_t colour = original;
  const vxhost::CImageHandle plane(cgAllocImage(CG_KIND_YUVA, kPlane, kPlane));
  if (!plane)
    return -1;
  paintPlane(*plane, colour);

  const int ch = controlHeight(), pitch = ch + 8;
  const std::u16string labels[4] = {text(kStrLuma, u"Y"), text(kStrBlueDiff, u"U"), text(kStrRedDiff, u"V"),
                                    text(kStrOpacity, u"Opacity")};
  int labelWidth = 0;
  for (const auto &l : labels)
    labelWidth = std::max(labelWidth, textWidth(l));
  const int planeSide = kPlane + 2 * kPlaneBorder;
  const int sliderX = planeSide + 16 + labelWidth + 6;
  const int width = sliderX + kSliderWidth;
  const int height = planeSide;
  ModalRequest r(width, height, CREQ_ACCEPT | CREQ_CANCEL, text(kStrColourTitle, u"Colour"));
  if (!r.open())
    return -1;
  const CgHandle h = r.handle();
  const int32_t field = cgAddStampButton(h, 0, 0, planeSide, planeSide, plane.get(), 0, 0, 0);
  if (field == 0)
    return -1;
  vxhost::gui::setHelpText(field, text(kStrFieldHelp, u"Click to pick the colour: hue around the centre, saturation outwards"));
  int32_t sliders[4] = {};
  static constexpr int32_t kKeys[4] = {'y', 'u', 'v', 'a'};
  for (int k = 0; k < 4; ++k) {
    const std::u16string &label = labels[k];
    sliders[k] = cgAddSlider(h, sliderX, k * pitch, kSliderWidth, ch, 0, 255, component(colour, k),
                             reinterpret_cast<const xchar *>(label.c_str()), nullptr, 0, nullptr);
    if (sliders[k] == 0)
      return -1;
    cgChangeElement(h, sliders[k], CG_ATTR_KEY, kKeys[k], 0);
  }
  const int swatchTop = 4 * pitch;
  const int32_t oldSwatch = cgAddPaletteButton(h, sliderX, swatchTop, kSwatchWidth, height - swatchTop, original, 0, nullptr);
  const int32_t newSwatch =
      cgAddPaletteButton(h, sliderX + kSliderWidth - kSwatchWidth, swatchTop, kSwatchWidth, height - swatchTop, colour, 0, nullptr);
  if (oldSwatch == 0 || newSwatch == 0)
    return -1;
  vxhost::gui::setHelpText(oldSwatch, text(kStrOldColourHelp, u"The colour as it was: click to take it back"));
  vxhost::gui::setHelpText(newSwatch, text(kStrNewColour, u"The new colour"));

  const auto show = [&](uint32_t now) {
    const bool planeChanged = (now & 0xFFFFFF00u) != (colour & 0xFFFFFF00u);
    colour = now;
    for (int k = 0; k < 4; ++k)
      cgChangeElement(h, sliders[k], CG_ATTR_SLIDER_VALUE, component(colour, k), 1);
    cgChangeElement(h, newSwatch, CG_ATTR_PALETTE_COLOUR, colour, 1);
    if (planeChanged) {
      paintPlane(*plane, colour);
      cgChangeElement(h, field, CG_ATTR_STAMP_PICTURE, reinterpret_cast<intptr_t>(plane.get()), 1);
    }
  };
  GuiMessage m{};
  while (r.next(m)) {
    if (m.id == r.descriptor().acceptId) {
      request->colour = colour;
      request->result = kChosen;
      break;
    }
    if (m.id == r.descriptor().cancelId)
      break;
    if (m.id == oldSwatch)
      show(original);
    for (int k = 0; k < 4; ++k)
      if (m.id == sliders[k])
        show(withComponent(colour, k, m.value));
    if (m.id == field) {
      // The pointer's place on the plane picks U and V.
      const vxhost::gui::Element *e = vxhost::gui::findElement(field);
      const int px = e->rect.x + kPlaneBorder, py = e->rect.y + kPlaneBorder;
      show(withComponent(withComponent(colour, 1, planeValue(m.x - px)), 2, planeValue(kPlane - 1 - (m.y - py))));
    }
  }
  return 0;
}
