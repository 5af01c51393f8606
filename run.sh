#!/usr/bin/env bash
# Installs what is missing, builds, and starts the Qirnsplit window.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/setup.sh
bash scripts/build.sh build -DQS_TESTS=OFF
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && "${QT_QPA_PLATFORM:-}" == "" ]]; then
    cat <<'MSG'
Qirnsplit is a desktop program and needs a display, but none is set (DISPLAY is empty).
Run it on a desktop, or under a virtual display:
    apt-get install -y xvfb xauth && xvfb-run -a ./build/qirnsplit
MSG
    exit 1
fi
exec ./build/qirnsplit "$@"
