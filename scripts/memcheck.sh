#!/usr/bin/env bash
# valgrind memcheck over a whole run of the intro from build/ with the
# recording libraries (scripts/full_run.sh, ended by an interrupt): any
# invalid read or write, use of an undefined value, bad free, or byte
# definitely or indirectly lost fails it. Memory still reachable at exit is
# not a leak and is not counted.
#
# Usage: scripts/memcheck.sh [BUILD_DIR]   (build by default, already built)
set -euo pipefail

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-$project_root/build}
cd "$project_root"

reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT

status=0
# The report goes to a file, so the intro's own output stays apart from it.
SCENE_SECONDS=4 RUN_TIMEOUT=600 scripts/full_run.sh "$build_dir" interrupt \
  valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
  --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
  --log-file="$reports/memcheck.%p" || status=$?

cat "$reports"/memcheck.*
summary=$(grep -h -E 'ERROR SUMMARY|definitely lost|indirectly lost' "$reports"/memcheck.* || true)
if ((status != 0)); then
  echo "memcheck: the run failed (status $status)"
  exit 1
fi
grep -q 'ERROR SUMMARY: 0 errors' "$reports"/memcheck.* || { echo "memcheck: errors reported"; exit 1; }
echo "memcheck: no errors, nothing definitely or indirectly lost"
echo "$summary"
