// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/LibraryLog.h"

Q_LOGGING_CATEGORY(lcLibrary, "lumivale.library", QtWarningMsg)
