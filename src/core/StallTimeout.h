// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

// How long a transfer may go without a single byte before it counts as failed. One value for every
// download of media; tests shorten it.
namespace StallTimeout {
[[nodiscard]] std::chrono::milliseconds value();
void set(std::chrono::milliseconds timeout);
} // namespace StallTimeout
