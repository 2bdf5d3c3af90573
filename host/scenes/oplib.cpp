// Fields of scenes and of the effect's input and the output field, over the
// host's scene registry (the preview, opPreview, is the GUI's: host/gui/preview.cpp).
#include <memory>

#include "host/images/images.hpp"
#include "host/state.hpp"
#include "vxhost/oplib.h"
#include "vxhost/orvexa2.h"

namespace vxhost {

namespace {

// Field `field` (in time order) of `source` as a new kind-1 image, or null past its end, when
// the frame cannot be had or when out of memory. The source writes every
// row, so the image is not cleared first.
OpImage *sourceField(FrameSource &source, int32_t field) {
  if (field < 0 || field / 2 >= source.length())
    return nullptr;
  const Format &f = format();
  if (OpImage *made = source.madeField(field, fieldParity(f, field))) {
    made->pixelAspect = static_cast<uint16_t>(f.pixelAspect);
    return made;
  }
  // Released on every way out but success, a throwing source included.
  std::unique_ptr<OpImage, void (*)(OpImage *)> image(allocUnclearedImage(f.width, f.height / 2, OP_KIND_YUVA),
                                                      opFreeImage);
  if (!image || !source.fieldAt(field, fieldParity(f, field), reinterpret_cast<uint32_t *>(image->pixels)))
    return nullptr;
  image->pixelAspect = static_cast<uint16_t>(f.pixelAspect);
  return image.release();
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

extern "C" OpImage *opGetField(int32_t source, int32_t field) {
  HostState &s = hostState();
  ++s.inputFetches;
  if (source != 0 || !s.input || field < 0)
    return nullptr;
  try {
    const int length = s.input->length();
    if (length <= 0)
      return nullptr;
    // Past its end the input holds its last frame (with the field's place in time).
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
