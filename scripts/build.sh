#!/usr/bin/env bash
# build.sh <folder> [cmake options...]: configures and builds the project into <folder>.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$1
shift
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$folder.configure.log" 2>&1 ||
    { cat "$folder.configure.log"; exit 1; }
cmake --build "$folder" -j"$jobs"
