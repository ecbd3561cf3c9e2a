#!/usr/bin/env bash
# Renders one small picture of every example scene, and one of the default scene shared by two
# MPI ranks, into docs/gallery/ with the program's own options. About two minutes on two cores.
#   tools/gallery.sh [SAMPLES]      (default 32 samples per pixel)
set -euo pipefail
cd "$(dirname "$0")/.."
samples=${1:-32}
width=320
build=${GLINTOR_BUILD_DIR:-build}
out=docs/gallery
mkdir -p "$out"

# The film's first Width and Height give the aspect; the shorter edge may not go below 128.
size_of() {
    local w h
    w=$(grep -o -m1 '<Width>[0-9]*' "$1" | tr -dc 0-9)
    h=$(grep -o -m1 '<Height>[0-9]*' "$1" | tr -dc 0-9)
    if ((width * h / w >= 128)); then
        echo "${width}x$((width * h / w))"
    else
        echo "$((128 * w / h))x128"
    fi
}

for scene in scenes/*.xml; do
    name=$(basename "$scene" .xml)
    echo "$name: $(size_of "$scene"), $samples samples per pixel"
    "$build/glintor" --no-window -q -s "$samples" --size "$(size_of "$scene")" \
        -o "$out/$name.png" "$scene" >/dev/null
done

if [ -x "$build/glintor-mpi" ]; then
    root=()
    [ "$(id -u)" -eq 0 ] && root=(--allow-run-as-root)
    echo "default_mpi: two ranks of one thread, $samples samples per pixel between them"
    mpirun "${root[@]}" --oversubscribe -np 2 "$build/glintor-mpi" -q -t 1 -s "$samples" \
        --size "$(size_of scenes/default.xml)" -o "$out/default_mpi.png" scenes/default.xml \
        >/dev/null
fi
# The pictures are what the gallery shows; their statistics logs are not kept.
rm -f "$out"/*.png.txt
ls -l "$out"
