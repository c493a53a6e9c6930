#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Until the window exists this runs
# the command-line tool on a generated sample file and prints its per-second series.
set -euo pipefail
cd "$(dirname "$0")"
tools/ensure-packages.sh cmake make g++ pkg-config nlohmann-json3-dev libcli11-dev
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORV_BUILD_TESTS=OFF -DMORV_BUILD_BENCH=OFF >/dev/null
cmake --build build-run -j"${JOBS:-2}" --target morvatelline-cli make_sample
sample=build-run/sample.avi
build-run/tests/make_sample "$sample"
build-run/cli/morvatelline-cli series "$sample" "$@"
