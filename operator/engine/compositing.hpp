// Pixel compositing of host images: copying, alpha overlay, laying a part's
// picture through its 8-bit mask, bar line coverage, GUI image conversion and
// showing a preview around the editor's panels.
//
// 32-bit pixels are words 0xYYUUVVAA (alpha in the low byte, 255 opaque).
// Every routine clips to the images it is given and does nothing for null
// images; none allocates or releases anything except the two conversions.
// The arithmetic lives in kernels.hpp; this file is the plumbing.
#pragma once

#include <array>
#include <cstdint>

#include "support/handles.hpp"
#include "vxhost/oplibcommon.h"
#include "vxhost/orvexagui.h"

namespace tileron {

// Copies the top-left width x height pixels of `source` to the top-left of
// `destination`, clipped to both images. Pixel size follows the source kind
// (1: 4 bytes, 2: 2 bytes, 3: 1 byte); images of different pixel sizes are
// left alone.
void copyImageRect(const OpImage *source, OpImage *destination, int width, int height);

// Lays `source` over `destination` by the source's alpha, both from their
// top-left corner, over width x height clipped to both. In field mode the
// source is frame-high: destination row r reads source row 2r + (parity != 0).
// Blend: alpha 0 keeps the destination, 255 copies the source word, otherwise
// Y, U, V = (s*a + d*(255-a)) / 255 truncated and alpha = min(d + a, 255).
void overlayImage(const OpImage *source, OpImage *destination, int width, int height,
                  bool fieldMode, int parity);

// Lays `picture` onto `destination` at (x, y), weighted by picture alpha,
// `opacity` (0..255) and the inverted `mask` byte (0 lets through, 255
// blocks). The kind-3 mask is addressed in destination coordinates, in field
// mode at mask row 2y + (parity != 0). The rectangle is clipped to the
// destination, the picture and the mask. Exact integer evaluation:
// N = alpha*opacity*(255-mask); N = 0 leaves the pixel; the new alpha is
// max(N / 65025, old alpha); Y, U, V become the picture's when the old alpha
// is 0, else (d*(255^3 - N) + s*N) / 255^3, all truncating.
void compositeThroughMask(const OpImage *picture, OpImage *destination, const OpImage *mask,
                          int x, int y, int width, int height, int opacity, bool fieldMode,
                          int parity);

// Lays GUI image `source` over `destination` at (x, y) (may be negative),
// clipped, with the blend of overlayImage.
void overlayGuiImage(const CImage *source, CImage *destination, int x, int y);

// Adds anti-aliased coverage of the line (x1, y1)-(x2, y2) of `thickness`
// pixels to the alpha bytes of the 32-bit `image`, saturating at 255; Y, U, V
// are untouched. Lines with a non-finite value, a negative thickness or a value
// beyond +-65536 draw nothing.
void drawBarLine(OpImage *image, double x1, double y1, double x2, double y2, double thickness);

// A screen rectangle the preview must not paint over; width 0 = empty.
struct PanelRect {
  int16_t x = 0, y = 0, width = 0, height = 0;
};

// Panel table entries: 0 the editor's main panel, 1 only ever cleared,
// 2 the bar style requester.
inline constexpr int kPanelCount = 3;
using PanelTable = std::array<PanelRect, kPanelCount>;

// Shows the rectangle (x, y, width, height) of the 32-bit `image` on the
// screen's video plane at (screenX + x, screenY + y) with cgmxYUVAtoOvl,
// leaving out the rectangles of `panels` from entry `firstPanel` on (callers
// pass 0). Rectangles are widened to even positions
// and sizes but never beyond the image: an odd size at the image's edge is cut
// to the even size below it.
void showImageRect(const OpImage *image, int x, int y, int width, int height, int screenX,
                   int screenY, const PanelTable &panels, int firstPanel);

// A new GUI image (CG_KIND_YUVA) holding the pixels of the kind-1 `image`,
// which stays with the caller. On failure (null or non-32-bit image, no
// memory) reports at level 3 under `source` and returns null.
CImagePtr toGuiImage(const OpImage *image, const char *source);

} // namespace tileron
