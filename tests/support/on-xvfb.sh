#!/bin/sh
# Runs a test on a private X server: Xvfb with RandR on a free display at 96 dpi (so that Qt's device
# pixel ratio is 1), monitors LEFT and RIGHT side by side, openbox with two desktops. Everything
# started here stops with the test.
set -u
dir=$(mktemp -d)
started=
trap 'kill $started 2>/dev/null; wait; rm -rf "$dir"' EXIT
Xvfb -displayfd 3 -screen 0 3840x1080x24 +extension RANDR -dpi 96 -noreset -nolisten tcp \
  3>"$dir/display" >"$dir/Xvfb.log" 2>&1 &
started=$!
for _ in $(seq 150); do grep -q . "$dir/display" && break; sleep 0.1; done
export DISPLAY=":$(cat "$dir/display")" QT_QPA_PLATFORM=xcb LUMIVALE_XVFB="$dir"
# The first monitor takes Xvfb's only output; the second has none.
if ! xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen >/dev/null ||
  ! xrandr --setmonitor RIGHT 1920/508x1080/286+1920+0 none >/dev/null; then
  cat "$dir/Xvfb.log"
  exit 1
fi
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
