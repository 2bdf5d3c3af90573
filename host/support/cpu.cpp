#include "host/support/cpu.hpp"

namespace vxhost {

bool haveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}

} // namespace vxhost
