#!/usr/bin/env bash
# CPU of the whole desktop program during live display: starts Xvfb (1920 x 1080), zorvan-sim on
# a virtual port and Orbo_Zorvan_Tool connected on the target page, waits WARM seconds, then
# prints the program's CPU (all its threads, from /proc/<pid>/task/*/schedstat) over SECONDS as
# a percentage of one core. Arguments after the first two go to the simulator, e.g.
#   bench/live_cpu.sh 30 5 --time-scale 10     (10 reports a second)
# Programs from ORBO_BIN_DIR, default build/bin of this checkout; needs Xvfb (scripts/install-deps).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${ORBO_BIN_DIR:-$root/build/bin}"
seconds="${1:-30}"
warm="${2:-5}"
shift $(($# >= 2 ? 2 : $#))

work="$(mktemp -d -t zorvan-cpu.XXXXXX)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -m 700 "$work/home" "$work/run"
export ORBO_HOME="$work/home" XDG_RUNTIME_DIR="$work/run"

display=""
for n in $(seq 90 120); do
    if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]]; then display=":$n"; break; fi
done
[[ -n "$display" ]] || { echo "live_cpu: no free display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
mkfifo "$work/sim.out"
"$bin/zorvan-sim" "$@" >"$work/sim.out" &
pids+=($!)
exec 3<"$work/sim.out"
IFS= read -r -t 10 port <&3 || { echo "live_cpu: zorvan-sim did not report its port" >&2; exit 1; }
for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.1; done
DISPLAY="$display" "$bin/Orbo_Zorvan_Tool" --port "$port" --connect --page target \
    -geometry 1920x1080+0+0 >/dev/null 2>&1 &
tool=$!
pids=("$tool" "${pids[@]}")
sleep "$warm"
cpu_ns() { cat /proc/"$tool"/task/*/schedstat | awk '{s += $1} END {print s}'; }
start_ns=$(cpu_ns)
start=$(date +%s.%N)
sleep "$seconds"
end_ns=$(cpu_ns)
end=$(date +%s.%N)
awk -v ns="$((end_ns - start_ns))" -v a="$start" -v b="$end" -v s="$seconds" \
    'BEGIN { printf "Orbo_Zorvan_Tool: %.2f %% of one core over %s s\n", 100 * ns / 1e9 / (b - a), s }'
