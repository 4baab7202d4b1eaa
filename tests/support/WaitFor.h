// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

/// Runs the event loop until `done` or `timeoutMs` passed; returns `done()`.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000);
