#!/usr/bin/env bash
# Runs the picture fuzzer (FloatImage::Load on any bytes under any readable format's name) for a
# bounded time, from small pictures of every format FreeImage writes. Needs clang with libFuzzer
# (Debian: clang). Usage: tools/fuzz_pictures.sh [SECONDS]
#
# Each input is decoded in a child process. A child that dies (FreeImage crashing, or running out
# of its memory, on a file) still carries libFuzzer's handlers and leaves its input in the deaths
# folder as crash-... or oom-...; the loader refused it and the fuzzer went on. Keep such files,
# without their first byte (the format selector) and named with the format's extension, in
# tests/data/pictures. The fuzzer itself is clean when it stops at its time limit with status 0.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
cmake -S . -B build >/dev/null
cmake --build build --target glintor_picture_fuzz glintor_picture_seeds
out=build/tools
mkdir -p "$out/picture_fuzz_corpus" "$out/picture_fuzz_deaths"
"$out/glintor_picture_seeds" "$out/picture_fuzz_seeds"
exec "$out/glintor_picture_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=90 \
    -rss_limit_mb=2048 -malloc_limit_mb=1024 -keep_seed=1 -cross_over_uniform_dist=1 \
    -print_final_stats=1 -dict=tests/fuzz/pictures.dict \
    -artifact_prefix="$out/picture_fuzz_deaths/" "$out/picture_fuzz_corpus" "$out/picture_fuzz_seeds"
