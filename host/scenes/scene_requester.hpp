// The scene requester behind mainSelectSceneRequesterExt.
#pragma once

#include <cstdint>

namespace vxhost {

// Shows the registry's scenes as a grid of thumbnails (the first frame of
// each) with ID, name and length, opened on scene `current`; with no scenes
// it says so in a text request. Returns the scene chosen, or 0 when none was
// (left, cancelled, or the requester could not be opened).
int32_t runSceneRequester(int32_t current);

} // namespace vxhost
