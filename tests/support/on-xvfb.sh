#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test on a private X server: Xvfb with RandR on a free display at 96 dpi (so that Qt's device
# pixel ratio is 1), 1920x1080 monitors side by side (LUMIVALE_XVFB_MONITORS, by default LEFT and
# RIGHT), openbox with two desktops. Everything started here stops with the test.
set -u
dir=$(mktemp -d)
started=
trap 'kill $started 2>/dev/null; wait; rm -rf "$dir"' EXIT
monitors=${LUMIVALE_XVFB_MONITORS:-LEFT RIGHT}
Xvfb -displayfd 3 -screen 0 $((1920 * $(echo $monitors | wc -w)))x1080x24 +extension RANDR -dpi 96 \
  -noreset -nolisten tcp 3>"$dir/display" >"$dir/Xvfb.log" 2>&1 &
started=$!
for _ in $(seq 150); do grep -qs . "$dir/display" && break; sleep 0.1; done
export DISPLAY=":$(cat "$dir/display")" QT_QPA_PLATFORM=xcb LUMIVALE_XVFB="$dir"
# The first monitor takes Xvfb's only output; the others have none.
x=0
output=screen
for monitor in $monitors; do
  xrandr --setmonitor $monitor 1920/508x1080/286+$x+0 $output >/dev/null || { cat "$dir/Xvfb.log"; exit 1; }
  x=$((x + 1920))
  output=none
done
cat >"$dir/openbox.xml" <<END
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><number>2</number><firstdesk>1</firstdesk></desktops>
  <focus><focusNew>yes</focusNew></focus><placement><policy>Smart</policy></placement>
</openbox_config>
END
openbox --sm-disable --config-file "$dir/openbox.xml" >"$dir/openbox.log" 2>&1 &
started="$started $!"
# openbox announces itself before its event loop runs and drops what arrives in between, a window's
# map request included; a desktop switch it carries out shows that the loop runs.
for desktop in 1 0; do
  for _ in $(seq 100); do
    wmctrl -s $desktop 2>/dev/null && xprop -root _NET_CURRENT_DESKTOP | grep -q "= $desktop\$" && break
    sleep 0.1
  done
done
"$@"
