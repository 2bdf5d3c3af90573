// What the processor offers beyond the x86-64 baseline, for the kernels that
// pick a faster version at run time.
#pragma once

namespace vxhost {

// True when the processor has AVX2.
bool haveAvx2();

} // namespace vxhost
