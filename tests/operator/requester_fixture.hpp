// A test base for the editor's requesters: the editor fixture with the mask
// catalogue built from the bundled masks (as operator message 7 builds it),
// the visible area read as the entry reads it, the places of the requesters'
// elements on the screen, and the stored bar style.
//
// Requesters are centred in the visible area by the host, their content
// below a title bar of R + 16 and above a button row of R + 24, 8 pixels in
// from the sides (R = 20 here).
#pragma once

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bar/bar_style.hpp"
#include "masks/catalogue.hpp"
#include "masks/mask_paths.hpp"
#include "masks/mask_selector.hpp"
#include "operator/editor_fixture.hpp"

namespace testing_support {

struct Point {
  int x = 0, y = 0;
};

inline constexpr int kRowUnit = 20;

class RequesterTest : public EditorTest {
protected:
  void SetUp() override {
    EditorTest::SetUp();
    tileron::ModuleState &module = tileron::moduleState();
    module.catalogue = tileron::buildMaskCatalogue(tileron::languageTag(module.strings));
    ASSERT_NE(tileron::moduleState().catalogue, nullptr);
    std::filesystem::create_directories(archive());
  }
  void TearDown() override {
    closeEditor();
    tileron::freeMaskCatalogue(tileron::moduleState().catalogue);
    tileron::moduleState().catalogue = nullptr;
    EditorTest::TearDown();
  }

  // The content's top-left corner of a centred requester with a title and
  // standard buttons, its content `width` x `height`.
  Point requestOrigin(int width, int height) const {
    const int frameWidth = width + 16, frameHeight = height + (kRowUnit + 16) + (kRowUnit + 24);
    return {(screenWidth() - frameWidth) / 2 + 8, (screenHeight() - frameHeight) / 2 + kRowUnit + 16};
  }

  // ---- mask selector ----
  // The catalogue position (from 0) of the mask at `path`, or -1.
  int catalogueIndex(const std::string &path) const {
    int i = 0;
    for (tileron::MaskInfo *e = tileron::firstMask(*tileron::moduleState().catalogue); e;
         e = tileron::nextMask(*e), ++i)
      if (e->path == path) return i;
    return -1;
  }
  // Cell `index`'s top-left corner: the grid lies 8 in from the content's
  // corner, its cells 4 in from the grid's and (154 + 4) x (H + 4) apart.
  Point selectorCellCorner(int index) const {
    const tileron::MaskSelectorLayout l =
        tileron::maskSelectorLayout(screenWidth(), screenHeight(), kRowUnit);
    const Point o = requestOrigin(l.requestWidth, l.requestHeight);
    return {o.x + 8 + 4 + (index % l.columns) * (tileron::kMaskCellWidth + 4),
            o.y + 8 + 4 + (index / l.columns) * (l.cellHeight + 4)};
  }
  Point selectorCell(int index) const {
    const Point p = selectorCellCorner(index);
    return {p.x + 77, p.y + 40};
  }

  // ---- anchor requester (180 x 5R + 48) ----
  struct Box {
    int x = 0, y = 0, width = 0, height = 0;
  };
  Box anchorButtonRect(int number) const {
    const Point o = requestOrigin(180, 5 * kRowUnit + 48);
    static constexpr int kColumns[3] = {6, 72, 140};
    const int row = (number - 1) / 3;
    return {o.x + kColumns[(number - 1) % 3], o.y + 6 + row * (2 * kRowUnit + 16), 32, kRowUnit + 4};
  }
  Point anchorButton(int number) const {
    const Box b = anchorButtonRect(number);
    return {b.x + b.width / 2, b.y + b.height / 2};
  }
  // A pixel of a button's frame at the middle of its left edge (one in, past
  // the smoothed outline), which shows whether it is selected.
  static uint32_t frameOf(const std::vector<uint32_t> &screen, int screenWidth, const Box &b) {
    return screen[size_t(b.y + b.height / 2) * size_t(screenWidth) + size_t(b.x + 1)];
  }

  static std::string clickAt(Point p) {
    return "click " + std::to_string(p.x) + " " + std::to_string(p.y);
  }

  // ---- files ----
  std::filesystem::path archive() const { return home() / "programs/tileron/archive"; }
  // The archive folder's file names, sorted.
  std::vector<std::string> archiveFiles() const {
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(archive()))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::vector<uint8_t> fileBytes(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // The host texture library's files in the order its requester shows them.
  static std::vector<std::string> textureNames() {
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(std::filesystem::path(VXHOST_DATA_DIR) / "textures"))
      if (e.path().extension() == ".png") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // ---- bar style ----
  static std::vector<uint8_t> barStyleBytes(const tileron::BarStyle &style) {
    std::vector<uint8_t> bytes(sizeof style);
    std::memcpy(bytes.data(), &style, sizeof style);
    return bytes;
  }
  // The bar style of the stored settings (the first part record's copy).
  tileron::BarStyle storedBarStyle() const {
    const StoredSettings s = readSettings();
    tileron::BarStyle style{};
    const size_t at = 8 + s.maskPath.size() + 1 + 4 + 26;
    if (s.bytes.size() >= at + sizeof style) std::memcpy(&style, s.bytes.data() + at, sizeof style);
    else ADD_FAILURE() << "the settings file holds no bar style";
    return style;
  }
};

} // namespace testing_support
