#!/usr/bin/env bash
# Builds the project twice more, with sanitizers, each in its own tree, and
# runs it there; any sanitizer report fails the script.
#
#   build-asan  AddressSanitizer + UndefinedBehaviorSanitizer (leak checking
#               included): the whole ctest suite (whose runs end by Escape and
#               by interrupts on the simulated clock), then a whole run of the
#               intro with the recording libraries on the real clock, ended by
#               an interrupt (scripts/full_run.sh).
#   build-tsan  ThreadSanitizer: the unit tests, then whole runs in which the
#               clock and music threads tick against the frame loop for
#               several seconds of real time before an interrupt or Escape.
#
# Reports are written to files (log_path) as well as counted by exit status,
# so a report from a process whose exit status a test does not look at still
# fails the script. Usage: scripts/sanitize.sh [asan|tsan] (both by default).
set -euo pipefail

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$project_root"
parts=("$@")
((${#parts[@]})) || parts=(asan tsan)

reports=$(mktemp -d)
# The tests that run the intro with the system's SDL or libmikmod: the
# real-library runs, the module bad-file run, the recordings and the
# whole-system runs.
real_library_tests="RealMusicLibrary|capture_tests|system_"
trap 'rm -rf "$reports"' EXIT

# Configures (once) and builds one sanitizer tree with GCC, the project's
# compiler. $1 the tree, $2 the sanitizer flags, the rest the targets.
build_tree() {
  local tree=$1 flags=$2
  shift 2
  if [[ ! -f $tree/CMakeCache.txt ]]; then
    # Line tables are all a sanitizer report needs, and they build in two
    # thirds of the time of full debugging information.
    cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
      -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
      -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" >/dev/null
  fi
  cmake --build "$tree" -j 2 "$@"
}

# Runs one step; a failing step is remembered, and the reports are still
# shown before the script fails.
failed_steps=()
step() {
  "$@" || failed_steps+=("$*")
}

# Shows every report written since the last check and fails on any, or on a
# failed step.
check_no_reports() {
  local found
  found=$(find "$reports" -type f | sort)
  for report in $found; do
    echo "---- $report"
    cat "$report"
    rm -f "$report"
  done
  if [[ -n $found ]]; then
    echo "$1: $(wc -l <<<"$found") sanitizer report(s)"
    exit 1
  fi
  if ((${#failed_steps[@]})); then
    printf '%s: failed: %s\n' "$1" "${failed_steps[@]}"
    exit 1
  fi
  echo "$1: every step passed, no sanitizer reports"
}

run_asan() {
  build_tree build-asan "-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  # Exit status 86 keeps a report apart from the intro's own statuses (0, 1, 2)
  # that the tests expect.
  # The virtual clock of the recordings is preloaded ahead of the runtime.
  local options="halt_on_error=1:exitcode=86:log_path=$reports/asan:verify_asan_link_order=0"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=86:log_path=$reports/ubsan"
  ASAN_OPTIONS="$options:detect_leaks=1" step ctest --test-dir build-asan --output-on-failure -j 2 \
    -E "$real_library_tests"
  # The runs with the system's SDL and libmikmod: the intro unloads them before
  # the leak check at exit, so what they (and the sound library they pull in)
  # keep to the end shows up without a module name and cannot be told apart by
  # a suppression. Leak checking is off for these runs alone; our own code's
  # leaks are checked by every other run and by valgrind (scripts/memcheck.sh).
  # The real window's run is left to the plain build: here it would repeat, at
  # several times the cost, what the terminal and no-sound runs check of our
  # code over the system's SDL.
  ASAN_OPTIONS="$options:detect_leaks=0" step ctest --test-dir build-asan --output-on-failure -j 2 \
    -R "$real_library_tests" -E '^system_window'
  export ASAN_OPTIONS="$options:detect_leaks=1"
  step scripts/full_run.sh build-asan interrupt
  unset ASAN_OPTIONS UBSAN_OPTIONS
  check_no_reports "AddressSanitizer + UndefinedBehaviorSanitizer"
}

run_tsan() {
  # The asset generators and the end-to-end harness run no threads of the
  # intro; the trees that do are the core, its unit tests and the intro with
  # the recording libraries.
  build_tree build-tsan "-fsanitize=thread" --target intro recording_sdl recording_mikmod unit_tests
  export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:log_path=$reports/tsan"
  step build-tsan/tests/unit_tests --gtest_brief=1
  # Long enough for thousands of ticks and music updates against the frames.
  SCENE_SECONDS=6 step scripts/full_run.sh build-tsan interrupt
  step scripts/full_run.sh build-tsan escape
  unset TSAN_OPTIONS
  check_no_reports "ThreadSanitizer"
}

for part in "${parts[@]}"; do
  case $part in
    asan) run_asan ;;
    tsan) run_tsan ;;
    *) echo "usage: $0 [asan|tsan]..." >&2; exit 2 ;;
  esac
done
