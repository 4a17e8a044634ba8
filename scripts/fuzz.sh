#!/usr/bin/env bash
# Runs the fuzz targets of the sanitizer build (scripts/sanitize.sh builds it in ./build-asan) for a fixed
# time each, two at a time. Fails when any target crashes or reports a sanitizer finding; the input that did
# it is left in build-asan/fuzz-runs/<kind>/artifacts/ (FUZZ_RUNS_DIR names another folder for the runs).
# Usage: scripts/fuzz.sh [seconds per target, default 30] [fuzz_<kind>...]
# FUZZ_JOBS sets how many run at a time, FUZZ_NICE their nice level.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
[ $# -gt 0 ] && shift
source scripts/sanitizer-env.sh
# A fuzzer allocates all the time; a smaller quarantine and shorter allocation stacks double its speed here.
export ASAN_OPTIONS="$ASAN_OPTIONS:quarantine_size_mb=16:malloc_context_size=10"
# Several targets write the files they read; memory-backed temporary files keep them fast.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for program in build-asan/fuzz/fuzz_*; do
        [ -f "$program" ] && [ -x "$program" ] && targets+=("$(basename "$program")")
    done
fi
if [ ${#targets[@]} -eq 0 ]; then
    echo "No fuzz targets in build-asan/fuzz; run scripts/sanitize.sh first." >&2
    exit 1
fi

run_target() {
    local name="$1" kind="${1#fuzz_}"
    local work="$runs_dir/$kind"
    rm -rf "$work/artifacts"
    mkdir -p "$work/corpus" "$work/artifacts"
    # New inputs go to the work corpus; the project's seeds (and the test data of the same kind) are read.
    local inputs=("$work/corpus" "fuzz/corpus/$kind")
    [ -d "tests/data/$kind" ] && inputs+=("tests/data/$kind")
    local options=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=25 -print_final_stats=1
                   -artifact_prefix="$work/artifacts/")
    [ -f "fuzz/$kind.dict" ] && options+=(-dict="fuzz/$kind.dict")
    if nice -n "${FUZZ_NICE:-0}" "build-asan/fuzz/$name" "${options[@]}" "${inputs[@]}" >"$work/log" 2>&1; then
        echo "$name: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/log" | tail -n 1)"
    else
        touch "$work/failed"
        echo "$name: FAILED (log: $work/log)"
        grep -E 'ERROR|runtime error|SUMMARY|Test unit written|deadly signal' "$work/log" | head -n 20 || true
    fi
}

runs_dir="${FUZZ_RUNS_DIR:-build-asan/fuzz-runs}"
rm -f "$runs_dir"/*/failed
running=0
for name in "${targets[@]}"; do
    if [ "$running" -ge "${FUZZ_JOBS:-2}" ]; then
        wait -n || true
        running=$((running - 1))
    fi
    run_target "$name" &
    running=$((running + 1))
done
wait

failed=("$runs_dir"/*/failed)
if [ -e "${failed[0]}" ]; then
    echo "Fuzzing found problems in: ${failed[*]%/failed}" >&2
    exit 1
fi
