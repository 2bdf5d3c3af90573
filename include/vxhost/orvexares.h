/* orvexares: resource sets (strings and images by number). */
#ifndef VXHOST_ORVEXARES_H
#define VXHOST_ORVEXARES_H

#include "vxdefs.h"

VX_EXTERN_C_BEGIN

/* Handle of a loaded string table or image set; 0 = none. */
typedef uint32_t ResHandle;

/* A resource image: width at byte 0, height at byte 4 (16-bit each), then
 * the host's own part: YUVA pixels in the OpImage kind-1 layout (alpha from
 * the PNG), rows without gaps. Owned by its set. */
typedef struct ResImage {
  int16_t width;
  int16_t reserved0;
  int16_t height;
  int16_t reserved1;
  uint32_t *pixels;
} ResImage;

/* Loads the strings of resource set `name` in the host's language (falling
 * back to english for numbers the language lacks). Returns a handle, or 0 when
 * the set or its table is missing. Released with resFreeStrings. */
ResHandle resLoadStrings(const char *name);

/* Loads the images of resource set `name`. Returns a handle, or 0 when the set
 * is missing. Released with resFreeImages. */
ResHandle resLoadImages(const char *name);

/* Returns string `number` of the table (owned by it, valid until it is
 * released), or null for a missing number or an unknown handle. */
const xchar *resGetString(ResHandle strings, int32_t number);

/* Returns image `number` of the set (owned by it), or null for a missing
 * number, an undecodable file or an unknown handle. */
const ResImage *resGetImage(ResHandle images, int32_t number);

/* Release a handle; 0 and unknown handles are ignored. */
void resFreeStrings(ResHandle strings);
void resFreeImages(ResHandle images);

VX_EXTERN_C_END

#endif
