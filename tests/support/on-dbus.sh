#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test with two private message buses of its own, one standing in for the system bus. They
# activate no services: only what the test starts (python3-dbusmock servers) answers on them.
set -u
dir=$(mktemp -d)
pids=
trap 'kill $pids 2>/dev/null; rm -rf "$dir"' EXIT
cat >"$dir/bus.conf" <<END
<busconfig><type>session</type><listen>unix:dir=$dir</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>
END
for bus in SYSTEM SESSION; do
  # It complains about fd limits it may not raise; a failure shows as no address.
  started=$(dbus-daemon --config-file="$dir/bus.conf" --fork --print-address=1 --print-pid=1 2>/dev/null)
  address=$(echo "$started" | sed -n 1p)
  [ -n "$address" ] || { echo "dbus-daemon did not start" >&2; exit 1; }
  pids="$pids $(echo "$started" | sed -n 2p)"
  export DBUS_${bus}_BUS_ADDRESS="$address"
done
export LUMIVALE_PRIVATE_BUSES=1
"$@"
