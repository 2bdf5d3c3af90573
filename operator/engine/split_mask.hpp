// SplitMask: everything the split-screen effect knows — working geometry, the
// mask's parts and bars, the user's settings per part, the bar style and the
// images that rendering and the editor work on. One instance at a time: a
// render instance (field size) or an editor instance (screen size).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bar/bar_style.hpp"
#include "support/handles.hpp"
#include "vxhost/oplibcommon.h"
#include "vxhost/orvexagui.h"

namespace tileron {

inline constexpr int kMaxParts = 10;
inline constexpr int kMaxBars = 20;
inline constexpr const char *kDefaultMaskPath = "/programs/tileron/mask/diagonal_down_2.xml";
// Fills a part's picture once its scene has ended: grey with alpha 0, lays nothing.
inline constexpr uint32_t kEndedScenePixel = 0x40808000u;

// One bar line from (left, top) to (right, bottom), bar-image coordinates.
struct BarSegment {
  int16_t left = 0, top = 0, right = 0, bottom = 0;
};

template <typename T> using PartArray = std::array<T, kMaxParts>;

class SplitMask {
public:
  // Sets the defaults; cannot fail.
  SplitMask();
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

  // ---- mask file ----------------------------------------------------------
  // Loads the mask at maskPath into this state: 1 on success, 0 on failure.
  int loadMask(bool renderMode);

  // ---- settings file ------------------------------------------------------
  int loadLastMaskPath();
  int applySavedSettings();
  int saveSettings();
  int copySettingsTo(const std::string &destination);

  // ---- rendering ------------------------------------------------------------
  bool loadPartFields(int32_t field);
  // A new output field the caller owns (hands it to opPutField), or null.
  OpImage *renderField(int32_t field, uint32_t flags);
  bool composeParts(OpImage *destination, const OpImage *source, int leaveOut, bool fieldMode,
                    int parity);
  // Top-left corner of a w x h picture of part i in working coordinates.
  void placePart(int part, int width, int height, int16_t &x, int16_t &y) const;
  bool partCoversBox(int part) const;
  void buildBarImage();
  void drawBarLines();
  bool refreshPreview();
  void showPreview(bool withMonitor);

  // ---- part editing (on currentPart) -----------------------------------------
  void setPartScene(int32_t sceneId);
  void setPartScale(int16_t percent);
  void setPartOffset(int16_t x, int16_t y);
  void setPartOffsetXPercent(int percent);
  void setPartOffsetYPercent(int percent);
  void setPartAlign(int16_t anchor);
  void setPartOpacity(int16_t opacity);
  void resetPart();
  void setBarWidth(int16_t perMille);
  void barStyleChanged();
  void selectPart(int part);
  void refreshStampView();
  int partAtPreviewPoint(int x, int y) const;
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
  // True when the settings this instance holds came from a successful set-up
  // of an editor instance, so destruction may store them.
  bool ownsSettings_ = false;
};

// The stamp map drawn as a GUI picture with part `highlight` (-1 = none)
// lit; null without a map or memory.
CImage *makeStampPicture(const OpImage *map, int16_t highlight);

} // namespace tileron
