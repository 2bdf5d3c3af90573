// SplitMask: everything the split-screen effect knows — working geometry, the
// mask's parts and bars, the user's settings per part, the bar style and the
// images that rendering and the editor work on. One instance at a time: a
// render instance (field size) or an editor instance (screen size).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "bar/bar_style.hpp"
#include "engine/compositing.hpp"
#include "support/handles.hpp"
#include "vxhost/oplibcommon.h"
#include "vxhost/orvexagui.h"
#include "vxhost/orvexares.h"

namespace tileron {

inline constexpr int kMaxParts = 10;
inline constexpr int kMaxBars = 20;
// The last-used settings file, home-relative.
inline constexpr const char *kSettingsPath = "/programs/tileron/prefs/tileron.prf";
inline constexpr const char *kDefaultMaskPath = "/programs/tileron/mask/diagonal_down_2.xml";
// Fills a part's picture once its scene has ended: grey with alpha 0, lays nothing.
inline constexpr uint32_t kEndedScenePixel = 0x40808000u;

// Where a part's picture sits in its box (partAlign), laid out like a keypad
// read from the top: 1 2 3 along the top edge, 4 5 6 through the middle,
// 7 8 9 along the bottom. Any other value places like the centre.
enum Anchor : int16_t {
  kAnchorTopLeft = 1,
  kAnchorTop = 2,
  kAnchorTopRight = 3,
  kAnchorLeft = 4,
  kAnchorCentre = 5,
  kAnchorRight = 6,
  kAnchorBottomLeft = 7,
  kAnchorBottom = 8,
  kAnchorBottomRight = 9,
};

// One bar line from (left, top) to (right, bottom), bar-image coordinates.
struct BarSegment {
  int16_t left = 0, top = 0, right = 0, bottom = 0;
};

template <typename T> using PartArray = std::array<T, kMaxParts>;

// What a SplitMask reads of the module that made it: the panel table its
// preview keeps clear of, and the handles of the resource strings (whose
// language the mask title is read in) and of the image set holding the part
// markers (a load may replace either while the instance lives). Null: no
// panels, no title, no markers. All outlive the instance.
struct ModuleParts {
  const PanelTable *panels = nullptr;
  const ResHandle *strings = nullptr;
  const ResHandle *images = nullptr;
};

class SplitMask {
public:
  // Sets the defaults; cannot fail.
  explicit SplitMask(const ModuleParts &module = {});
  // Saves the settings when the instance's settings are its own (an editor
  // instance whose set-up succeeded), then releases every image it holds.
  ~SplitMask();
  SplitMask(const SplitMask &) = delete;
  SplitMask &operator=(const SplitMask &) = delete;

  // ---- set-up -------------------------------------------------------------
  // Computes the working geometry from the host's probe; false without a probe.
  bool setGeometry(int maxWidth, int maxHeight, bool renderMode, bool monitorAspect);
  // Render instance at field size from the settings file and its mask.
  bool setupRender(int frameWidth, int frameHeight, bool monitorAspect);
  // Editor instance fitting the screen; maskPath null = the last-used mask.
  bool setupEditor(const char *maskPath, int screenWidth, int screenHeight, int32_t effectLength);
  // Rebuilds barSwatch from barStyle; keeps the old one when the fill fails.
  void makeBarSwatch();
  // Destruction will store nothing: the file keeps what it holds.
  void keepStoredSettings() { ownsSettings_ = false; }

  // ---- mask file ----------------------------------------------------------
  // Loads the mask at maskPath into this state: 1 on success, 0 on failure.
  int loadMask(bool renderMode);

  // ---- settings file ------------------------------------------------------
  int loadLastMaskPath();
  int applySavedSettings();
  int saveSettings();
  // Replaces `destination` by a copy of the settings file, whole or not at
  // all: 1 on success, 0 when it cannot be copied (the destination as it was).
  int copySettingsTo(const std::string &destination);

  // ---- rendering ------------------------------------------------------------
  // Makes every part's picture for field `field` at working size: the scene's
  // field, grey with alpha 0 past the scene's end, cleared without a scene. A
  // field the host does not deliver is reported (level 4) and empties the
  // part's scene. False only when a picture cannot be allocated.
  bool loadPartFields(int32_t field);
  // A new output field the caller owns (hands it to opPutField), or null:
  // without a successful render set-up, without a background, or without
  // memory to compose (the last two reported).
  OpImage *renderField(int32_t field, uint32_t flags);
  // Copies `source` into `destination` (unless they are one image) and lays
  // every part with a scene but `leaveOut` on it, in part order. False for a
  // missing image or a scaled picture that cannot be allocated.
  bool composeParts(OpImage *destination, const OpImage *source, int leaveOut, bool fieldMode,
                    int parity);
  // Top-left corner of a w x h picture of part i in working coordinates.
  void placePart(int part, int width, int height, int16_t &x, int16_t &y) const;
  // True when part i's scaled picture, as placed, covers the part's whole box.
  bool partCoversBox(int part) const;
  // Refills barImage from barStyle at its size; a style the fill cannot make
  // leaves a transparent layer of that size and no bar lines.
  void buildBarImage();
  // Sets barImage's coverage (alpha) to the bar lines at barWidth per mille.
  void drawBarLines();
  // Editor: preview = composite + the current part + the bar. False (the
  // preview untouched) for a missing image or no memory.
  bool refreshPreview();
  // Shows the preview on screen around the panels; with `withMonitor` also on
  // the video monitor when there is one.
  void showPreview(bool withMonitor);

