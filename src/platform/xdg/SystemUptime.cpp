// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/xdg/SystemUptime.h"

#include <ctime>

double SystemUptime::seconds() {
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return 0.0;
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}
