#!/usr/bin/env bash
# Builds (RelWithDebInfo, build/) and runs every benchmark in build/bench/, printing one markdown
# table of their rows on stdout. Build output and the benches' own chatter go to stderr.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$top/build
"$top/scripts/build.sh" "$dir" >&2
export QT_QPA_PLATFORM=offscreen
echo "| benchmark | figure | unit | note |"
echo "|---|---|---|---|"
status=0
for bench in "$dir"/bench/bench_*; do
  [ -f "$bench" ] && [ -x "$bench" ] || continue
  if ! rows=$(timeout 150 "$bench"); then
    echo "bench.sh: $(basename "$bench") failed" >&2
    status=1
  fi
  grep -E '^\| ' <<<"$rows" || true
done
exit $status
