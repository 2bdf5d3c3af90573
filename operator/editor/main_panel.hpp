// The editor's main panel: the control strip over the full-screen preview,
// at the bottom (or top) of the visible area, in one of four layouts: wide
// (screen at least 1280 wide: every group in one row), the narrow mask page
// and part page, and the compact strip of three buttons.
#pragma once

#include <cstdint>

#include "support/handles.hpp"
#include "support/toolkit.hpp"
#include "vxhost/orvexagui.h"
#include "vxhost/vxdefs.h"

namespace tileron {

class SplitMask;
struct ModuleState;

// Screens at least this wide get the wide layout.
inline constexpr int kWideScreenWidth = 1280;
// Widths of the full layouts and of the compact strip.
inline constexpr int16_t kWideLayoutWidth = 1200;
inline constexpr int16_t kPartPageWidth = 588;
inline constexpr int16_t kMaskPageWidth = 634;
inline constexpr int16_t kCompactWidth = 72;

// The main panel's state for one run of the event loop. Element ids are 0
// for elements the current layout does not have: no message matches them and
// no refresh touches them.
struct EditorPanel {
  int32_t placedAtTop = 0; // 1: at the top of the visible area, 0: at the bottom
  int32_t compact = 0;     // 1: the compact strip
  int16_t panelX = 0, panelY = 0;
  int16_t panelWidth = 0;  // as created: kCompactWidth or layoutWidth
  int16_t panelHeight = 0;
  int16_t layoutWidth = 0;
  CImagePtr barButtonImage; // the panel's copy of the effect's barSwatch
  int32_t showPartGroup = 0;
  int32_t showMaskGroup = 1;
  int16_t previewX = 0, previewY = 0; // stamp gadget corner inside the main panel
  CgHandle panelHandle = 0;
  int32_t placementButton = 0, compactButton = 0, aboutButton = 0;
  int32_t scaleSlider = 0, offsetXSlider = 0, offsetYSlider = 0, opacitySlider = 0;
  int32_t anchorButton = 0, defaultsCheckBox = 0;
  int32_t stampGadget = 0, maskButton = 0, partSlider = 0, sceneButton = 0, sceneClearButton = 0;
  int32_t barWidthSlider = 0, barStyleButton = 0;
  int32_t previewButton = 0, archiveButton = 0, pageButton = 0, exitButton = 0;

  // Forgets every element id and the panel handle (the panel is gone).
  void clearElements();
};

// Creates the main panel under `request` in the layout the flags and the
// screen width select, with its group panels and elements, and sets entry 0
// of the panel table. Returns 1; 0 when the toolkit refuses a panel or an
// element, in which case whatever was made is removed again and entry 0 is
// cleared.
int buildPanel(EditorPanel &panel, ModuleState &module, CgHandle request);

// Clears entry 0 of the panel table and removes the main panel with
// everything inside it.
void removePanel(EditorPanel &panel);

// Brings every element's value, picture and enabled state in line with the
// effect state (the module's holder); nothing while compact or without one.
void refreshPanel(EditorPanel &panel, ModuleState &module);

// Updates the defaults check box and redraws the stamp view.
void refreshPartControls(EditorPanel &panel, const SplitMask &effect);

// Replaces barButtonImage by a copy of the effect's barSwatch (made first
// when missing); without a swatch the button keeps its picture.
void copyBarSwatch(EditorPanel &panel, SplitMask &effect);

// Moves the panel to the other end of the visible area and the pointer with
// it, so that it stays over the same element once the panel is rebuilt.
void togglePlacement(EditorPanel &panel, const ModuleState &module);

// Switches the narrow layout between the part page and the mask page.
void togglePage(EditorPanel &panel);

// The opacity slider's value text: value x 100 / 255 (truncating) and a
// percent sign. Returns the characters written.
int32_t formatOpacityPercent(int32_t value, xchar *buffer);

} // namespace tileron
