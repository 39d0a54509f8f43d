#!/usr/bin/env bash
# Collects the texts of the interface into the English translation files (translations/*.ts), one
# file per group of folders so that each can be edited on its own: update_translations.sh [GROUP...]
# Texts already translated keep their translation; texts no longer in the code are dropped.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
lupdate=$(command -v lupdate || echo /usr/lib/qt5/bin/lupdate)
declare -A groups=(
  [app]="app base devices forms/mainWnd.ui forms/loginWnd.ui forms/qDebugWidget.ui forms/DeviceLine.ui forms/deviceWindow.ui forms/CustomSpimbox.ui"
  [comm]="comm bus model mqtt forms/BusHealthWindow.ui forms/ProcessSettingsWindow.ui forms/MixSettingsWindow.ui forms/AlarmListWindow.ui forms/AuditListWindow.ui forms/MqttSettingsWindow.ui forms/setSerialport.ui forms/lossWidget.ui"
  [history]="history stages params forms/PlotWidget.ui forms/saveFileSetWidget.ui forms/itemStageControl.ui forms/stageControlWidget.ui forms/setAdminParam.ui forms/setDeviceParamWin.ui forms/ParameterBackupWindow.ui"
)
chosen=("$@")
[ ${#chosen[@]} -eq 0 ] && chosen=("${!groups[@]}")
for group in "${chosen[@]}"; do
  # shellcheck disable=SC2086
  QT_SELECT=qt5 "$lupdate" -silent -locations none -no-obsolete -source-language zh_CN -target-language en \
    ${groups[$group]} -ts "translations/quorix_en_$group.ts"
done
