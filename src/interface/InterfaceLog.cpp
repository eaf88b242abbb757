#include "interface/InterfaceLog.h"

Q_LOGGING_CATEGORY(lcInterface, "lumivale.interface", QtWarningMsg)
