// The host's scenes, the effect's input and the receiver of output fields:
// the registry that the scene calls (orvexa2.cpp) and the field calls
// (oplib.cpp) read, with the clips it holds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "vxhost/oplibcommon.h"

namespace vxhost {

// A clip as the host sees it: `length` frames, each the format's frame size in
// YUVA words (0xYYUUVVAA). frame() may return null for a frame that cannot be
// decoded; the pointer stays valid until the next call on the same source.
class FrameSource {
public:
  virtual ~FrameSource() = default;
  virtual int length() const = 0;
  virtual const uint32_t *frame(int index) = 0;
  // Writes lines parity, parity + 2, … of frame `index` (width x height / 2
  // words) to `out`; false where frame() gives null. The default copies
  // them out of frame(); a source that keeps its frames in another form
  // writes them straight from it, saving the whole frame's words.
  virtual bool field(int index, int parity, uint32_t *out);
};
// A source made of frames held in memory (each width x height of the format).
std::shared_ptr<FrameSource> memorySource(std::vector<std::vector<uint32_t>> frames);

void setScene(int32_t id, std::shared_ptr<FrameSource> source);
void clearScenes();
void setInput(std::shared_ptr<FrameSource> source); // null: opGetField yields null
// Counts opGetField calls (tests check that the input is not fetched).
int inputFetchCount();

// Receives every image handed to opPutField and owns it (must opFreeImage it).
// Without a sink the image is released at once.
void setFieldSink(std::function<void(OpImage *)> sink);

// No scenes, no input, no sink, the fetch count 0.
void resetScenes();

// ---- for the scene and field calls -----------------------------------------

// The scene of `id`, or null.
FrameSource *findScene(int32_t id);
// The effect's input, or null; counts the fetch.
FrameSource *fetchInput();
// The sink set with setFieldSink (empty without one).
const std::function<void(OpImage *)> &fieldSink();
// Field `field` of `source` as a new kind-1 image, or null past its end, when
// the frame cannot be had or when out of memory.
OpImage *sourceField(FrameSource &source, int32_t field);

} // namespace vxhost
