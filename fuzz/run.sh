#!/usr/bin/env bash
# Builds the fuzz targets natively and runs each for SECONDS (default 60), or for RUNS inputs when the
# second argument is given, starting from its committed seed corpus. New inputs go to a work corpus in the
# build tree, never to the committed one; an input that breaks an invariant or crashes is kept in
# FUZZ_BUILD_DIR/findings and makes the script fail. One line of figures per target. FUZZ_ONLY (names
# separated by blanks) runs only those targets.
#   run.sh [SECONDS [RUNS]]
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SECONDS_EACH=${1:-60}
RUNS=${2:--1}
BUILD=${FUZZ_BUILD_DIR:-$HERE/../build/fuzz}
mkdir -p "$BUILD/findings" "$BUILD/logs"

if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$HERE" -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >"$BUILD/logs/cmake.log" 2>&1 ||
        { cat "$BUILD/logs/cmake.log"; exit 1; }
fi
ninja -C "$BUILD" >"$BUILD/logs/build.log" 2>&1 || { cat "$BUILD/logs/build.log"; exit 1; }

failed=0
for program in "$BUILD"/*Fuzz; do
    name=$(basename "$program" Fuzz)
    if [ -n "${FUZZ_ONLY:-}" ] && [[ " $FUZZ_ONLY " != *" $name "* ]]; then
        continue
    fi
    work="$BUILD/corpus/$name"
    log="$BUILD/logs/$name.log"
    mkdir -p "$work"
    status=0
    nice "$program" -max_total_time="$SECONDS_EACH" -runs="$RUNS" -print_final_stats=1 \
        -artifact_prefix="$BUILD/findings/$name-" "$work" "$HERE/corpus/$name" >"$log" 2>&1 || status=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    edges=$( (grep -o 'cov: [0-9]*' "$log" || true) | tail -1 | cut -d' ' -f2)
    features=$( (grep -o 'ft: [0-9]*' "$log" || true) | tail -1 | cut -d' ' -f2)
    corpus=$(find "$work" -type f | wc -l)
    printf '%-22s inputs %s  execs/s %s  edges %s  features %s  corpus %s\n' \
        "$name" "${execs:-?}" "${speed:-?}" "${edges:-?}" "${features:-?}" "$corpus"
    if [ "$status" -ne 0 ]; then
        failed=1
        echo "$name: FAILED (exit $status); input kept under $BUILD/findings, log $log"
        grep -E 'invariant broken|ERROR: |runtime error' "$log" | head -5 || true
    fi
done
exit $failed
