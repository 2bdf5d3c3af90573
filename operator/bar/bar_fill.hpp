// Turning a bar style into pixels: a kind-1 image filled with the bar's
// colour, texture or gradient, and the image conversions the bar style
// requester uses. Failures are reported at level 3 under "src\palettereq";
// the style is never changed and every returned image belongs to the caller.
#pragma once

#include "bar/bar_style.hpp"
#include "support/handles.hpp"

namespace tileron {

// A width x height kind-1 fill of `style`: the selected palette colour
// (mode 0), the texture scaled or tiled over it (mode 1), or the gradient
// (mode 2). Null for a failed allocation, a texture mode without a chosen
// texture, or an unknown mode (the last without a report). When the texture
// itself cannot be had, the image comes back as the host allocated it.
OpImagePtr makeBarFill(const BarStyle &style, int width, int height);

// The chosen texture at its own size laid over the selected palette colour,
// every alpha byte set to the low byte of txGetColor(settings, 2). Null unless
// the mode is texture and a texture was chosen, or when the host cannot give it.
OpImagePtr makeTextureImage(const BarStyle &style);

// A width x height kind-1 gradient from colour A to colour B along the
// style's angle (0: A at the top; the direction turns clockwise as the angle
// grows), alpha 255. Null (reported) when the mode is not gradient or an
// allocation fails.
OpImagePtr makeGradient(const BarStyle &style, int width, int height);

// A new kind-3 S x S image of the kind-3 `source` turned by `degrees` about
// its centre, S = the diagonal plus one rounded to the even size below; pixels
// from outside the source are 0. Null (reported) when allocation fails or the
// source is not kind 3.
OpImagePtr rotateRamp(const OpImage *source, double degrees);

// Lays `source` over `destination` in place from the top-left corner, over
// width x height clipped to both (kind-1 images); the blend of overlayImage.
void compositeOver(const OpImage *source, OpImage *destination, int width, int height);

// A new kind-1 image with the pixels of `image`; on success `image` is
// released (reset), on failure it stays and null is returned (reported).
OpImagePtr toOpImage(CImagePtr &image);


} // namespace tileron
