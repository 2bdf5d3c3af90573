// Owning handles of the host's images: each releases its image on every path.
#pragma once

#include <memory>

#include "vxhost/oplibcommon.h"
#include "vxhost/orvexagui.h"

namespace vxhost {

struct OpImageFree {
  void operator()(OpImage *image) const { opFreeImage(image); }
};
using OpImageHandle = std::unique_ptr<OpImage, OpImageFree>;

struct CImageFree {
  void operator()(CImage *image) const { cgFreeImage(image); }
};
using CImageHandle = std::unique_ptr<CImage, CImageFree>;

} // namespace vxhost
