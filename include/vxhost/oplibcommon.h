/* oplibcommon: operator images. */
#ifndef VXHOST_OPLIBCOMMON_H
#define VXHOST_OPLIBCOMMON_H

#include "vxdefs.h"

VX_EXTERN_C_BEGIN

/* Pixel kinds of an OpImage. */
enum {
  OP_KIND_YUVA = 1, /* 4 bytes per pixel: word 0xYYUUVVAA, alpha in the low byte, 255 opaque */
  OP_KIND_16 = 2,   /* 2 bytes per pixel (known to the copy routine only) */
  OP_KIND_8 = 3     /* 1 byte per pixel: masks and maps */
};

/* The host's operator image. Holds a pointer, so it keeps the original field
 * order with a native pointer rather than the original byte offsets. Rows are
 * top to bottom, `width` pixels each, no gap between rows. */
typedef struct OpImage {
  uint8_t *pixels;      /* first byte of the top row */
  int16_t width;
  int16_t height;
  int32_t reserved0[2];
  int32_t kind;         /* OP_KIND_* */
  int32_t reserved1[4];
  uint16_t pixelAspect; /* per mille, 1000 = square pixels */
  uint16_t reserved2;
} OpImage;

/* Returns a new image of width x height pixels of `kind` (1, 2 or 3), cleared
 * to 0, or null when the size is not positive or memory cannot be had.
 * (0, 0): an image of the current field format carrying its pixel aspect (probe);
 * (-1, -1): an image of the output field's size. The caller owns it and releases
 * it with opFreeImage. `flags` is 0. */
OpImage *opAllocImage(int32_t width, int32_t height, int32_t kind, int32_t flags);

/* Releases an image from opAllocImage or any host call that returns one; null is ignored. */
void opFreeImage(OpImage *image);

/* Scales the whole source picture to fill the whole destination (kinds 1 and 3,
 * both the same kind): area average when shrinking, bilinear when enlarging, an
 * exact byte copy when the sizes are equal. Returns 1, or 0 for null images or
 * mismatched kinds (destination untouched). `flags` is 0. */
int32_t opScaleImage(const OpImage *source, OpImage *destination, int32_t flags);

/* Fits *width x *height (pixels of aspect sourceAspect, per mille) into
 * maxWidth x maxHeight (pixels of aspect targetAspect) keeping the display
 * aspect, as large as it fits, and writes the size back. Returns 1, or 0 when
 * an argument is not positive (nothing written). `flags` is 0. */
int32_t opCalcDims(uint16_t *width, uint16_t *height, int32_t sourceAspect, int32_t maxWidth,
                   int32_t maxHeight, int32_t targetAspect, int32_t flags);

VX_EXTERN_C_END

#endif
