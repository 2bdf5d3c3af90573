// The host's PNG reader over fuzzed files, directly and through
// txGetOpImageFile in both modes (luma for mask pictures, YUVA otherwise).
// A file the reader accepts must give a whole picture within the side limit,
// and the texture calls must then give an image of the same size.
#include <string>

#include "fuzz_env.hpp"
#include "host/media/png.hpp"
#include "vxhost/oplibcommon.h"
#include "vxhost/txlib.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzzing::FuzzHome::get();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzzing::FuzzHome &home = fuzzing::FuzzHome::get();
  const std::string relative = "/programs/tileron/mask/fuzz.png";
  fuzzing::writeBytes(home / relative, data, size);

  std::string error;
  const std::optional<vxhost::RgbaImage> png = vxhost::readPng(home / relative, error);
  if (png) {
    if (png->width <= 0 || png->height <= 0 || uint32_t(png->width) > vxhost::kMaxPngSide ||
        uint32_t(png->height) > vxhost::kMaxPngSide)
      fuzzing::fail("a picture size beyond the limits");
    if (png->pixels.size() != size_t(png->width) * size_t(png->height) * 4)
      fuzzing::fail("the pixels do not fill the picture");
  } else if (error.empty()) {
    fuzzing::fail("a refusal without a message");
  }

  for (int32_t mode : {1, 0}) {
    OpImage *image = txGetOpImageFile(relative.c_str(), mode);
    if ((image != nullptr) != png.has_value()) fuzzing::fail("the texture call disagrees");
    if (image != nullptr) {
      if (image->width != png->width || image->height != png->height)
        fuzzing::fail("the texture call changed the size");
      if (image->kind != (mode == 1 ? OP_KIND_8 : OP_KIND_YUVA))
        fuzzing::fail("the texture call gave the wrong kind");
      opFreeImage(image);
    }
  }
  fuzzing::expectNoLiveImages();
  return 0;
}
