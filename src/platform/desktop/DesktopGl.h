// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace DesktopGl {

// Call before constructing the Qt application. On X11, OpenGL goes through EGL unless
// QT_XCB_GL_INTEGRATION says otherwise (Qt falls back to GLX where EGL is missing): Mesa's GLX
// drops a window's buffers whenever its context moves to another surface, so every frame drawn on
// several displays would allocate them anew. Contexts are made to share, for views that want to show
// a player's texture.
void prepareApplication();

} // namespace DesktopGl
