// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace MpvLocale {

// libmpv refuses to start unless numbers use the C locale, and the Qt application object sets the
// locale from the environment when it is constructed: call this right after constructing it, on the
// main thread.
void useCNumeric();

} // namespace MpvLocale
