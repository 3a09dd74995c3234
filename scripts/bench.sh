#!/usr/bin/env bash
# Builds the project (scripts/setup.sh) and measures it: the frame benchmark
# (bench/frame_bench: medians of five repetitions, then a one-line summary of
# the ratios) and the peak resident memory of one whole run with the
# recording libraries (bench/peak_memory.sh). Arguments go to the benchmark,
# e.g. --benchmark_filter=panel.
#
# Usage: scripts/bench.sh [benchmark options]
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${INTRO_BUILD_DIR:-$project_root/build}

"$project_root/scripts/setup.sh" --with-test-tools
"$build_dir/bench/frame_bench" "$@"
"$project_root/bench/peak_memory.sh" "$build_dir"
