#include "support/rounding.hpp"

#include <climits>
#include <cmath>

namespace tileron {

int roundNearest(double value) {
  if (std::isnan(value)) return 0;
  // Halves go away from zero: add or subtract 0.5 in double, then truncate.
  const double shifted = value < 0 ? value - 0.5 : value + 0.5;
  // Truncation of anything outside (INT_MIN - 1, INT_MAX + 1) would be
  // undefined; such values (infinities included) saturate.
  if (shifted >= 2147483648.0) return INT_MAX;
  if (shifted <= -2147483649.0) return INT_MIN;
  return static_cast<int>(shifted);
}

} // namespace tileron
