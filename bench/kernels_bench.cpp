// Pixel kernels at 1920 x 1080, plain and fast, in megapixels per second.
// Run: make bench, or build with -DTILERON_BENCH=ON and run tileron-bench
// --benchmark_filter=Kernel.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bar/bar_fill.hpp"
#include "engine/compositing.hpp"
#include "engine/kernels.hpp"

namespace {

using namespace tileron;

constexpr int kWidth = 1920, kHeight = 1080;
constexpr size_t kPixels = size_t(kWidth) * kHeight;

struct Xorshift {
  uint32_t state = 2463534242u;
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
};

void setRate(benchmark::State &state, double pixelsPerIteration) {
  state.counters["Mpx/s"] = benchmark::Counter(
      pixelsPerIteration * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

const kernels::KernelSet &kernelSet(const benchmark::State &state) {
  return state.range(0) ? kernels::fastKernels() : kernels::plainKernels();
}

// Data kinds: 0 every pixel through the general blend (random alpha and mask
// bytes), 1 a typical part picture: opaque, mask open or closed with soft
// 16-pixel edges every 240 columns.
std::vector<uint8_t> maskBytes(int kind) {
  std::vector<uint8_t> mask(kPixels);
  Xorshift random;
  for (size_t i = 0; i < kPixels; ++i) {
    if (kind == 0) {
      mask[i] = uint8_t(random.next());
    } else {
      const int column = int(i % kWidth) % 240;
      mask[i] = column < 112 ? 0 : column < 128 ? uint8_t((column - 112) * 16) : 255;
    }
  }
  return mask;
}

std::vector<uint32_t> picturePixels(int kind) {
  std::vector<uint32_t> pixels(kPixels);
  Xorshift random;
  for (auto &p : pixels) p = kind == 0 ? random.next() : (random.next() | 0xFFu);
  return pixels;
}

void KernelCompositeThroughMask(benchmark::State &state) {
  const auto &set = kernelSet(state);
  const auto picture = picturePixels(int(state.range(1)));
  const auto mask = maskBytes(int(state.range(1)));
  std::vector<uint32_t> destination(kPixels, 0x508080FFu);
  // A typical part is fully opaque; the general case blends at 200.
  const int opacity = state.range(1) ? 255 : 200;
  for (auto _ : state) {
    set.maskComposite(picture.data(), kWidth, destination.data(), kWidth, mask.data(), kWidth,
                      kWidth, kHeight, opacity);
    benchmark::DoNotOptimize(destination.data());
  }
  setRate(state, double(kPixels));
  state.SetLabel(set.name);
}

// Kind 0: random alpha everywhere; kind 1: a bar layer, transparent but for
// 12-pixel bars every 240 columns with one-pixel soft edges.
void KernelOverlayImage(benchmark::State &state) {
  const auto &set = kernelSet(state);
  std::vector<uint32_t> bar(kPixels);
  Xorshift random;
  for (size_t i = 0; i < kPixels; ++i) {
    const int column = int(i % kWidth) % 240;
    const uint32_t alpha = column == 0 || column == 13 ? 128 : column <= 12 ? 255 : 0;
    bar[i] = state.range(1) == 0 ? random.next() : (0xEB808000u | alpha);
  }
  std::vector<uint32_t> destination(kPixels, 0x508080FFu);
  for (auto _ : state) {
    set.overlay(bar.data(), kWidth, destination.data(), kWidth, kWidth, kHeight);
    benchmark::DoNotOptimize(destination.data());
  }
  setRate(state, double(kPixels));
  state.SetLabel(set.name);
}

// One diagonal bar 8 pixels thick across the frame; the rate counts the
// pixels the walk touches (outer steps x (thickness + 1)).
void KernelDrawBarLine(benchmark::State &state) {
  std::vector<uint32_t> image(kPixels, 0);
  const double thickness = 8;
  for (auto _ : state) {
    kernels::barLine(image.data(), kWidth, kWidth, kHeight, 0, 0, kWidth - 1, kHeight - 1,
                     thickness);
    benchmark::DoNotOptimize(image.data());
  }
  setRate(state, double(kWidth) * (thickness + 1));
  state.SetLabel("plain (no fast version)");
}

// Plain: the whole ramp square turned, cut and coloured a pixel at a time.
// Fast: makeGradient, which turns only the window and colours by table.
void KernelGradient(benchmark::State &state) {
  BarStyle style = defaultBarStyle();
  style.mode = kBarGradient;
  style.angle = 30;
  for (auto _ : state) {
    if (state.range(0)) {
      OpImagePtr gradient = makeGradient(style, kWidth, kHeight);
      benchmark::DoNotOptimize(gradient.get());
    } else {
      const int rampSide = int(long(std::sqrt(double(kWidth) * kWidth + double(kHeight) * kHeight) + 1.5) / 2 * 2);
      OpImagePtr ramp = allocOpImage(rampSide, rampSide, OP_KIND_8);
      kernels::fillRamp(ramp->pixels, rampSide, rampSide);
      OpImagePtr turned = rotateRamp(ramp.get(), -double(style.angle));
      const int side = turned->width;
      OpImagePtr result = allocOpImage(kWidth, kHeight, OP_KIND_YUVA);
      kernels::plainKernels().gradientMap(
          turned->pixels + (side - kHeight) / 2 * side + (side - kWidth) / 2, side,
          pixels32(result.get()), kWidth, kWidth, kHeight, style.colourA, style.colourB);
      benchmark::DoNotOptimize(result.get());
    }
  }
  setRate(state, double(kPixels));
  state.SetLabel(state.range(0) ? "fast" : "plain");
}

BENCHMARK(KernelCompositeThroughMask)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"fast", "typical"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(KernelOverlayImage)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"fast", "bar"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(KernelDrawBarLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(KernelGradient)->Arg(0)->Arg(1)->ArgNames({"fast"})->Unit(benchmark::kMillisecond);

} // namespace
