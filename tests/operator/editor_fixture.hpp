// A test base for the editor: a fresh VXHOME holding the bundled masks, a
// 640 x 360 storyboard in memory (input and three scenes), the shipped
// resource set "tileron" loaded as the operator's, a settings file naming a
// mask and the parts' scenes, the log captured; at the end no host image and
// no GUI image, panel, request or extension record left.
//
// Two ways in: `runEditor` runs the whole editor through the operator entry
// with a headless script feeding its input; `openEditor` builds what the
// editor run makes before its loop (request, editor instance, main panel),
// so a test can call one handler or one step at a time.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "editor/editor_run.hpp"
#include "editor/main_panel.hpp"
#include "engine/split_mask.hpp"
#include "entry/entry.hpp"
#include "entry/module.hpp"
#include "host/settings/settings.hpp"
#include "host/gui/gui.hpp"
#include "operator/fixtures/mask_fixture.hpp"
#include "support/sandbox.hpp"
#include "vxhost/orvexares.h"

namespace testing_support {

// Frames of the storyboard; scenes 1 and 2 last the effect, scene 3 is short.
inline constexpr int kClipWidth = 640, kClipHeight = 360;
inline constexpr int32_t kEffectFields = 8;
inline const std::string kDiagonalMask = "/programs/tileron/mask/diagonal_down_2.xml";
inline const std::string kCrossMask = "/programs/tileron/mask/diagonal_cross_4.xml";

// The settings file as stored.
struct StoredPart {
  int32_t scene = 0;
  int16_t relativeScale = 0, align = 0;
  double offsetX = 0, offsetY = 0; // x 10000 / working size
  int16_t opacity = 0;
};
struct StoredSettings {
  std::string maskPath;
  int16_t barWidth = 0, currentPart = 0;
  StoredPart parts[10];
  std::vector<uint8_t> bytes;
};

class EditorTest : public testing_support::Sandbox {
protected:
  void SetUp() override {
    Sandbox::SetUp();
    namespace fs = std::filesystem;
    const fs::path masks = home() / "programs/tileron/mask";
    fs::create_directories(masks);
    fs::create_directories(home() / "programs/tileron/prefs");
    for (const fs::directory_entry &e : fs::directory_iterator(fs::path(VXHOST_DATA_DIR) / "masks"))
      if (e.is_regular_file()) fs::copy_file(e.path(), masks / e.path().filename());
    vxhost::Format format;
    format.width = kClipWidth;
    format.height = kClipHeight;
    vxhost::setFormat(format);
    useScreen(1920, 1080);
    vxhost::setInput(vxhost::memorySource(taggedClip(0x10, 1, kClipWidth, kClipHeight)));
    vxhost::setScene(1, vxhost::memorySource(taggedClip(0x50, 4, kClipWidth, kClipHeight)));
    vxhost::setScene(2, vxhost::memorySource(taggedClip(0x90, 4, kClipWidth, kClipHeight)));
    vxhost::setScene(3, vxhost::memorySource(taggedClip(0xD0, 1, kClipWidth, kClipHeight)));
    tileron::ModuleState &module = tileron::moduleState();
    module.strings = resLoadStrings("tileron");
    module.images = resLoadImages("tileron");
    ASSERT_NE(module.strings, 0u);
    ASSERT_NE(module.images, 0u);
    settings.maskPath = kDiagonalMask;
    settings.parts[0].scene = 1;
    settings.parts[1].scene = 2;
  }

  void TearDown() override {
    closeEditor();
    tileron::ModuleState &module = tileron::moduleState();
    module.effect.reset();
    resFreeStrings(module.strings);
    resFreeImages(module.images);
    module.strings = module.images = 0;
    Sandbox::TearDown();
  }

  void useScreen(int width, int height) {
    vxhost::Screen screen;
    screen.width = width;
    screen.height = height;
    vxhost::setScreen(screen);
  }
  int screenWidth() const { return vxhost::screen().width; }
  int screenHeight() const { return vxhost::screen().height; }

