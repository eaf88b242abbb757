// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The lumivale program: starts the application, reopens the running one, or sends it one command.
namespace ProcessEntry {
[[nodiscard]] int run(int argc, char* argv[]);
} // namespace ProcessEntry
