// opScaleImage speed in megapixels of output per second.
#include <benchmark/benchmark.h>

#include <random>

#include "vxhost/oplibcommon.h"

namespace {

void scaleImage(benchmark::State &state, int srcWidth, int srcHeight, int dstWidth, int dstHeight) {
  OpImage *src = opAllocImage(srcWidth, srcHeight, OP_KIND_YUVA, 0);
  OpImage *dst = opAllocImage(dstWidth, dstHeight, OP_KIND_YUVA, 0);
  std::mt19937 rng(1);
  for (size_t i = 0; i < size_t(srcWidth) * size_t(srcHeight) * 4; ++i)
    src->pixels[i] = static_cast<uint8_t>(rng());
  for (auto _ : state) {
    opScaleImage(src, dst, 0);
    benchmark::DoNotOptimize(dst->pixels);
    benchmark::ClobberMemory();
  }
  state.counters["Mpx/s"] = benchmark::Counter(
      double(dstWidth) * double(dstHeight) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
  opFreeImage(src);
  opFreeImage(dst);
}

BENCHMARK_CAPTURE(scaleImage, enlarge_1280x720_to_1920x1080, 1280, 720, 1920, 1080)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(scaleImage, shrink_720x576_to_360x288, 720, 576, 360, 288)
    ->Unit(benchmark::kMillisecond);
// A 1920 x 1080 field at a part scale of 50 %, as a render of grid_4 asks.
BENCHMARK_CAPTURE(scaleImage, shrink_field_1920x540_to_960x270, 1920, 540, 960, 270)
    ->Unit(benchmark::kMillisecond);

} // namespace
