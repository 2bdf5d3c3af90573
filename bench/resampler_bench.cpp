#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "masks/resampler.hpp"

namespace {

// A 720x576 soft-edged diagonal mask resampled to the benchmark's size;
// reported as destination megapixels per second.
void resampleMask(benchmark::State &state) {
  const int sw = 720, sh = 576;
  const int dw = int(state.range(0)), dh = int(state.range(1));
  std::vector<uint8_t> source(size_t(sw) * sh), destination(size_t(dw) * dh);
  for (int y = 0; y < sh; ++y)
    for (int x = 0; x < sw; ++x)
      source[size_t(y) * sw + x] = uint8_t(std::clamp((x * 4 - y * 5) / 2 + 128, 0, 255));
  tileron::ImagePlane from, to;
  from.pixels = source.data();
  from.rowStride = from.width = sw;
  from.height = sh;
  to.pixels = destination.data();
  to.rowStride = to.width = dw;
  to.height = dh;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tileron::resamplePlane(from, to));
    benchmark::ClobberMemory();
  }
  state.counters["Mpx/s"] = benchmark::Counter(double(dw) * dh * 1e-6 * double(state.iterations()),
                                               benchmark::Counter::kIsRate);
}
BENCHMARK(resampleMask)->Args({360, 288})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

} // namespace
