#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test on a headless sway of its own with two 1280x720 outputs, the second at scale 2, and no
# X server. sway refuses to run as root, so as root it runs as nobody and the test connects to it.
# With SWAY_PARENT (a compositor's socket) it runs in two windows of that compositor instead, its
# outputs WL-1 and WL-2, each unplugged by closing its window.
set -u
dir=$(mktemp -d)
trap 'kill $sway 2>/dev/null; wait; rm -rf "$dir"' EXIT
printf 'output HEADLESS-1 resolution 1280x720 position 0 0\n%s\n' \
  'output HEADLESS-2 resolution 1280x720 position 1280 0 scale 2' >"$dir/config"
export XDG_RUNTIME_DIR="$dir" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
  WLR_HEADLESS_OUTPUTS=2 WLR_WL_OUTPUTS=2
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
[ -n "${SWAY_PARENT:-}" ] && export WLR_BACKENDS=wayland WAYLAND_DISPLAY="$SWAY_PARENT"
as=
[ "$(id -u)" = 0 ] && chown nobody "$dir" && as="setpriv --reuid=65534 --regid=65534 --clear-groups"
$as sway -c "$dir/config" >"$dir/sway.log" 2>&1 &
sway=$!
for _ in $(seq 200); do ls "$dir"/wayland-? "$dir"/sway-ipc.* >/dev/null 2>&1 && break; sleep 0.1; done
# Paths, so that clients find them whatever runtime folder a test gives them.
WAYLAND_DISPLAY=$(ls "$dir"/wayland-?) SWAYSOCK=$(ls "$dir"/sway-ipc.*) || { cat "$dir/sway.log"; exit 1; }
export WAYLAND_DISPLAY SWAYSOCK
"$@"
