// The host's preview (opPreview): the host renders the effect itself by
// sending the plug-in's entry set-up, one render message per field and
// tear-down, as the render command does, from inside the plug-in's own call.
// In a window it plays the frames at the format's rate with a frame counter
// until they end or a key, a click or closing stops it; headless it renders
// every field, into the preview output when one is set.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "host/settings/settings.hpp"
#include "host/gui/theme.hpp"
#include "host/gui/toolkit.hpp"
#include "host/media/output.hpp"
#include "host/state.hpp"
#include "vxhost/oplib.h"

namespace vxhost::gui {

namespace {

using Clock = std::chrono::steady_clock;

struct ImageFree {
  void operator()(OpImage *image) const { opFreeImage(image); }
};
using Field = std::unique_ptr<OpImage, ImageFree>;

// Lays the frame woven from two fields onto the preview picture, fitted to
// the screen by its pixel aspect (nearest pixel), with the frame counter.
void showFrame(Surface &out, const Field &top, const Field &bottom, int frame, int frames) {
  const Format &f = format();
  const Screen &s = screen();
  out.resize(s.width, s.height, 0x108080FFu);
  const double aspectWidth = double(f.width) * f.pixelAspect / 1000.0;
  const double k = std::min(s.width / aspectWidth, double(s.height) / f.height);
  const int w = std::max(1, int(aspectWidth * k)), h = std::max(1, int(f.height * k));
  const int x0 = (s.width - w) / 2, y0 = (s.height - h) / 2;
  for (int y = 0; y < h; ++y) {
    const int line = int(int64_t(y) * f.height / h);
    const OpImage *field = (line % 2 ? bottom : top).get();
    uint32_t *row = out.row(y0 + y) + x0;
    if (!field)
      continue;
    const auto *src = reinterpret_cast<const uint32_t *>(field->pixels) + size_t(line / 2) * size_t(field->width);
    for (int x = 0; x < w; ++x)
      row[x] = src[int64_t(x) * f.width / w] | 0xFF;
  }
  std::u16string counter;
  for (char c : std::to_string(frame + 1) + " / " + std::to_string(frames))
    counter += char16_t(c);
  Font &font = gui::font();
  const Rect box{16, 16, font.width(counter) + 20, rowUnit() + 4};
  fillRounded(out, out.bounds(), box, 5, theme::helpBack);
  font.draw(out, box, box.x + 10, box.y + (box.h - font.lineHeight()) / 2, counter, theme::text);
}

} // namespace

void setPreviewSetup(const PreviewSetup &setup) { guiState().preview = setup; }

int lastPreviewFields() { return guiState().previewFields; }

} // namespace vxhost::gui

using namespace vxhost;
using namespace vxhost::gui;

extern "C" int32_t opPreview(int32_t) {
  GuiState &g = guiState();
  const PreviewSetup setup = g.preview;
  g.previewFields = 0;
  if (!setup.entry) {
    hostLog(5, __LINE__, "opPreview: no plug-in to preview");
    return -1;
  }
  const Format f = format();
  const bool window = g.backend && g.backend->interactive();
  OperatorMessage message{};
  message.type = OP_MSG_SETUP;
  if (setup.entry(&message) != 0) {
    hostLog(3, __LINE__, "opPreview: the plug-in could not set up its rendering");
    message.type = OP_MSG_TEARDOWN;
    setup.entry(&message);
    return -1;
  }
  Field delivered;
  std::function<void(OpImage *)> savedSink =
      std::exchange(hostState().fieldSink, [&delivered](OpImage *image) { delivered.reset(image); });
  std::unique_ptr<FrameWriter> writer;
  int32_t result = 0;
  try {
    if (!window && !setup.output.empty())
      writer = openWriter(setup.output, f);
    const int frames = (setup.effectLength + 1) / 2;
    const auto period = std::chrono::duration<double>(double(f.rateDen) / f.rateNum);
    const Clock::time_point start = Clock::now();
    Field fields[2];
    g.previewing = window;
    g.previewStop = false;
    for (int32_t t = 0; t < setup.effectLength && !g.previewStop; ++t) {
      delivered.reset();
      message = OperatorMessage{};
      message.type = OP_MSG_RENDER;
      message.flags = t % 2 ? OP_FLAG_ODD_FIELD : 0;
      message.effectValue = setup.effectLength;
      message.field = t;
      if (setup.entry(&message) != 0 || !delivered || delivered->width != f.width ||
          delivered->height != f.height / 2 || delivered->kind != OP_KIND_YUVA) {
        hostLog(3, __LINE__, "opPreview: field %d was not delivered", int(t));
        result = -1;
        break;
      }
      fields[t % 2] = std::move(delivered);
      ++g.previewFields;
      if (t % 2 == 0 && t + 1 < setup.effectLength)
        continue;
      if (writer)
        writer->writeFields(fields[0] ? reinterpret_cast<const uint32_t *>(fields[0]->pixels) : nullptr,
                            fields[1] ? reinterpret_cast<const uint32_t *>(fields[1]->pixels) : nullptr);
      if (window) {
        showFrame(g.previewFrame, fields[0], fields[1], t / 2, frames);
        touch();
        // Waits for the frame's time, taking input (which stops the preview).
        const Clock::time_point due = start + std::chrono::duration_cast<Clock::duration>(period * (t / 2 + 1));
        do {
          const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
          g.backend->pump(int32_t(std::max<int64_t>(left, 0)));
        } while (Clock::now() < due && !g.previewStop);
      }
      fields[0].reset();
      fields[1].reset();
    }
    if (writer && result == 0)
      writer->finish();
  } catch (const std::exception &e) {
    hostLog(3, __LINE__, "opPreview: %s", e.what());
    std::fprintf(stderr, "tileron-host: preview: %s\n", e.what());
    result = -1;
  }
  g.previewing = false;
  g.previewFrame = Surface{};
  touch();
  hostState().fieldSink = std::move(savedSink);
  message = OperatorMessage{};
  message.type = OP_MSG_TEARDOWN;
  setup.entry(&message);
  return result;
}
