#!/usr/bin/env bash
# Installs what is missing, builds what the intro needs (the executable, its
# assets and the library links in data/) and starts it from the project
# directory. Arguments are passed on: ./run-intro.sh windowed
# INTRO_SDL=compat links SDL 1.2 over SDL 2 instead of SDL 1.2.15, and
# INTRO_ARCH=i386 runs the 32-bit build (scripts/i386.sh).
#
# The build says in one line that it is working when it has something to do,
# and shows its output only when it fails; when everything is built, nothing
# is printed before the intro starts.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
build_dir=${INTRO_BUILD_DIR:-$PWD/build}
build_log=$(mktemp)

# Keeps the set-up's output in the log. The set-up's own line about packages
# being installed is passed on; any other line that is not an up-to-date
# target means the build has work to do, which is said once.
announce_work() {
  local line announced=false
  while IFS= read -r line; do
    printf '%s\n' "$line" >>"$build_log"
    case $line in
      Installing:*) printf '%s\n' "$line" >&2 ;;
      *"Built target "* | "ninja: no work to do.") ;;
      *) if ! $announced; then
           echo "Building the intro ..." >&2
           announced=true
         fi ;;
    esac
  done
}

if ! INTRO_BUILD_DIR=$build_dir scripts/setup.sh --intro-only 2>&1 | announce_work; then
  echo "The build failed:" >&2
  cat "$build_log" >&2
  rm -f "$build_log"
  exit 1
fi
rm -f "$build_log"
[[ ${INTRO_ARCH:-x86_64} == x86_64 ]] || exec scripts/i386.sh run "$0" "$@"
# The intro's usage line names the command the user typed.
exec -a "$0" "$build_dir/intro" "$@"
