/* xchar: 16-bit character strings. xchar is a UTF-16 code unit; the 8-bit
 * strings converted to and from it are UTF-8 (plain ASCII maps one to one). */
#ifndef VXHOST_XCHAR_H
#define VXHOST_XCHAR_H

#include "vxdefs.h"

VX_EXTERN_C_BEGIN

/* Converts the 8-bit (UTF-8) string src into dst, NUL included. dst must hold
 * strlen(src) + 1 xchars. Returns the number of xchars written, NUL excluded. */
int32_t sxcpy(xchar *dst, const char *src);

/* Converts the xchar string src into the 8-bit (UTF-8) dst, NUL included. dst
 * must hold 3 x xcslen(src) + 1 bytes. Returns the bytes written, NUL excluded. */
int32_t xscpy(char *dst, const xchar *src);

/* Compares two xchar strings code unit by code unit: < 0, 0 or > 0. A null
 * string sorts before every other. */
int32_t xcscmp(const xchar *a, const xchar *b);

/* The length of an xchar string in code units (0 for null). */
int32_t xcslen(const xchar *s);

/* Copies the xchar string src into dst, NUL included. Returns dst. */
xchar *xcscpy(xchar *dst, const xchar *src);

/* Formats printf-style (8-bit format and %s arguments) into the xchar buffer
 * buf, NUL-terminated. Returns the number of xchars written, NUL excluded.
 * The buffer must be large enough. */
int32_t sxprintf(xchar *buf, const char *format, ...);

/* The same formatter under its second name, used for value texts. */
int32_t sxsprintf(xchar *buf, const char *format, ...);

VX_EXTERN_C_END

#endif
