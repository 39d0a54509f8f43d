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
# The soak runs QUORIX_SOAK_MINUTES minutes here (2 unless set; the bench's own default is 20).
soak_minutes=${QUORIX_SOAK_MINUTES:-2}
status=0
for bench in "$dir"/bench/bench_*; do
  [ -f "$bench" ] && [ -x "$bench" ] || continue
  args=()
  limit=150
  if [ "$(basename "$bench")" = bench_soak ]; then
    args=(--minutes "$soak_minutes")
    # then its two runs of one bench condition, half a minute each
    limit=$(awk -v m="$soak_minutes" 'BEGIN { printf "%d", m * 60 + 240 }')
  fi
  if ! rows=$(timeout "$limit" "$bench" "${args[@]}"); then
    echo "bench.sh: $(basename "$bench") failed" >&2
    status=1
  fi
  grep -E '^\| ' <<<"$rows" || true
done
exit $status
