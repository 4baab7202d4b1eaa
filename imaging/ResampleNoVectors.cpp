// SPDX-License-Identifier: MIT
// Resample on processors other than x86-64: the scalar loops alone.
#include "imaging/ResampleKernels.h"

namespace resample {

const Kernels* Sse2Kernels()
{
    return nullptr;
}

const Kernels* Avx2Kernels()
{
    return nullptr;
}

} // namespace resample
