// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/EngineLog.h"

Q_LOGGING_CATEGORY(lcEngine, "lumivale.engine", QtWarningMsg)
