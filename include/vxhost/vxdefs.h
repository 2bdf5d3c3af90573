/* Common definitions of the host API headers. Pure C; every header compiles
 * as C and as C++. */
#ifndef VXHOST_VXDEFS_H
#define VXHOST_VXDEFS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define VX_EXTERN_C_BEGIN extern "C" {
#define VX_EXTERN_C_END }
#define VX_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#define VX_EXTERN_C_BEGIN
#define VX_EXTERN_C_END
#define VX_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif

/* Opaque handle of a panel, request or element container. The original
 * platform passes these as 32-bit words; here they stay 32-bit ids
 * (0 = none; panel 1 = the video monitor output in cgWriteImage). */
typedef uint32_t CgHandle;

/* The 16-bit character of every text shown in the GUI (UTF-16 code unit). */
typedef uint16_t xchar;

#endif
