// The operator entry routine the tag list names.
#pragma once

#include <cstdint>

#include "vxhost/operator.h"

namespace tileron {

// Handles one host message: makes the home directories, reads the visible
// area, then dispatches on the type. Returns 0 for success, -1 for failure
// (a null message fails). Never throws.
int32_t operatorEntry(const OperatorMessage *message);

} // namespace tileron
