// The host's scenes, the effect's input and the receiver of output fields:
// the registry that the scene calls (orvexa2.cpp) and the field calls
// (oplib.cpp) read, with the clips it holds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
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
  // Field `number` in time order with lines `parity` (see fieldParity). The
  // default takes frame number / 2; a clip at the field rate of an
  // interlaced format gives each field a picture of its own instant.
  virtual bool fieldAt(int number, int parity, uint32_t *out) { return field(number / 2, parity, out); }
  // Field `number` with lines `parity` as a new kind-1 image of the format's
  // field size, when the source has made it already (a clip read ahead);
  // null when it has not, and the field is then asked for with fieldAt().
  virtual OpImage *madeField(int number, int parity) {
    (void)number, (void)parity;
    return nullptr;
  }
};
// A source made of frames held in memory (each width x height of the format).
std::shared_ptr<FrameSource> memorySource(std::vector<std::vector<uint32_t>> frames);

// Makes `source` scene `id` (null removes it); `name` is what the scene
// requester shows beside the ID.
void setScene(int32_t id, std::shared_ptr<FrameSource> source, std::string name = {});
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
// A scene as the scene requester lists it.
struct RegisteredScene {
  int32_t id;
  FrameSource *source;
  std::string name;
};
// Every scene, in ID order.
std::vector<RegisteredScene> listScenes();
// The effect's input, or null; counts the fetch.
FrameSource *fetchInput();
// The sink set with setFieldSink (empty without one).
const std::function<void(OpImage *)> &fieldSink();
// Field `field` (in time order) of `source` as a new kind-1 image, or null
// past its end, when the frame cannot be had or when out of memory.
OpImage *sourceField(FrameSource &source, int32_t field);

} // namespace vxhost
