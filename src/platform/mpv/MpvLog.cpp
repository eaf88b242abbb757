// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mpv/MpvLog.h"

Q_LOGGING_CATEGORY(lcMpv, "lumivale.mpv", QtWarningMsg)
