#!/usr/bin/env bash
# The real application binary on a virtual X server, as an operator meets it: real X input events
# open the simulated bus in the serial port dialog, scan, take the controller online and type a
# setpoint, which must arrive at the simulator; inside the process every caption's characters must
# be drawable with the fonts in use; the window is closed by the request a window manager sends
# (WM_DELETE_WINDOW) and the program must exit with 0. A second start without any Chinese font
# shows that the font check does find what it looks for.
#
# Usage: smoke.sh APPLICATION SIMULATOR SEND_CLOSE_REQUEST
# There is no window manager: the application places its own windows and Qt gives them the focus.
# Where the widgets are comes from the application's test report (QUORIX_FONT_REPORT, see
# app/WidgetReport.h), so every click lands on a widget the report names, and every step waits for
# the state it needs, with a deadline.
set -uo pipefail

app=$1
sim=$2
close_request=$3
step_seconds=${QUORIX_SMOKE_STEP_SECONDS:-45} # per step; generous for a loaded two-core machine
total_deadline=$((SECONDS + 180))                # the whole run, inside CTest's 240 s
# Every process started here ends by itself after this long, even if this script is killed.
lifetime=(timeout --kill-after=5 300)
main_title='QUORIX_RS485(HALVANE)'

work=$(mktemp -d "${TMPDIR:-/tmp}/quorix-smoke.XXXXXX")
report=$work/report
pids=()

cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null
    done
    if [ "${QUORIX_SMOKE_KEEP:-0}" = 1 ]; then
        echo "smoke: files kept in $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

show_logs() {
    local log
    for log in xvfb.log sim.out sim.err app.out app.err; do
        [ -s "$work/$log" ] && { echo "--- $log (end)"; tail -n 20 "$work/$log"; }
    done
    [ -s "$report" ] && { echo "--- report (windows and menu entries)"; awk -F'\t' '$1 != "widget" || $2 !~ /\//' "$report"; }
}

fail() {
    echo "smoke: FAIL: $*" >&2
    show_logs >&2
    exit 1
}

step() { echo "smoke: $*"; }

# ---- the report ---------------------------------------------------------------------------------

# Fields of the first visible widget whose path matches the regular expression $1.
# (The patterns travel through the environment: awk -v would take their backslashes as escapes.)
widget_line() { RE=$1 awk -F'\t' '$1 == "widget" && $2 ~ ENVIRON["RE"] { print; exit }' "$report" 2>/dev/null; }
widget_text() { widget_line "$1" | cut -f8; }
widget_shown() { [ -n "$(widget_line "$1")" ]; }
widget_center() { widget_line "$1" | awk -F'\t' '{ print int($4 + $6 / 2), int($5 + $7 / 2) }'; }
# The centre of the first entry of a visible menu bar or menu whose caption matches $1.
action_center() {
    RE=$1 awk -F'\t' '$1 == "action" && $7 ~ ENVIRON["RE"] { print int($3 + $5 / 2), int($4 + $6 / 2); exit }' \
        "$report" 2>/dev/null
}

# ---- waiting and acting -------------------------------------------------------------------------

# wait_for DESCRIPTION COMMAND...: polls COMMAND until it succeeds; fails the test at the deadline
# or when the application has ended.
wait_for() {
    local what=$1
    shift
    local deadline=$((SECONDS + step_seconds))
    until "$@"; do
        if [ -n "${app_pid:-}" ] && ! kill -0 "$app_pid" 2>/dev/null; then
            fail "the application ended while waiting for: $what"
        fi
        [ $SECONDS -ge $deadline ] && fail "no $what within $step_seconds s"
        [ $SECONDS -ge $total_deadline ] && fail "out of time while waiting for: $what"
        sleep 0.1
    done
}

text_is() { [ "$(widget_text "$1")" = "$2" ]; }
text_not_empty() { [ -n "$(widget_text "$1")" ]; }
widget_gone() { ! widget_shown "$1"; }
action_shown() { [ -n "$(action_center "$1")" ]; }

click() {
    local x y
    read -r x y <<<"$1"
    [ -n "$x" ] || fail "nothing to click at ($2)"
    xdotool mousemove --sync "$x" "$y" click 1 || fail "xdotool could not click $2"
}

click_widget() { click "$(widget_center "$1")" "$1"; }
click_action() { click "$(action_center "$1")" "$1"; }

