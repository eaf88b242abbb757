#include "platform/mpv/MpvLog.h"

Q_LOGGING_CATEGORY(lcMpv, "lumivale.mpv", QtWarningMsg)
