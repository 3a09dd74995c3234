#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them side by side, each for
# a bounded time (FUZZ_SECONDS, default 45) from the seed corpus in
# tests/fuzz/corpus. New inputs go to a scratch copy, never into the
# repository. Any crash, leak or sanitizer report fails the run.
set -euo pipefail
project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$project_root/build-fuzz
seconds=${FUZZ_SECONDS:-45}

if [[ ! -f $build_dir/CMakeCache.txt ]]; then
  CC=clang CXX=clang++ cmake -S "$project_root" -B "$build_dir" -DINTRO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" -j "$(nproc)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# One target per core: the targets run side by side, each for the whole time.
fuzz() {
  local target=$1 name=$2
  mkdir -p "$scratch/$name"
  cp -r "$project_root/tests/fuzz/corpus/$name/." "$scratch/$name/" 2>/dev/null || true
  (cd "$scratch" && exec "$target" -max_total_time="$seconds" -print_final_stats=1 "$scratch/$name" \
    >"$scratch/$name.log" 2>&1)
}

names=() runs=()
for target in "$build_dir"/tests/fuzz/*_fuzz; do
  names+=("$(basename "$target" _fuzz)")
  fuzz "$target" "${names[-1]}" &
  runs+=($!)
done
found_fault=0
for i in "${!names[@]}"; do
  name=${names[$i]} status=0
  wait "${runs[$i]}" || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/$name.log")
  echo "Fuzzing $name: ${executions:-no} executions in $seconds s, $(ls "$scratch/$name" | wc -l) inputs in the corpus"
  if ((status != 0)) || grep -qE '==[0-9]+== ?ERROR|runtime error|Test unit written' "$scratch/$name.log"; then
    tail -60 "$scratch/$name.log"
    echo "Fuzzing $name found a fault"
    found_fault=1
  fi
done
exit "$found_fault"
