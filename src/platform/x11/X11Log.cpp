// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Log.h"

Q_LOGGING_CATEGORY(lcX11, "lumivale.x11", QtWarningMsg)
