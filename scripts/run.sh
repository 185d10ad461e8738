#!/usr/bin/env bash
# Builds stalvane and starts it in the foreground.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
. scripts/packages.sh
stalvane_install_packages "${STALVANE_BUILD_PACKAGES[@]}"
cmake -S . -B build/run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTALVANE_TESTS=OFF >/dev/null
cmake --build build/run -j "$(nproc)" --target stalvane
mkdir -p run
export STALVANE_ROOT="$top/run"
exec build/run/stalvane "$@"
