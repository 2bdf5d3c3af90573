// orvexa2: the scenes of the storyboard, over the scene registry.
#include "host/scenes/registry.hpp"
#include "host/scenes/scene_requester.hpp"
#include "vxhost/orvexa2.h"

using namespace vxhost;

extern "C" int32_t mainGetSceneLengthFromID(int32_t sceneId, int32_t) {
  FrameSource *scene = findScene(sceneId);
  if (!scene)
    return 0;
  try {
    return scene->length();
  } catch (...) {
    return 0;
  }
}

extern "C" OpImage *mainGetFieldFromSceneID(int32_t sceneId, int32_t field, int32_t, int32_t) {
  FrameSource *scene = findScene(sceneId);
  if (!scene)
    return nullptr;
  try {
    return sourceField(*scene, field);
  } catch (...) {
    return nullptr;
  }
}

extern "C" int32_t mainSelectSceneRequesterExt(int16_t sceneId, int32_t) { return runSceneRequester(sceneId); }
