#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz) with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs each for SECONDS
# (default 30) from its committed corpus, as many at a time as there are
# cores. Prints the runs and the coverage each target gained. Exits non-zero on any crash, leak, time-out or broken
# property; the input that caused it stays under build/fuzz/crashes/<target>/.
# New inputs go to build/fuzz/corpus/<target>/, never into the committed
# corpus. FUZZ_TARGETS="per ber" picks targets.
set -u
seconds=${1:-30}
case "$seconds" in ''|*[!0-9]*) echo "usage: $0 [SECONDS]"; exit 2 ;; esac
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
. scripts/packages.sh
stalvane_install_packages "${STALVANE_BUILD_PACKAGES[@]}" clang libclang-rt-14-dev \
    || { echo "package install failed"; exit 1; }

build=${STALVANE_BUILD_DIR:-$top/build}/fuzz
targets=(${FUZZ_TARGETS:-control per ber value-notation ini values})

programs=()
for target in "${targets[@]}"; do programs+=("fuzz_${target//-/_}"); done

mkdir -p "$build"
if ! cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE= -DCMAKE_CXX_FLAGS="-O1 -g" -DSTALVANE_FUZZ=ON -DSTALVANE_SANITIZE=ON \
        >"$build/configure.log" 2>&1 \
   || ! cmake --build "$build" -j "$(nproc)" --target "${programs[@]}" >"$build/build.log" 2>&1; then
    tail -n 40 "$build/configure.log" "$build/build.log"
    echo "fuzz build failed"
    exit 1
fi

# Runs one target; its exit status goes to $build/<target>.rc.
run_target() {
    local target=$1
    local exe="$build/tests/fuzz/fuzz_${target//-/_}"
    local corpus="$build/corpus/$target"
    local crashes="$build/crashes/$target"
    mkdir -p "$corpus" "$crashes"
    # The first folder gets the new inputs; the committed corpus is read only.
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
        -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus" "tests/fuzz/corpus/$target" \
        >"$build/$target.log" 2>&1
    echo $? >"$build/$target.rc"
}

# One target per core at a time, each for the whole time given.
running=0
for target in "${targets[@]}"; do
    run_target "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$(nproc)" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait

status=0
for target in "${targets[@]}"; do
    log="$build/$target.log"
    crashes="$build/crashes/$target"
    rc=$(cat "$build/$target.rc" 2>/dev/null || echo 1)
    runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -n 1)
    start=$(sed -nE 's/.*INITED cov: ([0-9]+).*/\1/p' "$log" | head -n 1)
    end=$(sed -nE 's/.*(DONE|NEW|REDUCE|pulse|RELOAD) +cov: ([0-9]+).*/\2/p' "$log" | tail -n 1)
    start=${start:-0}; end=${end:-$start}
    echo "$target: ${runs:-0} runs, coverage $end (+$((end - start)) new)"
    if [ "$rc" -ne 0 ]; then
        status=1
        grep -E 'ERROR|property broken|SUMMARY|Test unit written' "$log" | head -n 10
        echo "$target: FAILED (exit $rc); log $log, input under $crashes/"
    fi
done
exit $status
