/* txlib: textures and image files. */
#ifndef VXHOST_TXLIB_H
#define VXHOST_TXLIB_H

#include "oplibcommon.h"

VX_EXTERN_C_BEGIN

/* Texture settings, 112 bytes, stored as they are inside the bar style and the
 * settings file (little-endian). All zero = no texture. */
typedef struct TxSettings {
  uint32_t magic;     /*  0: TX_SETTINGS_MAGIC */
  uint16_t version;   /*  4: TX_SETTINGS_VERSION */
  uint16_t scale;     /*  6: texture scale in percent, 10..1000 (0 reads as 100) */
  uint32_t colour;    /*  8: YUVA word; its low byte is the texture's alpha (txGetColor 2) */
  uint32_t reserved0; /* 12 */
  char name[64];      /* 16: texture file name in the library, NUL-terminated, no path */
  uint8_t reserved1[32]; /* 80..111: 0 */
} TxSettings;
#define TX_SETTINGS_MAGIC 0x31525854u /* "TXR1" */
#define TX_SETTINGS_VERSION 1
VX_STATIC_ASSERT(sizeof(TxSettings) == 112, "TxSettings is 112 bytes");
VX_STATIC_ASSERT(offsetof(TxSettings, name) == 16, "TxSettings name at 16");

typedef struct TxRequest TxRequest;

/* Returns a new texture request, or null. Released with txFreeRequest. */
TxRequest *txAllocRequest(int32_t flags);
/* Adds the default options (tile, scale) to the requester. Returns 1. */
int32_t txAddOptions(TxRequest *request, int32_t flags);
/* Hands settings to the request (copied; all zero: none). Returns 1, 0 for an
 * invalid record (the request keeps what it had). */
int32_t txSetPrefs(TxRequest *request, const TxSettings *settings);
/* Runs the texture requester; blocks. Returns 0 when it ran, -1 otherwise. */
int32_t txRequest(TxRequest *request, int32_t flags);
/* 1 a texture was chosen, 2 the requester failed, 0 left without choosing. */
int32_t txGetStatus(const TxRequest *request);
/* Copies the request's settings (chosen, or handed in with txSetPrefs) into
 * *settings (`size` bytes, 112). Returns 0, or -1 when the request holds none
 * or size is wrong. */
int32_t txGetPrefs(const TxRequest *request, TxSettings *settings, int32_t size);
void txFreeRequest(TxRequest *request);

/* Returns a new kind-1 image of the texture the settings name, at its own size
 * times its scale, or null for invalid settings or a missing/damaged texture.
 * `mode` 1, `flags` 0. */
OpImage *txGetOpImage(const TxSettings *settings, int32_t mode, int32_t flags);
/* Colour `which` of the settings: 2 = the texture colour word (alpha in the
 * low byte; 0xFF for zero or invalid settings). */
uint32_t txGetColor(const TxSettings *settings, int32_t which);
/* Tiles `texture` over the whole destination from its top-left corner (same
 * kind). Returns 1, 0 for null or mismatched images. */
int32_t txTileOpImagePrefs(OpImage *destination, const OpImage *texture, int32_t flags,
                           int32_t options);
/* Reads a PNG file (`path` home-relative, resolved below VXHOME). mode 1: any
 * PNG becomes a kind-3 8-bit image of its luma (grey as it is; alpha ignored);
 * otherwise a kind-1 YUVA image. Returns null (and logs) for a missing or
 * damaged file. */
OpImage *txGetOpImageFile(const char *path, int32_t mode);

VX_EXTERN_C_END

#endif
