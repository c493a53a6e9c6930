#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")"
tools/ensure-packages.sh cmake make g++ pkg-config nlohmann-json3-dev libcli11-dev \
  qt6-base-dev libgl-dev qt6-translations-l10n fonts-arphic-uming fonts-liberation2
tools/ensure-packages.sh qt6-tools-dev qt6-l10n-tools
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORV_BUILD_TESTS=OFF -DMORV_BUILD_BENCH=OFF >/dev/null
cmake --build build-run -j"${JOBS:-2}" --target morvatelline morvatelline-cli make_sample
build-run/tests/make_sample build-run/sample.avi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # No screen to show the window on: show what the program computes for the sample instead.
  echo "No display found (DISPLAY is not set); printing the analysis of a sample file instead." >&2
  exec build-run/cli/morvatelline-cli series build-run/sample.avi "$@"
fi
# Named files open in the window; without any, the sample does, so a first run shows something.
if [ $# -eq 0 ]; then set -- build-run/sample.avi; fi
exec build-run/gui/morvatelline "$@"