# Selects what the focused line edit holds and types $1 over it.
type_over() {
    xdotool key --clearmodifiers ctrl+a || fail "xdotool could not select the text to replace"
    xdotool type --delay 30 "$1" || fail "xdotool could not type $1"
}

# ---- the X server, the bus and the application --------------------------------------------------

start_x_server() {
    local tool
    for tool in Xvfb xdotool; do
        command -v "$tool" >/dev/null ||
            fail "no X server can be started: $tool is not installed (scripts/setup.sh installs it)"
    done
    case $close_request in
    missing:*) fail "no close-request helper: ${close_request#missing:}" ;;
    esac
    # -displayfd picks a free display and writes its number once the server accepts clients;
    # -noreset keeps it accepting them between the two runs of the application.
    : >"$work/display"
    "${lifetime[@]}" Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    local xvfb_pid=$! deadline=$((SECONDS + step_seconds)) number=""
    until read -r number <"$work/display" 2>/dev/null && [ -n "$number" ]; do
        kill -0 "$xvfb_pid" 2>/dev/null || fail "no X server can be started: Xvfb exited"
        [ $SECONDS -ge $deadline ] && fail "no X server can be started: Xvfb gave no display in $step_seconds s"
        sleep 0.1
    done
    export DISPLAY=:$number
    step "X server on $DISPLAY"
}

start_simulator() {
    "${lifetime[@]}" "$sim" --devices 1 --link "$work/bus" --log-frames >"$work/sim.out" 2>"$work/sim.err" &
    pids+=($!)
    wait_for "simulated bus" test -e "$work/bus"
    port=$(head -n 1 "$work/sim.out")
    [ "$port" = "$work/bus" ] || fail "the simulator names $port as its port, not $work/bus"
}

# start_application REPORT [VAR=VALUE...]: the product binary on the X server, with the test report.
start_application() {
    report=$1
    shift
    "${lifetime[@]}" env XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb QUORIX_FONT_REPORT="$report" "$@" "$app" >"$work/app.out" 2>"$work/app.err" &
    app_pid=$!
    pids+=("$app_pid")
    wait_for "X window titled $main_title" main_window_mapped
    wait_for "menu bar in the report" action_shown '^通信设置'
}

main_window_mapped() { xdotool search --onlyvisible --name "^${main_title//[()]/.}\$" >/dev/null; }

# Sends the window manager's close request to the main window and expects the program to end with 0.
close_application() {
    "$close_request" "$main_title" || fail "the close request could not be sent"
    local deadline=$((SECONDS + step_seconds))
    while kill -0 "$app_pid" 2>/dev/null; do
        [ $SECONDS -ge $deadline ] && fail "the application did not end within $step_seconds s of the close request"
        sleep 0.1
    done
    wait "$app_pid"
    local status=$?
    app_pid=""
    [ $status -eq 0 ] || fail "the application ended with status $status after the close request"
}

sim_received() { grep -q "^rx $1" "$work/sim.out"; }
no_menu_open() { ! awk -F'\t' '$1 == "widget" && $3 == "QMenu" { found = 1 } END { exit !found }' "$report"; }

# ---- the operator's session ---------------------------------------------------------------------

start_x_server
start_simulator
start_application "$work/report"
step "main window shown"

# The communication menu opens the serial port dialog; the port is typed into its editable box.
click_action '^通信设置'
wait_for "serial port dialog" text_is '/setSerialport$' '串口通信参数设置'
until no_menu_open; do # the communication menu has no entries: Escape closes its empty popup
    step "an empty menu popup is open; Escape"
    xdotool key Escape
    wait_for "menu closed" no_menu_open
done
# Opening the dialog has the worker list the system's ports, which refills the box: the path is
# typed once that listing has arrived (the dialog notes it on standard output).
wait_for "port listing in the dialog" grep -q '进入串口配置类是' "$work/app.out"
click_widget '/setSerialport/combox_port$'
type_over "$port"
wait_for "port path in the port box" text_is '/setSerialport/combox_port$' "$port"
click_widget '/setSerialport/btn_open$'
wait_for "port opened (已打开)" text_is '/setSerialport/btn_open$' '已打开'
wait_for "menu title 通信设置(已连接)" action_shown '^通信设置\(已连接\)$'
step "port $port opened"
"$close_request" '串口通信参数设置' || fail "the close request to the serial port dialog could not be sent"
wait_for "serial port dialog closed" widget_gone '/setSerialport$'

