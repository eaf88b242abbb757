// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/DesktopGl.h"

#include <QCoreApplication>

void DesktopGl::prepareApplication() {
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "xcb_egl");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}
