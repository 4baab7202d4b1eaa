// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>

/// Milliseconds since an arbitrary start, wrapping at 32 bits like the Windows tick count.
inline std::uint32_t TickCount()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
