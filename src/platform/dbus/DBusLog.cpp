#include "platform/dbus/DBusLog.h"

Q_LOGGING_CATEGORY(lcDbus, "lumivale.dbus", QtWarningMsg)
