#!/usr/bin/env bash
# build.sh <folder> [cmake options...]: configures and builds the project into <folder>.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$1
shift
jobs=$(nproc 2>/dev/null || echo 2)
launcher=()
# A compiler cache makes the second and third builds of test.sh, and rebuilds, cheap.
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >"$folder.configure.log" 2>&1 ||
    { cat "$folder.configure.log"; exit 1; }
cmake --build "$folder" -j"$jobs"
