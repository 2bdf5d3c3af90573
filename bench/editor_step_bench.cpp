// One slider step of the editor at 1920 x 1080: from the element message to
// the redrawn screen (the preview on the video plane, the panel's controls),
// through the editor's own handler on an editor instance with its main panel.
// Intermediate steps (scale, offset) redraw only the screen preview; a final
// step also makes the monitor copy. Reported as the thread's CPU time, so
// that other work on a shared machine does not count.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "editor/editor_run.hpp"
#include "editor/main_panel.hpp"
#include "engine/split_mask.hpp"
#include "entry/module.hpp"
#include "host/reset.hpp"
#include "host/scenes/registry.hpp"
#include "host/settings/settings.hpp"
#include "tests/operator/fixtures/mask_fixture.hpp"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

constexpr int kWidth = 1920, kHeight = 1080;

struct BenchHome {
  fs::path path;
  BenchHome() {
    std::string pattern = (fs::temp_directory_path() / "tileron-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path = pattern;
    vxhost::setHome(path);
  }
  ~BenchHome() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

enum class Step { scale, offset, finalScale };

// An editor run as runEditor makes it, stopped before its loop: the request,
// the editor instance and the main panel.
struct EditorBench {
  BenchHome home;
  OperatorMessage message{};
  std::unique_ptr<tileron::EditorRun> run;
  tileron::EditorPanel panel;
  bool ready = false;

  EditorBench(int columns, int rows, bool monitor) {
    tileron::ModuleState &module = tileron::moduleState();
    vxhost::Format format;
    format.width = kWidth;
    format.height = kHeight;
    vxhost::setFormat(format);
    vxhost::Screen screen;
    screen.videoMonitor = monitor;
    vxhost::setScreen(screen);
    // What the entry reads before every message.
    cgGetVisibleArea(&module.visibleLeft, &module.visibleTop, &module.visibleRight, &module.visibleBottom);
    vxhost::setInput(vxhost::memorySource(taggedClip(0x10, 1, kWidth, kHeight)));
    SettingsDesc settings;
    settings.maskPath = writeMask(home.path, gridMask(kWidth, kHeight, columns, rows));
    for (int part = 0; part < columns * rows; ++part) {
      vxhost::setScene(part + 1, vxhost::memorySource(taggedClip(0x40 + 16 * part, 1, kWidth, kHeight)));
      settings.parts[part].scene = part + 1;
    }
    writeSettings(home.path, settings);
    module.strings = resLoadStrings("tileron");
    module.images = resLoadImages("tileron");
    message.type = OP_MSG_EDIT;
    message.effectValue = 2;
    run = std::make_unique<tileron::EditorRun>(module, message);
    if (!tileron::startEditor(*run)) return;
    run->panel = &panel;
    if (!tileron::buildPanel(panel, module, run->editorRequest())) return;
    tileron::refreshPanel(panel, module);
    ready = true;
  }
  ~EditorBench() {
    if (panel.panelHandle != 0) tileron::removePanel(panel);
    panel.barButtonImage.reset();
    run.reset(); // destroys the effect state and deletes the request
    tileron::ModuleState &module = tileron::moduleState();
    resFreeStrings(module.strings);
    resFreeImages(module.images);
    module.strings = module.images = 0;
  }
};

// Arguments: columns and rows of parts.
void editorStep(benchmark::State &state, Step step) {
  vxhost::reset();
  {
    EditorBench bench(int(state.range(0)), int(state.range(1)), step == Step::finalScale);
    if (!bench.ready) {
      state.SkipWithError("editor set-up failed");
      return;
    }
    GuiMessage message{};
    message.kind = GUI_MSG_ELEMENT;
    message.id = step == Step::offset ? bench.panel.offsetXSlider : bench.panel.scaleSlider;
    message.phase = step == Step::finalScale ? 3 : 0;
    int64_t n = 0;
    for (auto _ : state) {
      // Alternate between two values so that every step changes something.
      const bool odd = (n++ & 1) != 0;
      message.value = step == Step::offset ? (odd ? 10 : 9) : (odd ? 120 : 118);
      tileron::handleElementEvent(*bench.run, message);
      benchmark::ClobberMemory();
    }
  }
  vxhost::reset();
}

BENCHMARK_CAPTURE(editorStep, intermediate_scale, Step::scale)
    ->ArgNames({"cols", "rows"})->Args({2, 1})->Args({2, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(editorStep, intermediate_offset, Step::offset)
    ->ArgNames({"cols", "rows"})->Args({2, 1})->Args({2, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(editorStep, final_scale_with_monitor, Step::finalScale)
    ->ArgNames({"cols", "rows"})->Args({2, 1})->Args({2, 2})
    ->Unit(benchmark::kMillisecond);

} // namespace
