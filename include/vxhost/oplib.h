/* oplib: the effect's input fields, the output field and the host preview. */
#ifndef VXHOST_OPLIB_H
#define VXHOST_OPLIB_H

#include "oplibcommon.h"

VX_EXTERN_C_BEGIN

/* Returns a new kind-1 image of field `field` of the effect's input (source 0;
 * past the input's end, its last frame), or null when there is no input or it
 * cannot be decoded. The caller owns it. */
OpImage *opGetField(int32_t source, int32_t field);

/* Hands the computed output field to the host, which takes it over (the caller
 * must not release it). Returns 1, or 0 when no render is collecting fields
 * (the image is released all the same). */
int32_t opPutField(OpImage *image);

/* Runs the host's own preview of the effect and returns when it ends. The host
 * may send render messages meanwhile. Returns 0. */
int32_t opPreview(int32_t flags);

VX_EXTERN_C_END

#endif
