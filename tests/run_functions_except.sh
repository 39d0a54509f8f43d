#!/usr/bin/env bash
# Runs every test function of a Qt Test program except the ones named, so that a long program can
# run as two tests in parallel: run_functions_except.sh PROGRAM CLASS FUNCTION...
set -euo pipefail
program=$1
class=$2
shift 2
run=()
while read -r function; do
  function=${function%()}
  skip=0
  for named in "$@"; do
    [ "$function" = "$named" ] && skip=1
  done
  [ $skip = 1 ] || run+=("$function")
done < <("$program" "$class" -functions)
exec "$program" "$class" "${run[@]}"
