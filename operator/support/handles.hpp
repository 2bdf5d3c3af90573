// Owning handles of host images and C files: the deleter is the host's
// release call or fclose, so every path releases what it got.
#pragma once

#include <cstdio>
#include <memory>

#include "vxhost/oplibcommon.h"
#include "vxhost/orvexagui.h"

namespace tileron {

struct OpImageDeleter {
  void operator()(OpImage *image) const { opFreeImage(image); }
};
struct CImageDeleter {
  void operator()(CImage *image) const { cgFreeImage(image); }
};
using OpImagePtr = std::unique_ptr<OpImage, OpImageDeleter>;
using CImagePtr = std::unique_ptr<CImage, CImageDeleter>;

struct FileCloser {
  void operator()(std::FILE *file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Allocates a host image; null on failure.
inline OpImagePtr allocOpImage(int width, int height, int kind) {
  return OpImagePtr(opAllocImage(width, height, kind, 0));
}

// Pixel row access.
inline uint32_t *pixels32(const OpImage *image) { return reinterpret_cast<uint32_t *>(image->pixels); }
inline uint32_t *pixels32(const CImage *image) { return reinterpret_cast<uint32_t *>(image->pixels); }

// Shows the busy pointer for the life of the guard, then the standard one.
class BusyPointer {
public:
  BusyPointer() { cgBusyPointer(); }
  ~BusyPointer() { cgStandardPointer(); }
  BusyPointer(const BusyPointer &) = delete;
  BusyPointer &operator=(const BusyPointer &) = delete;
};

} // namespace tileron
