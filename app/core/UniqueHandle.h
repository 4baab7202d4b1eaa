// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

/// Frees a C library's handle with `Free`, which takes either the handle or, as FFmpeg's
/// functions do so that they can clear it, the handle's address.
template<auto Free> struct FreeWith
{
    template<class T> void operator()(T* handle) const
    {
        if constexpr (requires { Free(handle); })
            Free(handle);
        else
            Free(&handle);
    }
};

/// A C library's handle owned like any other pointer: `Free` releases it on every path out.
template<class T, auto Free> using UniqueHandle = std::unique_ptr<T, FreeWith<Free>>;
