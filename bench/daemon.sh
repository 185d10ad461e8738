#!/usr/bin/env bash
# The whole daemon against the wire: stalvane on the simulated board and a raw
# TPKT echo on loopback (echo_floor.c, the floor), driven by the same load
# client (tpkt_client.c) in alternating runs. Prints, per case, the medians of
# both rates and the median of the per-repetition ratios daemon/floor.
#
#   bench/daemon.sh [--reps N] [--slots N] [--sessions N] [DAEMON]
#
# DAEMON is a stalvane binary (default: a Release build in build/bench).
# --slots N   every run first creates N map slots, untimed (the floor echoes
#             the same frames), so the ping rates show what live slots cost.
# --sessions N  only the memory check: resident size of the idle daemon, then
#             after N controller sessions (each a connect, the command mix and
#             a close, 1.3 s apart: the disconnect holds the loop).
#
# A controller's disconnect holds the daemon's loop for one second (slot
# clean-up), so every run starts 1.3 s after the previous one ended. The
# machine may be shared: trust the ratios of one run, not the rates.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
reps=5
slots=0
sessions=0
daemon=""
while [ $# -gt 0 ]; do
    case "$1" in
    --reps) reps=$2; shift 2 ;;
    --slots) slots=$2; shift 2 ;;
    --sessions) sessions=$2; shift 2 ;;
    -h | --help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) daemon=$1; shift ;;
    esac
done

bin="$top/build/bench"
mkdir -p "$bin"
if [ -z "$daemon" ]; then
    cmake -S "$top" -B "$bin" -DCMAKE_BUILD_TYPE=Release -DSTALVANE_TESTS=OFF >/dev/null
    cmake --build "$bin" -j 4 --target stalvane >/dev/null
    daemon="$bin/stalvane"
fi
for tool in echo_floor tpkt_client; do
    if [ "$top/bench/$tool.c" -nt "$bin/$tool" ]; then cc -O2 -o "$bin/$tool" "$top/bench/$tool.c"; fi
done

ping=80010718
mix=c00101000108380028,c00102000208380138,c001030001040002,c0010400020a,c0010500010a

root=$(mktemp -d /tmp/stalvane-bench-XXXXXX)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT
mkdir -p "$root/dev/misc" "$root/var/run" "$root/var/log" "$root/usr/local/etc"
touch "$root/dev/misc/gw-wd"

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
fport=$(free_port)
dport=$(free_port)
"$bin/echo_floor" "$fport" &
pids+=($!)
STALVANE_ROOT="$root" STALVANE_BOARD=sim "$daemon" --port "$dport" >"$root/stdout" 2>"$root/stderr" &
dpid=$!
pids+=($dpid)

# One ping answered: the daemon serves.
for _ in $(seq 100); do
    if "$bin/tpkt_client" 127.0.0.1 "$dport" "$ping" 1 1 >/dev/null 2>&1; then break; fi
    sleep 0.1
done
sleep 1.3

# Creates of map slots 1..N, one a line (receiver bus and channel from the
# slot number), without seq.
if [ "$slots" -gt 0 ]; then
    for s in $(seq "$slots"); do
        printf '40%04x08%06x\n' "$s" $((0x4a0000 | (s / 128) << 13 | (s % 128) << 6))
    done >"$root/prelude"
    export PRELUDE="$root/prelude"
fi

rss() { awk '/^VmRSS/ { print $2 }' "/proc/$dpid/status"; }
idle=$(rss)

if [ "$sessions" -gt 0 ]; then
    unset PRELUDE
    for i in $(seq "$sessions"); do
        "$bin/tpkt_client" 127.0.0.1 "$dport" "$mix" 5 1 >/dev/null
        sleep 1.3
        if [ $((i % 100)) -eq 0 ]; then echo "after $i sessions: $(rss) kB"; fi
    done
    echo "resident: idle $idle kB, after $sessions sessions $(rss) kB"
    exit 0
fi

# The rate of one run against port $1: payload $2, count $3, window $4.
rate() {
    local out
    out=$("$bin/tpkt_client" 127.0.0.1 "$1" "$2" "$3" "$4" 2>/dev/null)
    sleep 1.3
    echo "${out%% req/s*}"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

cases=("ping-w1 $ping 20000 1 0.8" "ping-w64 $ping 200000 64 0.8" "mix-w1 $mix 20000 1 0.6")
declare -A floors daemons ratios
for rep in $(seq "$reps"); do
    for c in "${cases[@]}"; do
        read -r name payload count window target <<<"$c"
        f=$(rate "$fport" "$payload" "$count" "$window")
        d=$(rate "$dport" "$payload" "$count" "$window")
        floors[$name]+="$f "
        daemons[$name]+="$d "
        ratios[$name]+="$(awk -v d="$d" -v f="$f" 'BEGIN { printf "%.3f", d / f }') "
    done
done

echo "daemon $daemon, $reps alternating repetitions, $slots live slots"
printf '%-9s %12s %12s %8s %8s\n' case "floor req/s" "daemon req/s" ratio target
for c in "${cases[@]}"; do
    read -r name payload count window target <<<"$c"
    printf '%-9s %12.0f %12.0f %8.3f %8s\n' "$name" \
        "$(tr ' ' '\n' <<<"${floors[$name]}" | grep . | median)" \
        "$(tr ' ' '\n' <<<"${daemons[$name]}" | grep . | median)" \
        "$(tr ' ' '\n' <<<"${ratios[$name]}" | grep . | median)" ">= $target"
done
echo "daemon resident: idle $idle kB, after the runs $(rss) kB"
