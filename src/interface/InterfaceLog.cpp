// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface/InterfaceLog.h"

Q_LOGGING_CATEGORY(lcInterface, "lumivale.interface", QtWarningMsg)
