#!/bin/sh
# Starts the QUORIX RS485 application installed under this launcher's prefix; the application finds
# its icons, manual and data folder beside itself.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../lib/quorix-rs485/quorix-rs485" "$@"
