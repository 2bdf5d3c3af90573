// The ids of the host's message queues.
#pragma once

#include <cstdint>

namespace vxhost::msgq {

constexpr uint32_t kCommandQueue = 0x5100; // msgQCommandGet: requesters
constexpr uint32_t kOutputQueue = 0x5101;  // cgGetOutputMsgQ: full-screen requests

} // namespace vxhost::msgq
