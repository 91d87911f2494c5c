#!/usr/bin/env bash
# Configures and builds zarlink into build/ (or $ZAR_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
dir="${ZAR_BUILD_DIR:-build}"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
