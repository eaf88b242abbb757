// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The generated protocol headers. The layer shell's names a parameter `namespace`, which is a keyword
// in C++.
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"
