#!/usr/bin/env bash
# Installs what is missing, builds, starts a simulated bus of three controllers (addresses 1, 2, 3)
# on a pseudo-terminal and runs the application against it. The port to type into the serial port
# dialog is printed below and is also reachable as build/quorix-bus.
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
echo "In the application: open the 通信设置 menu, type that path into 串口选择, click 打开; then 设备管理 -> 查询设备."
"$top/build/bin/quorix-rs485" "$@"
