// Rounding of computed sizes and positions to the integers the settings
// file and the mask geometry store.
#pragma once

namespace tileron {

// Nearest integer with halves away from zero (-2.5 -> -3, 2.5 -> 3, -0.4 -> 0).
// Values beyond the int range (infinities included) saturate to INT_MIN or
// INT_MAX; NaN gives 0.
int roundNearest(double value);

} // namespace tileron