# Scan from the device menu; the result box is answered with its OK button. The scan listens for
# each echo only briefly (late echoes are still collected while the later addresses are probed):
# on a starved machine it can hear nothing, and the operator scans again.
for attempt in 1 2 3; do
    click_action '^设备管理\(D\)$'
    wait_for "查询设备 in the open device menu" action_shown '^查询设备$'
    click_action '^查询设备$'
    wait_for "scan result box" widget_shown '/QMessageBox/qt_msgbox_label$'
    [ "$(widget_text '/QMessageBox$')" = '提示' ] || fail "the scan box is titled '$(widget_text '/QMessageBox$')'"
    found=$(widget_text '/QMessageBox/qt_msgbox_label$')
    click_widget '/QMessageBox/qt_msgbox_buttonbox/QPushButton$'
    wait_for "scan box closed" widget_gone '/QMessageBox$'
    [ "$found" = '查询设备完成，查询到的设备为:1,' ] && break
    if [ "$found" != '没有查询到设备' ] || [ $attempt -eq 3 ]; then
        fail "scan $attempt: the box says '$found'"
    fi
    step "scan $attempt heard no echo; scanning again"
done
row=/tab_3/DeviceLine#0
wait_for "address 1 in the first row" text_is "$row/btn_id\$" '1'
step "scan found controller 1"

# Take it online; its mode is read back, which opens the instantaneous setpoint for input, and then
# both setpoints, which are written into their fields: a value typed before they arrive would be
# overwritten.
click_widget "$row/btn_online\$"
wait_for "row online (接连)" text_is "$row/btn_online\$" '接连'
wait_for "mode read back (瞬时量控制)" text_is "$row/btn_mode\$" '瞬时量控制'
wait_for "instantaneous setpoint read back" text_not_empty "$row/edit_cur/lineEdit\$"
wait_for "cumulative setpoint read back" text_not_empty "$row/edit_cum/lineEdit\$"
step "controller 1 online"

# Type 50 sccm and press Enter: controller 1 receives the write (06) of its setpoint register 303E
# with 50.0 as the little-endian IEEE bytes 00 00 48 42, and the frame's CRC 7D C3.
click_widget "$row/edit_cur/lineEdit\$"
type_over 50
wait_for "50 in the setpoint field" text_is "$row/edit_cur/lineEdit\$" '50'
xdotool key Return || fail "xdotool could not press Return"
wait_for "setpoint write at the simulator" sim_received '01 06 30 3E 00 00 48 42 7D C3$'
step "setpoint 50 arrived at the simulator"

# Every text the application showed or holds in its windows is drawable with the fonts in use.
checked=$(awk -F'\t' '$1 == "checked" { print $2 }' "$report")
[ "${checked:-0}" -ge 50 ] || fail "the font report checked only ${checked:-0} texts"
if grep -q '^uncovered' "$report"; then
    grep '^uncovered' "$report" >&2
    fail "characters of the captions above cannot be drawn with the fonts in use"
fi
step "all characters of $checked texts are covered by the fonts in use"

close_application
step "closed by WM_DELETE_WINDOW, exit status 0"

# Without a Chinese font the same check must name the characters it cannot draw.
latin=$(comm -23 <(fc-list --format '%{file}\n' ':lang=en' | sort -u) \
    <(fc-list --format '%{file}\n' ':lang=zh-cn' | sort -u) | head -n 1)
[ -n "$latin" ] || fail "no font without Chinese characters to check the check with"
mkdir -p "$work/latin-fonts" "$work/fc-cache"
ln -s "$latin" "$work/latin-fonts/"
cat >"$work/fonts.conf" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig><dir>$work/latin-fonts</dir><cachedir>$work/fc-cache</cachedir></fontconfig>
EOF
start_application "$work/report-latin" FONTCONFIG_FILE="$work/fonts.conf"
wait_for "uncovered 设备管理 in the report without a Chinese font" \
    grep -qP '^uncovered\t[^\t]*\t[^\t]*\t设备管理$' "$work/report-latin"
close_application
step "without a Chinese font the report names $(grep -c '^uncovered' "$work/report-latin") uncovered texts"
step "PASS"
