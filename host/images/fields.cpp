// Fields of scenes and of the effect's input, the output field and the
// preview, over the host's scene registry.
#include <cstring>

#include "host/state.hpp"
#include "vxhost/oplib.h"
#include "vxhost/orvexa2.h"

namespace vxhost {

namespace {

// A new kind-1 field image of `frame` (the format's frame size): frame line
// parity, parity + 2, ... (top field first). Null when out of memory.
OpImage *fieldOf(const uint32_t *frame, int parity) {
  const Format &f = format();
  OpImage *image = opAllocImage(f.width, f.height / 2, OP_KIND_YUVA, 0);
  if (!image)
    return nullptr;
  image->pixelAspect = static_cast<uint16_t>(f.pixelAspect);
  const size_t rowBytes = size_t(f.width) * 4;
  for (int y = 0; y < f.height / 2; ++y)
    std::memcpy(image->pixels + size_t(y) * rowBytes, frame + size_t(2 * y + parity) * size_t(f.width),
                rowBytes);
  return image;
}

// Field `field` of `source`, or null past its end or when the frame cannot be had.
OpImage *sourceField(FrameSource &source, int32_t field) {
  if (field < 0 || field / 2 >= source.length())
    return nullptr;
  const uint32_t *frame = source.frame(field / 2);
  return frame ? fieldOf(frame, field % 2) : nullptr;
}

} // namespace

} // namespace vxhost

using namespace vxhost;

extern "C" int32_t mainGetSceneLengthFromID(int32_t sceneId, int32_t) {
  const auto &scenes = hostState().scenes;
  const auto it = scenes.find(sceneId);
  if (it == scenes.end())
    return 0;
  try {
    return it->second->length();
  } catch (...) {
    return 0;
  }
}

extern "C" OpImage *mainGetFieldFromSceneID(int32_t sceneId, int32_t field, int32_t, int32_t) {
  const auto &scenes = hostState().scenes;
  const auto it = scenes.find(sceneId);
  if (it == scenes.end())
    return nullptr;
  try {
    return sourceField(*it->second, field);
  } catch (...) {
    return nullptr;
  }
}

// This host has no scene requester yet (it needs the GUI toolkit's
// requesters): nothing is chosen.
extern "C" int32_t mainSelectSceneRequesterExt(int16_t, int32_t) { return 0; }

extern "C" OpImage *opGetField(int32_t source, int32_t field) {
  HostState &s = hostState();
  ++s.inputFetches;
  if (source != 0 || !s.input || field < 0)
    return nullptr;
  try {
    const int length = s.input->length();
    if (length <= 0)
      return nullptr;
    // Past its end the input holds its last frame (with the field's parity).
    if (field / 2 >= length)
      field = 2 * (length - 1) + field % 2;
    return sourceField(*s.input, field);
  } catch (...) {
    return nullptr;
  }
}

extern "C" int32_t opPutField(OpImage *image) {
  if (!image)
    return 0;
  HostState &s = hostState();
  if (!s.fieldSink) {
    opFreeImage(image);
    return 0;
  }
  try {
    s.fieldSink(image); // the sink owns the image from here on
  } catch (...) {
    return 0;
  }
  return 1;
}

// This host has no preview of its own yet: it returns at once.
extern "C" int32_t opPreview(int32_t) { return 0; }