  std::filesystem::path settingsFile() const { return home() / "programs/tileron/prefs/tileron.prf"; }
  void writeSettingsFile() { writeSettings(home(), settings); }

  // Runs the editor through the entry on `script` (the headless script's
  // lines); the settings are written first.
  void runEditor(const std::string &script) {
    writeSettingsFile();
    vxhost::gui::runScript(vxhost::gui::parseScript(script, "test", screenWidth(), screenHeight()));
    OperatorMessage message{};
    message.type = OP_MSG_EDIT;
    message.effectValue = kEffectFields;
    EXPECT_EQ(tileron::operatorEntry(&message), 0);
    EXPECT_EQ(tileron::moduleState().effect, nullptr);
    EXPECT_EQ(vxhost::gui::scriptFailure(), "");
  }

  // The editor as runEditor leaves it just before its loop; false when a step fails.
  bool openEditor() {
    writeSettingsFile();
    tileron::ModuleState &module = tileron::moduleState();
    message_.type = OP_MSG_EDIT;
    message_.effectValue = kEffectFields;
    // What the entry reads before every message.
    cgGetVisibleArea(&module.visibleLeft, &module.visibleTop, &module.visibleRight,
                     &module.visibleBottom);
    module.visibleWidth = int16_t(module.visibleRight - module.visibleLeft + 1);
    module.visibleHeight = int16_t(module.visibleBottom - module.visibleTop + 1);
    run_ = std::make_unique<tileron::EditorRun>(module, message_);
    if (!tileron::startEditor(*run_)) return false;
    run_->panel = &panel;
    if (!tileron::buildPanel(panel, module, run_->editorRequest())) return false;
    tileron::refreshPanel(panel, module);
    return true;
  }
  void closeEditor() {
    if (!run_) return;
    if (panel.panelHandle != 0) tileron::removePanel(panel);
    panel.barButtonImage.reset();
    run_.reset(); // stores the settings, deletes the request
  }
  tileron::EditorRun &run() { return *run_; }
  tileron::SplitMask &effect() { return *tileron::moduleState().effect; }

  // A kind-4 message from `element`.
  static GuiMessage elementMessage(int32_t element, int32_t value = 0, int16_t phase = 0) {
    GuiMessage m{};
    m.kind = GUI_MSG_ELEMENT;
    m.id = element;
    m.value = value;
    m.phase = phase;
    return m;
  }

  StoredSettings readSettings() const {
    StoredSettings s;
    std::ifstream in(settingsFile(), std::ios::binary);
    s.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    size_t at = 0;
    auto take = [&](void *out, size_t n) {
      if (at + n <= s.bytes.size()) std::memcpy(out, s.bytes.data() + at, n);
      at += n;
    };
    uint32_t magic = 0, length = 0;
    take(&magic, 4);
    take(&length, 4);
    if (magic != 0xCB500002u || at + length > s.bytes.size()) {
      ADD_FAILURE() << "not a settings file: " << settingsFile();
      return s;
    }
    s.maskPath.assign(reinterpret_cast<const char *>(s.bytes.data() + at));
    at += length;
    take(&s.barWidth, 2);
    take(&s.currentPart, 2);
    for (StoredPart &p : s.parts) {
      const size_t start = at;
      take(&p.scene, 4);
      take(&p.relativeScale, 2);
      take(&p.align, 2);
      take(&p.offsetX, 8);
      take(&p.offsetY, 8);
      take(&p.opacity, 2);
      at = start + 198;
    }
    return s;
  }

  // The stored offset of `size` working pixels as the file holds it.
  static double storedOffset(int pixels, int size) { return double(pixels * 10000) / size; }

  // The operator's reports of `source` at `level` in the captured log.
  static int reports(const char *source, int level) {
    int n = 0;
    for (const vxhost::LogRecord &r : vxhost::takeLog())
      if (r.source == source && r.level == level) ++n;
    return n;
  }

  SettingsDesc settings;
  tileron::EditorPanel panel;

private:
  OperatorMessage message_{};
  std::unique_ptr<tileron::EditorRun> run_;
};

} // namespace testing_support
