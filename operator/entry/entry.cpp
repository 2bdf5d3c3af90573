#include "entry/entry.hpp"

#include <new>

#include "editor/editor_run.hpp"
#include "engine/split_mask.hpp"
#include "entry/module.hpp"
#include "masks/catalogue.hpp"
#include "masks/mask_paths.hpp"
#include "support/handles.hpp"
#include "support/home_files.hpp"
#include "support/report.hpp"
#include "vxhost/oplib.h"
#include "vxhost/orvexagui.h"
#include "vxhost/orvexares.h"

namespace tileron {

namespace {

constexpr const char *kResourceName = "tileron";

// Results of the directory calls are not examined: a missing directory shows
// up later as the file operation that needs it failing. A fresh home has no
// "/programs" yet, and without it none of the others could be made.
void makeDirectories() {
  for (const char *dir : {"/programs", kDirRoot, kDirPrefs, kDirMask, kDirArchive})
    makeHomeDirectory(dir);
}

void readVisibleArea(ModuleState &state) {
  cgGetVisibleArea(&state.visibleLeft, &state.visibleTop, &state.visibleRight,
                   &state.visibleBottom);
  // The inclusive extent, kept in 16 bits like every screen measure here.
  state.visibleWidth = static_cast<int16_t>(state.visibleRight - state.visibleLeft + 1);
  state.visibleHeight = static_cast<int16_t>(state.visibleBottom - state.visibleTop + 1);
}

int32_t setUp(ModuleState &state, const OperatorMessage &message) {
  int width = 0, height = 0;
  {
    OpImagePtr probe = allocOpImage(0, 0, OP_KIND_YUVA);
    if (!probe) {
      TILERON_REPORT(kLevelError, kSrcTileron);
      return -1;
    }
    width = probe->width;
    height = probe->height;
  }
  // Any earlier effect state goes; a failed creation leaves none.
  state.effect.reset(new (std::nothrow) SplitMask(moduleParts(state)));
  if (!state.effect) {
    TILERON_REPORT(kLevelError, kSrcTileron);
    return 0;
  }
  // The host's images are fields: the frame is twice the probe's height.
  const bool monitorAspect = (message.flags & OP_FLAG_MONITOR_ASPECT) != 0;
  if (!state.effect->setupRender(width, 2 * height, monitorAspect)) {
    TILERON_REPORT(kLevelError, kSrcTileron);
    return -1;
  }
  return 0;
}

int32_t renderOneField(ModuleState &state, const OperatorMessage &message) {
  if (!state.effect) {
    TILERON_REPORT(kLevelError, kSrcTileron);
    return -1;
  }
  if (!state.effect->loadPartFields(message.field)) {
    TILERON_REPORT(kLevelError, kSrcTileron);
    return -1;
  }
  OpImage *output = state.effect->renderField(message.field, message.flags);
  if (!output) return -1;
  opPutField(output); // the host owns the field from here on
  return 0;
}

int32_t load(ModuleState &state) {
  // A second load replaces the earlier tables instead of leaking them.
  resFreeStrings(state.strings);
  resFreeImages(state.images);
  state.images = 0;
  state.strings = resLoadStrings(kResourceName);
  if (!state.strings) {
    TILERON_REPORT(kLevelError, kSrcTileron);
    return -1;
  }
  state.images = resLoadImages(kResourceName);
  if (!state.images) {
    TILERON_REPORT(kLevelError, kSrcTileron);
    return -1;
  }
  // A second load replaces the earlier catalogue too.
  freeMaskCatalogue(state.catalogue);
  state.catalogue = buildMaskCatalogue(languageTag(state.strings));
  if (!state.catalogue) {
    TILERON_REPORT(kLevelError, kSrcTileron);
    return -1;
  }
  return 0;
}

void unload(ModuleState &state) {
  freeMaskCatalogue(state.catalogue);
  state.catalogue = nullptr;
  state.effect.reset();
  if (state.strings) {
    resFreeStrings(state.strings);
    state.strings = 0;
  }
  if (state.images) {
    resFreeImages(state.images);
    state.images = 0;
  }
}

int32_t dispatch(ModuleState &state, const OperatorMessage &message) {
  switch (message.type) {
  case OP_MSG_SETUP: return setUp(state, message);
  case OP_MSG_TEARDOWN: state.effect.reset(); return 0;
  case OP_MSG_RENDER: return renderOneField(state, message);
  case OP_MSG_EDIT:
    // The editor runs inside this call; the result is 0 whatever its outcome.
    runEditor(state, message);
    return 0;
  case OP_MSG_NOTHING: return 0;
  case OP_MSG_LOAD: return load(state);
  case OP_MSG_UNLOAD: unload(state); return 0;
  default: // 0, 5 and above 8
    TILERON_REPORT(kLevelError, kSrcTileron);
    return 0;
  }
}

} // namespace

int32_t operatorEntry(const OperatorMessage *message) {
  try {
    makeDirectories();
    ModuleState &state = moduleState();
    readVisibleArea(state);
    if (!message) {
      TILERON_REPORT(kLevelError, kSrcTileron);
      return -1;
    }
    return dispatch(state, *message);
  } catch (...) {
    // Nothing may cross into the host: an exception (out of memory while
    // building a path) fails the message.
    TILERON_REPORT(kLevelError, kSrcTileron);
    return -1;
  }
}

} // namespace tileron
