#!/usr/bin/env bash
# The default scene rendered by one MPI rank of one thread and by two ranks of one thread each:
# wall time, samples per second from the statistics log, and the speed-up. Wall time counts
# everything a user waits for (MPI start-up, loading, the reduction, saving).
#   bench/mpi_speedup.sh [SAMPLES] [SCENE]      (default 16 samples, scenes/default.xml)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
samples=${1:-16}
scene=$(realpath "${2:-$here/scenes/default.xml}")
program=${GLINTOR_BUILD_DIR:-$here/build}/glintor-mpi
[ -x "$program" ] || { echo "no $program: build it where Open MPI is installed" >&2; exit 1; }
root=()
[ "$(id -u)" -eq 0 ] && root=(--allow-run-as-root)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() {  # ranks -> wall seconds, processor seconds, the log's samples per second (thousands)
    local TIMEFORMAT='%R %U %S' times
    times=$({ time mpirun "${root[@]}" --oversubscribe -np "$1" "$program" -q -t 1 \
        -s "$samples" -o "$work/r$1.png" "$scene" >/dev/null; } 2>&1)
    read -r wall user system <<<"$times"
    echo "$wall $(awk "BEGIN { print $user + $system }") \
        $(tail -n1 "$work/r$1.png.txt" | cut -c37-46 | tr -d ' K')"
}

echo "scene $(basename "$scene"), $samples samples per pixel, one render thread per rank"
read -r wall1 cpu1 rate1 < <(run 1)
read -r wall2 cpu2 rate2 < <(run 2)
# Processor seconds over wall seconds shows how many cores the run really had: well below the
# rank count, the machine was busy with something else and the speed-up says little.
printf '1 rank : %7.2f s wall  %7.2f s processor  %9.2fK samples/s\n' "$wall1" "$cpu1" "$rate1"
printf '2 ranks: %7.2f s wall  %7.2f s processor  %9.2fK samples/s\n' "$wall2" "$cpu2" "$rate2"
awk "BEGIN { printf \"speed-up: %.2f (wall), %.2f (samples per second); cores used %.2f and %.2f\\n\", \
                   $wall1 / $wall2, $rate2 / $rate1, $cpu1 / $wall1, $cpu2 / $wall2 }"
