#!/usr/bin/env bash
# Installs what is missing, builds, starts a simulated bus of three controllers (addresses 1, 2, 3)
# on a pseudo-terminal and runs the application against it, connected: the port is opened, scanned
# and the controllers that answer are taken online. The port is also reachable as build/quorix-bus.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
# Only the application, the simulator, their icons and the manual: the tests and benchmarks are
# built by scripts/test.sh and scripts/bench.sh.
QUORIX_TARGETS="quorix-rs485 quorix-sim quorix_icons quorix_manual" "$top/scripts/build.sh" "$top/build"
link="$top/build/quorix-bus"
"$top/build/bin/quorix-sim" --devices 1,2,3 --baud 9600 --link "$link" >"$top/build/quorix-sim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
echo "Simulated bus with controllers 1, 2, 3 is on: $link"
echo "The application opens it, scans and takes the controllers online (quorix-rs485 --port $link --connect)."
"$top/build/bin/quorix-rs485" --port "$link" --baud 9600 --connect "$@"
