/* orvexa2: scenes of the host's storyboard. */
#ifndef VXHOST_ORVEXA2_H
#define VXHOST_ORVEXA2_H

#include "oplibcommon.h"

VX_EXTERN_C_BEGIN

/* Returns the length of scene `sceneId` in frames (the scene has twice as many
 * fields); 0 or less for an unknown or unusable scene. `flags` is 0. */
int32_t mainGetSceneLengthFromID(int32_t sceneId, int32_t flags);

/* Returns a new kind-1 image of field `field` of the scene (frame field / 2,
 * lines field % 2, field % 2 + 2, ...), or null past the end, for an unknown
 * scene or a frame that cannot be decoded. The caller owns it. `mode` is 1,
 * `flags` 0. */
OpImage *mainGetFieldFromSceneID(int32_t sceneId, int32_t field, int32_t mode, int32_t flags);

/* Runs the host's scene requester opened on `sceneId` (blocks). Returns the
 * chosen scene ID, or 0 when none was chosen. `flags` is 1. */
int32_t mainSelectSceneRequesterExt(int16_t sceneId, int32_t flags);

VX_EXTERN_C_END

#endif
