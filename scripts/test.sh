#!/usr/bin/env bash
# Builds and runs every test: a sanitized Debug build on this machine, then
# the board's target (32-bit big-endian PowerPC) cross-built and run under qemu-ppc.
# Both replay the committed fuzz corpora (tests/fuzz/corpus); the slow fault
# probes (label "slow") run once, against the host build's daemon, with
# STALVANE_PROBE_SESSIONS sessions (default 100); where clang is installed,
# scripts/fuzz.sh runs each fuzz target for STALVANE_FUZZ_SECONDS (default 10).
# Ends with one line "N passed, N failed"; exits non-zero on any failure.
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
. scripts/packages.sh
stalvane_install_packages "${STALVANE_BUILD_PACKAGES[@]}" "${STALVANE_TEST_PACKAGES[@]}" || { echo "package install failed"; exit 1; }

jobs=$(nproc)
build=${STALVANE_BUILD_DIR:-$top/build}
passed=0; failed=0; status=0

# Adds the counts of one ctest log to the totals.
count() {
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
    if [ -z "$line" ]; then status=1; failed=$((failed + 1)); return; fi
    local total fail
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fail=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - fail)); failed=$((failed + fail))
    [ "$fail" -eq 0 ] || status=1
}

# The tests one ctest log lists as failed, one line each.
failures() {
    sed -n '/^The following tests FAILED:/,/^[^[:space:]]/{/^[[:space:]]/p}' "$1" | head -n 40
}

stage() { echo "== $*"; }

stage "host: Debug, AddressSanitizer and UndefinedBehaviorSanitizer"
mkdir -p "$build"
if cmake -S . -B "$build/host" -DCMAKE_BUILD_TYPE=Debug -DSTALVANE_SANITIZE=ON -DSTALVANE_WERROR=ON \
      >"$build/host-configure.log" 2>&1 \
   && cmake --build "$build/host" -j "$jobs" >"$build/host-build.log" 2>&1; then
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir "$build/host" -j "$jobs" -LE slow --output-on-failure >"$build/host-ctest.log" 2>&1
    failures "$build/host-ctest.log"
    tail -n 3 "$build/host-ctest.log"
    count "$build/host-ctest.log"
    # Mostly waiting on the daemon: beside the target stage.
    STALVANE_PROBE_SESSIONS=${STALVANE_PROBE_SESSIONS:-100} ASAN_OPTIONS=detect_leaks=1 \
        ctest --test-dir "$build/host" -L slow --output-on-failure >"$build/slow-ctest.log" 2>&1 &
    slow=$!
else
    tail -n 40 "$build/host-configure.log" "$build/host-build.log"
    echo "host build failed"; status=1; failed=$((failed + 1))
fi

if [ -z "${STALVANE_SKIP_PPC:-}" ]; then
    stage "target: powerpc-linux-gnu under qemu-ppc"
    inc="$build/ppc-include"
    mkdir -p "$inc"
    ln -sfn /usr/include/boost "$inc/boost"
    ln -sfn /usr/include/loki "$inc/loki"
    if cmake -S . -B "$build/ppc" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/ppc-toolchain.cmake" \
          -DCMAKE_BUILD_TYPE=Debug -DSTALVANE_WERROR=ON -DSTALVANE_GTEST_FROM_SOURCE=ON -DSTALVANE_EXTRA_INCLUDE="$inc" \
          >"$build/ppc-configure.log" 2>&1 \
       && cmake --build "$build/ppc" -j "$jobs" >"$build/ppc-build.log" 2>&1; then
        ctest --test-dir "$build/ppc" -j "$jobs" --output-on-failure >"$build/ppc-ctest.log" 2>&1
        failures "$build/ppc-ctest.log"
        tail -n 3 "$build/ppc-ctest.log"
        count "$build/ppc-ctest.log"
        # The process tests: the target's daemon under qemu-ppc, the client
        # the host build's (a controller runs beside the board, not on it).
        stage "target daemon under qemu-ppc, host controller: process tests"
        if [ -x "$build/host/tests/process/test_process" ]; then
            STALVANE_DAEMON="$build/ppc/stalvane" STALVANE_DAEMON_EMULATOR="qemu-ppc -L /usr/powerpc-linux-gnu" \
                ctest --test-dir "$build/host" -L process -LE slow -j "$jobs" --output-on-failure \
                >"$build/ppc-process.log" 2>&1
            failures "$build/ppc-process.log"
            tail -n 3 "$build/ppc-process.log"
            count "$build/ppc-process.log"
        else
            echo "no host process-test client"; status=1; failed=$((failed + 1))
        fi
    else
        tail -n 40 "$build/ppc-configure.log" "$build/ppc-build.log"
        echo "target build failed"; status=1; failed=$((failed + 1))
    fi
fi

if [ -n "${slow:-}" ]; then
    stage "slow fault probes (host daemon)"
    wait "$slow"
    failures "$build/slow-ctest.log"
    tail -n 3 "$build/slow-ctest.log"
    count "$build/slow-ctest.log"
fi

if command -v clang++ >/dev/null 2>&1; then
    stage "fuzz targets under libFuzzer, ${STALVANE_FUZZ_SECONDS:-10} s each"
    if STALVANE_BUILD_DIR="$build" bash scripts/fuzz.sh "${STALVANE_FUZZ_SECONDS:-10}"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1)); status=1
    fi
fi

echo "$passed passed, $failed failed"
exit $status
