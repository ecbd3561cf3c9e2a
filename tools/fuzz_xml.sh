#!/usr/bin/env bash
# Runs the scene-file fuzzer (XML reader and settings sections) for a bounded time, starting from
# the example scenes. Needs clang with libFuzzer (Debian: clang). Usage: tools/fuzz_xml.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
cmake -S . -B build >/dev/null
cmake --build build --target glintor_xml_fuzz
corpus=build/tools/xml_fuzz_corpus
mkdir -p "$corpus"
cp scenes/*.xml "$corpus/"
exec build/tools/glintor_xml_fuzz -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -rss_limit_mb=2048 "$corpus"
