// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mpv/MpvLocale.h"

#include <clocale>

void MpvLocale::useCNumeric() {
    std::setlocale(LC_NUMERIC, "C");
}
