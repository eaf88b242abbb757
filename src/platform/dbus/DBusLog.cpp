// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dbus/DBusLog.h"

Q_LOGGING_CATEGORY(lcDbus, "lumivale.dbus", QtWarningMsg)
