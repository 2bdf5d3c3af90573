// The bar style requester: edits a BarStyle in a modal requester of its own.
// A plain colour from six palette colours (each editable with the host's
// colour picker), a texture chosen through the host's texture requester
// (scaled to the bar or tiled), or a two-colour gradient at an angle; a
// swatch shows the current fill. Cancel puts every byte of the style back.
#pragma once

#include <array>
#include <cstdint>

#include "bar/bar_style.hpp"
#include "support/handles.hpp"
#include "vxhost/orvexareq.h"

namespace tileron {

// One opening of the requester. Made empty by the editor, run once, then
// released; destroying it removes a requester that still stands (and clears
// its entry of the panel table).
struct PaletteReq {
  CgHandle leftTop = 0, leftBottom = 0, rightTop = 0, rightBottom = 0;
  BarStyle *style = nullptr; // the style being edited, not owned
  CImagePtr swatch;          // 210 x (P - 8), shows the current fill
  RequestDescriptor request{};
  bool requestMade = false;
  int32_t colourButton = 0, gradientButton = 0, textureButton = 0;
  std::array<int32_t, kPaletteSize> paletteButtons{};
  int32_t editColourButton = 0, angleSlider = 0, colourAButton = 0, colourBButton = 0;
  int32_t chooseTextureButton = 0, placementPopup = 0;

  PaletteReq() = default;
  ~PaletteReq();
  PaletteReq(const PaletteReq &) = delete;
  PaletteReq &operator=(const PaletteReq &) = delete;

  // Clears entry 2 of the panel table and removes the requester (when it stands).
  void close();
};

// Opens the requester on `style` and runs it until the user accepts or
// cancels, or a close request comes (which sets `quitRequested`; the loop
// also ends at once when it is already set). Returns 1 on accept, keeping the
// edits; 0 on cancel (all 172 bytes of the style restored as they were on
// entry), on a close request (the edits stay) and when the requester cannot
// be built (the style unchanged).
int runPaletteReq(PaletteReq &req, BarStyle &style, int32_t &quitRequested);

// Runs the host's texture requester on the style's texture settings. Returns
// 1 when it ran (a chosen texture's settings are then in the style and
// textureChosen is 1) or could not be started, 0 when it failed or its
// settings cannot be read (reported).
int chooseBarTexture(BarStyle &style);

} // namespace tileron
