// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/StallTimeout.h"

#include <atomic>

namespace {
std::atomic<long long> stallMs{30'000};
} // namespace

std::chrono::milliseconds StallTimeout::value() {
    return std::chrono::milliseconds(stallMs.load());
}

void StallTimeout::set(std::chrono::milliseconds timeout) {
    stallMs.store(timeout.count());
}
