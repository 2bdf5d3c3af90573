// Failure reports through the host logger: level, source line, source name,
// the fixed code word and a single blank as the text.
#pragma once

#include "vxhost/logger.h"

namespace tileron {

// Source names, one per module of the operator.
inline constexpr const char *kSrcTileron = "src\\tileron";
inline constexpr const char *kSrcSplitMask = "src\\splitmask";
inline constexpr const char *kSrcGuiMain = "src\\gui_main";
inline constexpr const char *kSrcPaletteReq = "src\\palettereq";
inline constexpr const char *kSrcXml = "src\\xml";

// Report levels.
inline constexpr int kLevelError = 3;
inline constexpr int kLevelSceneField = 4;
inline constexpr int kLevelTitleMissing = 6;

} // namespace tileron

// Logs one report of `level` from this source line under `source`.
#define TILERON_REPORT(level, source) \
  ::loggerMessage((level), __LINE__, (source), VX_LOG_CODE, " ")
