#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the program and starts it on the desktop.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
cmake --preset app >/dev/null
cmake --build --preset app

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'HELP'
postori is built (build/app/app/postori) but there is no desktop to show its
window on: neither DISPLAY nor WAYLAND_DISPLAY is set. Either
  - log in with X forwarding (ssh -X this-machine) and run ./scripts/run.sh again, or
  - serve the window over VNC: QT_QPA_PLATFORM=vnc:size=800x600 ./scripts/run.sh
    then connect a VNC viewer to port 5900 of this machine.
Browsers post their forms to port 9250 of this machine in either case.
HELP
    exit 1
fi
exec build/app/app/postori
