// The GUI toolkit at 1920 x 1080: a full redraw of an editor-sized panel, a
// slider step (the slider's redraw and the preview laid on the video plane),
// the video plane copy and the composed screen.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "host/gui/gui.hpp"
#include "host/gui/toolkit.hpp"
#include "host/reset.hpp"
#include "host/settings/settings.hpp"
#include "vxhost/orvexagui.h"
#include "vxhost/orvexareq.h"

namespace {

namespace gui = vxhost::gui;

// A full-screen request with a 1200 x 130 panel of three groups holding six
// sliders, eight buttons, a check box and two box texts, as the editor's.
struct EditorScreen {
  RequestDescriptor request{};
  CgHandle panel = 0;
  int32_t slider = 0;
  std::u16string label = u"Opacity", unit = u"%", text = u"Preview";

  EditorScreen() {
    vxhost::reset();
    request.width = 1920;
    request.height = 1080;
    request.flags = 0x21C0;
    creqCreateRequest(&request);
    panel = cgCreatePanel(request.handle, 360, 950, 1200, 130, 256, 2048, 0);
    for (int g = 0; g < 3; ++g)
      cgCreatePanel(panel, 66 + g * 380, 26, 370, 96, 64, 0, 0);
    const auto *l = reinterpret_cast<const xchar *>(label.c_str());
    const auto *u = reinterpret_cast<const xchar *>(unit.c_str());
    const auto *t = reinterpret_cast<const xchar *>(text.c_str());
    for (int i = 0; i < 6; ++i)
      slider = cgAddSlider(panel, 140 + (i % 2) * 170, 34 + (i / 2) * 28, 136, 24, 0, 255, 128, l, u, 0x130000, nullptr);
    for (int i = 0; i < 8; ++i)
      cgAddTextButton(panel, 480 + (i % 4) * 140, 34 + (i / 4) * 28, 134, 24, t, 0, nullptr);
    cgAddCheckBox(panel, 412, 90, 32, 24, 1, 0, nullptr);
    cgBoxText(panel, l, 822, 90, 100, 24, 17);
    cgBoxText(panel, u, 960, 90, 100, 24, 17);
  }
  ~EditorScreen() { creqDeleteRequest(&request); }
};

void fullPanelRedraw(benchmark::State &state) {
  EditorScreen screen;
  gui::Request *r = gui::findRequest(screen.request.handle);
  const gui::Rect area = gui::findPanel(screen.panel)->rect;
  for (auto _ : state) {
    gui::repaint(*r, area);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(fullPanelRedraw)->Unit(benchmark::kMillisecond);

void sliderStep(benchmark::State &state) {
  EditorScreen screen;
  const std::vector<uint32_t> preview(size_t(1920) * 1080, 0x80808080u);
  int32_t value = 0;
  for (auto _ : state) {
    cgChangeElement(screen.panel, screen.slider, CG_ATTR_SLIDER_VALUE, value = (value + 1) % 256, 1);
    cgmxYUVAtoOvl(preview.data(), 0, 1920 * 4, 0, 0, 1920, 1080);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(sliderStep)->Unit(benchmark::kMillisecond);

void videoPlaneCopy(benchmark::State &state) {
  vxhost::reset();
  const std::vector<uint32_t> picture(size_t(1920) * 1080, 0x80808080u);
  for (auto _ : state) {
    cgmxYUVAtoOvl(picture.data(), 0, 1920 * 4, 0, 0, 1920, 1080);
    benchmark::ClobberMemory();
  }
  state.counters["Mpx/s"] =
      benchmark::Counter(1920.0 * 1080.0 * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(videoPlaneCopy)->Unit(benchmark::kMillisecond);

// What a window presents: the whole screen composed.
void composeScreen(benchmark::State &state) {
  EditorScreen screen;
  gui::Surface out;
  for (auto _ : state) {
    gui::composeInto(out, true);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(composeScreen)->Unit(benchmark::kMillisecond);

} // namespace
