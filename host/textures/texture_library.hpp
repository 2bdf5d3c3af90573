// The texture library's settings records, for the host's requester, tools and
// tests (the operator treats the record as opaque bytes).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "vxhost/txlib.h"

namespace vxhost {

// Scales a record may hold, in percent (0 reads as 100).
inline constexpr int kTxMinScale = 10;
inline constexpr int kTxMaxScale = 1000;

// True for a record the library can use: magic and version, scale 0 or
// 10..1000, a name of 1 to 63 bytes NUL-terminated within its 64 bytes that
// holds no '/' or '\\' and does not begin with '.', reserved bytes all zero.
bool validTxSettings(const TxSettings &settings);

// The names of the textures installed in textureDir(): its visible .png
// files, sorted.
std::vector<std::string> installedTextures();

// The record for the library texture `name` at `scale` percent: its colour
// is the texture's mean YUV colour, with `opacity` as alpha. nullopt (and a log record) for a bad name or scale or a texture
// that cannot be read.
std::optional<TxSettings> makeTxSettings(const std::string &name, int scale, uint8_t opacity);

} // namespace vxhost