  // ---- part editing (on currentPart) -----------------------------------------
  // Each setter returns at once for a value equal to the stored one; otherwise
  // it stores the value, refreshes what depends on it and shows the preview.
  // A scene the host cannot deliver leaves the part without a scene.
  void setPartScene(int32_t sceneId);
  void setPartScale(int16_t percent);
  // Each axis is taken only within half the picture's width or height.
  void setPartOffset(int16_t x, int16_t y);
  // Offset as (picture size x percent + 50) / 100, truncated; see setPartOffset.
  void setPartOffsetXPercent(int percent);
  void setPartOffsetYPercent(int percent);
  void setPartAlign(int16_t anchor);
  void setPartOpacity(int16_t opacity);
  // Opacity 255, the centre anchor, no offset, the mask's scale; always redraws.
  void resetPart();
  void setBarWidth(int16_t perMille);
  // Rebuilds the bar layer after barStyle changed; always redraws.
  void barStyleChanged();
  // Makes `part` current and rebuilds composite without it; ignores the
  // current part and indexes outside the mask's parts.
  void selectPart(int part);
  // Redraws stampView with the current part lit and sets partMarker with the
  // markers (resource images 500 to 507) for parts that have a position.
  void refreshStampView();
  // The part under screen point (x, y) of the preview, or -1.
  int partAtPreviewPoint(int x, int y) const;
  // The part the stamp map names at (x, y), or -1.
  int partAtStampPoint(int x, int y) const;

  // ---- state, in declaration order ----------------------------------------------
  int32_t renderReady = 0;
  std::string maskPath;                 // empty = none
  int32_t effectLength = 0;
  std::vector<xchar> maskTitle;         // NUL-terminated xchar text; empty = none
  uint16_t workWidth = 0, workHeight = 0;
  int16_t viewX = 0, viewY = 0;
  int16_t pixelAspect = 1000;
  uint16_t monitorWidth = 0, monitorHeight = 0;
  int16_t barCount = 0;
  std::array<BarSegment, kMaxBars> bars{};
  int16_t barWidth = 6;
  int16_t partCount = 0;
  PartArray<OpImagePtr> partMask;
  PartArray<OpImagePtr> partImage;
  PartArray<int16_t> partCenterX{}, partCenterY{}, partWidth{}, partHeight{};
  PartArray<int16_t> partOpacity;
  PartArray<int16_t> partMaskScale;
  PartArray<int16_t> partStampX{}, partStampY{};
  int16_t currentPart = 0;
  PartArray<int32_t> partScene{};
  PartArray<int16_t> partScale;
  PartArray<int16_t> partAlign;
  PartArray<int16_t> partOffsetX{}, partOffsetY{};
  PartArray<int16_t> partMarker{};
  OpImagePtr inputImage;
  OpImagePtr composite;
  OpImagePtr barImage;
  OpImagePtr preview;
  OpImagePtr stampMap;
  OpImagePtr monitorImage;
  CImagePtr stampView;
  CImagePtr barSwatch;
  BarStyle barStyle;

private:
  ModuleParts module_;
  // True when the settings this instance holds came from a successful set-up
  // of an editor instance, so destruction may store them.
  bool ownsSettings_ = false;
  // The bar fill gave no image: the bar layer is a transparent stand-in and
  // no bar lines are drawn into it.
  bool barLeftOut_ = false;
  // Per row of barImage as drawBarLines left it, the columns [first, end)
  // that hold coverage (first == end: none), so laying the bar skips the
  // transparent rest; empty when not known.
  std::vector<std::pair<int16_t, int16_t>> barSpans_;
};

// Part offsets are limited per axis to half the picture size; a value beyond
// is refused.
inline bool offsetWithinLimit(int offset, int size) {
  return (offset < 0 ? -offset : offset) <= size / 2;
}

// The stamp map drawn as a GUI picture with part `highlight` (-1 = none)
// lit; null without a map or memory.
CImage *makeStampPicture(const OpImage *map, int16_t highlight);

} // namespace tileron
