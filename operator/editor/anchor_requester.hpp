// The anchor requester: nine image buttons in a three-by-three grid, numbered
// 1 to 9 in reading order, with which the user chooses where the current
// part's picture is anchored inside its part. Keys follow a numeric keypad
// (7 8 9 on the top row).
#pragma once

#include <array>
#include <cstdint>

#include "vxhost/orvexareq.h"

namespace tileron {

struct EditorRun;
struct ModuleState;

inline constexpr int kAnchorCount = 9;

// One opening of the requester; destroying it deletes the request if it
// stands.
struct AnchorReq {
  RequestDescriptor request{};
  bool requestMade = false;
  std::array<int32_t, kAnchorCount> buttons{}; // element ids, by anchor number - 1

  AnchorReq() = default;
  ~AnchorReq();
  AnchorReq(const AnchorReq &) = delete;
  AnchorReq &operator=(const AnchorReq &) = delete;
};

// Builds the requester with the button of `currentAnchor` (1 to 9; another
// value selects none) shown as selected. Returns 1 when it stands, 0 when it
// cannot be built (nothing of it is left).
int buildAnchorReq(AnchorReq &req, const ModuleState &module, int16_t currentAnchor);

// Opens the requester on the current part's anchor and waits: returns the
// number of the button pressed (1 to 9), or 0 for cancel, a close request
// (which sets the run's quitRequested) or a requester that cannot be built.
// The accept button and every other message are ignored. The requester is
// gone when it returns.
int chooseAnchor(EditorRun &run);

} // namespace tileron
