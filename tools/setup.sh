#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, then configures and builds Release into build/.
# Idempotent: when every package is present and nothing changed it only runs an incremental build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake make pkg-config freeglut3-dev libgl-dev libglu1-mesa-dev libfreeimage-dev
          libopenexr-dev openexr libgtest-dev libbenchmark-dev xvfb xdotool x11-apps x11-utils
          openmpi-bin libopenmpi-dev valgrind)
if [ "${GLINTOR_WITH_EMBREE:-0}" = 1 ]; then packages+=(libembree-dev); fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
build_type=${GLINTOR_BUILD_TYPE:-Release}
build_dir=${GLINTOR_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE="$build_type" ${GLINTOR_CMAKE_ARGS:-} >/dev/null
cmake --build "$build_dir" -j "$jobs" ${GLINTOR_TARGETS:+--target $GLINTOR_TARGETS}
