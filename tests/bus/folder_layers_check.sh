#!/usr/bin/env bash
# Folders are libraries stacked from the ground up; a folder includes headers of its own floor's
# named neighbours and of floors below it only. Usage: folder_layers_check.sh SOURCE_DIR
set -euo pipefail
top=$1
declare -A may_use=(
  [base]="base"
  [bus]="bus"
  [sim]="sim bus"
  [model]="model bus base"
  [mqtt]="mqtt model bus base"
  [devices]="devices model bus base"
  [stages]="stages devices model bus base"
  [history]="history model bus base"
  [params]="params devices model bus base"
  [comm]="comm mqtt model bus base"
)
# Where each of our headers lives.
declare -A home
for dir in base bus sim model mqtt devices stages history params comm app; do
  for header in "$top/$dir"/*.h; do
    [ -e "$header" ] && home[$(basename "$header")]=$dir
  done
done
status=0
for dir in "${!may_use[@]}"; do
  while IFS=: read -r file included; do
    owner=${home[$(basename "$included")]:-}
    [ -z "$owner" ] && continue
    if ! grep -qw "$owner" <<<"${may_use[$dir]}"; then
      echo "folder_layers: $dir/$(basename "$file") includes $owner/$included" >&2
      status=1
    fi
  done < <(grep -oH '#include "[^"]*"' "$top/$dir"/*.h "$top/$dir"/*.cpp 2>/dev/null | sed 's/#include "\(.*\)"/\1/')
done
# The bus runs where no display stack is installed.
if grep -lE '#include <(QtWidgets/)?Q(Widget|Application|MessageBox|Dialog|MainWindow)' "$top"/bus/*.h "$top"/bus/*.cpp; then
  echo "folder_layers: the bus includes a Widgets header" >&2
  status=1
fi
[ $status -eq 0 ] && echo "folder_layers: every folder includes only what lies below it"
exit $status
