// Whole-field rendering: a render instance set up once, then loadPartFields
// and renderField per field, with scenes already at the working size held in
// memory. Reported as fields per second of the thread's CPU time, so that
// other work on a shared machine does not count.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/split_mask.hpp"
#include "host/reset.hpp"
#include "host/scenes/registry.hpp"
#include "host/settings/settings.hpp"
#include "tests/operator/fixtures/mask_fixture.hpp"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

// A fresh VXHOME for one benchmark, removed afterwards.
struct BenchHome {
  fs::path path;
  BenchHome() {
    std::string pattern = (fs::temp_directory_path() / "tileron-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      std::abort();
    path = pattern;
    vxhost::setHome(path);
  }
  ~BenchHome() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

// Arguments: frame width, frame height, columns and rows of parts.
void renderField(benchmark::State &state) {
  const int width = int(state.range(0)), height = int(state.range(1));
  const int columns = int(state.range(2)), rows = int(state.range(3));
  vxhost::reset();
  BenchHome home;
  vxhost::Format format;
  format.width = width;
  format.height = height;
  vxhost::setFormat(format);
  // Two clips of one frame (two fields) shared by the parts; the input is a third.
  const auto clipA = vxhost::memorySource(taggedClip(0x40, 1, width, height));
  const auto clipB = vxhost::memorySource(taggedClip(0x80, 1, width, height));
  vxhost::setInput(vxhost::memorySource(taggedClip(0x10, 1, width, height)));
  SettingsDesc settings;
  settings.maskPath = writeMask(home.path, gridMask(width, height, columns, rows));
  for (int part = 0; part < columns * rows; ++part) {
    vxhost::setScene(part + 1, part % 2 == 0 ? clipA : clipB);
    settings.parts[part].scene = part + 1;
  }
  writeSettings(home.path, settings);
  {
    tileron::SplitMask effect;
    if (!effect.setupRender(width, height, false)) {
      state.SkipWithError("render set-up failed");
      return;
    }
    int64_t field = 0;
    for (auto _ : state) {
      const int32_t t = int32_t(field++ % 2);
      if (!effect.loadPartFields(t)) {
        state.SkipWithError("loadPartFields failed");
        break;
      }
      tileron::OpImagePtr output(effect.renderField(t, t != 0 ? 2u : 0u));
      if (!output) {
        state.SkipWithError("renderField gave no field");
        break;
      }
      benchmark::DoNotOptimize(output->pixels);
    }
    state.counters["fields/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  }
  vxhost::reset();
}
BENCHMARK(renderField)
    ->ArgNames({"w", "h", "cols", "rows"})
    ->Args({720, 576, 2, 1})
    ->Args({720, 576, 2, 2})
    ->Args({1920, 1080, 2, 1})
    ->Args({1920, 1080, 2, 2})
    ->Unit(benchmark::kMillisecond);

} // namespace
