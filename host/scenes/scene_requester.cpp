// The scene requester behind mainSelectSceneRequesterExt.
#include "host/scenes/scene_requester.hpp"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host/gui/keys.hpp"
#include "host/gui/orvexagui.hpp"
#include "host/gui/toolkit.hpp"
#include "host/images/scale.hpp"
#include "host/requesters/modal.hpp"
#include "host/scenes/registry.hpp"
#include "host/settings/settings.hpp"
#include "host/text/utf.hpp"
#include "vxhost/vxlstlib.h"

namespace vxhost {

using namespace requesters;

namespace {

constexpr int kThumbWidth = 152, kThumbHeight = 86;
constexpr int kCellWidth = kThumbWidth + 8;
// Room the toolkit's grid keeps around its cells (4 between cells and at the
// edges, and a scroll bar's room at the right).
constexpr int kCellGap = 4, kScrollRoom = 18;
constexpr int kMinColumns = 3, kMaxColumns = 6;

// The thumbnail size of a frame: the frame's shape on the GUI screen
// (both pixel aspects counted), fitted into kThumbWidth x kThumbHeight.
void thumbSize(const Format &f, int &w, int &h) {
  const int64_t shownWidth = int64_t(f.width) * f.pixelAspect;
  const int64_t shownHeight = int64_t(f.height) * std::max(1, screen().pixelAspect);
  if (shownWidth * kThumbHeight >= shownHeight * kThumbWidth) {
    w = kThumbWidth;
    h = int(std::clamp<int64_t>((shownHeight * kThumbWidth + shownWidth / 2) / shownWidth, 1, kThumbHeight));
  } else {
    h = kThumbHeight;
    w = int(std::clamp<int64_t>((shownWidth * kThumbHeight + shownHeight / 2) / shownHeight, 1, kThumbWidth));
  }
}

// The first frame of a scene, scaled; null when it cannot be had.
CImageHandle thumbnail(FrameSource &source) {
  const Format &f = format();
  const uint32_t *frame = nullptr;
  try {
    frame = source.length() > 0 ? source.frame(0) : nullptr;
  } catch (...) {
    frame = nullptr;
  }
  if (!frame)
    return nullptr;
  int w, h;
  thumbSize(f, w, h);
  CImageHandle image(cgAllocImage(CG_KIND_YUVA, w, h));
  if (!image)
    return nullptr;
  scalePicture(reinterpret_cast<const uint8_t *>(frame), ptrdiff_t(f.width) * 4, f.width, f.height, image->pixels,
               ptrdiff_t(w) * 4, w, h, 4);
  return image;
}

// "m:ss" (or "h:mm:ss") of a length in frames at the format's rate.
std::u16string duration(int frames) {
  const Format &f = format();
  const int64_t seconds = f.rateNum > 0 ? int64_t(frames) * f.rateDen / f.rateNum : 0;
  char text[32];
  if (seconds >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", (long long)(seconds / 3600), (long long)(seconds / 60 % 60),
                  (long long)(seconds % 60));
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", (long long)(seconds / 60), (long long)(seconds % 60));
  return utf8ToUtf16Lenient(text);
}

// What a scene's cell says: its ID and name, then its length.
std::u16string cellText(int32_t id, const std::string &name, int length) {
  std::u16string first = text(kStrSceneName, u"%1  %2", {number(id), utf8ToUtf16Lenient(name)});
  std::u16string second = length > 0 ? text(kStrSceneLength, u"%1 frames \u00B7 %2", {number(length), duration(length)})
                                      : text(kStrSceneUnusable, u"cannot be used");
  return first + u"\n" + second;
}

} // namespace

int32_t runSceneRequester(int32_t current) {
  const std::vector<RegisteredScene> scenes = listScenes();
  if (scenes.empty()) {
    const std::u16string title = text(kStrSceneTitle, u"Choose a scene");
    const std::u16string message = text(kStrNoScenes, u"The storyboard has no scenes.");
    TextRequest t{};
    t.title = reinterpret_cast<const xchar *>(title.c_str());
    t.text = reinterpret_cast<const xchar *>(message.c_str());
    t.style = 1;
    creqTextRequest(&t);
    return 0;
  }
  // The scenes in ID order, each with its thumbnail and text.
  struct Cell {
    int32_t id;
    CImageHandle picture;
    std::u16string text;
  };
  std::vector<Cell> cells;
  for (const RegisteredScene &scene : scenes) {
    int length = 0;
    try {
      length = scene.source->length();
    } catch (...) {
      length = 0;
    }
    cells.push_back({scene.id, thumbnail(*scene.source), cellText(scene.id, scene.name, length)});
  }
  std::vector<GridItem> items(cells.size());
  VxList list{};
  lstNewList(&list);
  for (size_t i = 0; i < cells.size(); ++i) {
    items[i].flags = 0x210;
    items[i].picture = cells[i].picture.get();
    items[i].text = reinterpret_cast<const xchar *>(cells[i].text.c_str());
    lstAppend(&list, &items[i].node);
  }
  // Cells: the thumbnail, then two lines of text.
  const int cellHeight = kThumbHeight + 8 + 2 * (lineHeight() + 2) + 4;
  int left, top, right, bottom;
  cgGetVisibleArea(&left, &top, &right, &bottom);
  const int n = int(cells.size());
  const int fitColumns = std::max(1, (right - left + 1 - 100 - kScrollRoom) / (kCellWidth + kCellGap));
  const int columns = std::min(fitColumns, std::max(kMinColumns, std::min(n, kMaxColumns)));
  const int fitRows = std::max(1, (bottom - top + 1 - 200) / (cellHeight + kCellGap));
  const int rows = std::clamp((n + columns - 1) / columns, 1, fitRows);
  const int gridWidth = columns * (kCellWidth + kCellGap) + kCellGap + kScrollRoom;
  const int gridHeight = rows * (cellHeight + kCellGap) + kCellGap;
  ModalRequest r(gridWidth, gridHeight, CREQ_ACCEPT | CREQ_CANCEL, text(kStrSceneTitle, u"Choose a scene"));
  if (!r.open())
    return 0;
  const int32_t grid = cgAddGridview(r.handle(), 0, 0, gridWidth, gridHeight, kCellWidth, cellHeight, &list, 0, 0, nullptr);
  if (grid == 0)
    return 0;
  cgChangeElement(r.handle(), grid, CG_ATTR_KEY, gui::keys::kRight, 0);
  const auto at = std::find_if(cells.begin(), cells.end(), [&](const Cell &c) { return c.id == current; });
  cgChangeElement(r.handle(), grid, CG_ATTR_GRID_SELECT, at == cells.end() ? 0 : at - cells.begin(), 1);
  GuiMessage m{};
  while (r.next(m)) {
    if (m.id == r.descriptor().cancelId)
      return 0;
    if (m.id == r.descriptor().acceptId) {
      int32_t chosen = -1;
      cgGetElementInfo(r.handle(), grid, CG_ATTR_GRID_SELECTED, &chosen);
      return chosen >= 0 && chosen < n ? cells[size_t(chosen)].id : 0;
    }
  }
  return 0;
}

} // namespace vxhost
