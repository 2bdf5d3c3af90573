// oplib: the effect's input fields and the output field, over the scene
// registry, and the host preview (the GUI's: host/gui/preview.cpp).
#include "host/gui/gui.hpp"
#include "host/images/images.hpp"
#include "host/scenes/registry.hpp"
#include "vxhost/oplib.h"

using namespace vxhost;

extern "C" OpImage *opGetField(int32_t source, int32_t field) {
  FrameSource *input = fetchInput();
  if (source != 0 || !input || field < 0)
    return nullptr;
  try {
    const int length = input->length();
    if (length <= 0)
      return nullptr;
    // Past its end the input holds its last frame (with the field's place in time).
    if (field / 2 >= length)
      field = 2 * (length - 1) + field % 2;
    return sourceField(*input, field);
  } catch (...) {
    return nullptr;
  }
}

extern "C" int32_t opPutField(OpImage *image) {
  if (!image)
    return 0;
  const std::function<void(OpImage *)> &sink = fieldSink();
  if (!sink) {
    opFreeImage(image);
    return 0;
  }
  try {
    sink(image); // the sink owns the image from here on
  } catch (...) {
    return 0;
  }
  return 1;
}

extern "C" int32_t opPreview(int32_t) { return vxhost::gui::runPreview(); }
