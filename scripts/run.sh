#!/usr/bin/env bash
# Builds zarlink and starts it in build/run, the runtime directory holding the
# shipped data files. By default COM2 is the embedded virtual controller, so the
# program can be tried without hardware; extra arguments go to zarlink.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
cd "${ZAR_BUILD_DIR:-build}/run"
exec ../zarlink --virtual-controller COM2 "$@"
