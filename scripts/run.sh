#!/usr/bin/env bash
# Builds stalvane and its controller stalvane-ctl, and starts the daemon in
# the foreground on the simulated board, port 20001, with every fixed path
# under run/ of the checkout (STALVANE_ROOT). Extra arguments go to stalvane.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
. scripts/packages.sh
stalvane_install_packages "${STALVANE_BUILD_PACKAGES[@]}"
cmake -S . -B build/run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTALVANE_TESTS=OFF >/dev/null
cmake --build build/run -j "$(nproc)" --target stalvane stalvane-ctl
root="$top/run"
mkdir -p "$root/dev/misc" "$root/var/run" "$root/var/log" "$root/usr/local/etc"
touch "$root/dev/misc/gw-wd"
export STALVANE_ROOT="$root"
export STALVANE_BOARD=sim
exec build/run/stalvane --port 20001 "$@"
