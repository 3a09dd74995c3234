#!/usr/bin/env bash
# The 32-bit i386 build of the intro, in build-i386/ beside the x86-64 build
# (which must be built first: the i386 build takes its generated assets). Its
# own build-i386/data/ holds those assets and the i386 libraries, so the two
# builds' libraries never mix. Installs what is missing for it (Debian
# multiarch, as root): the multilib compiler, the i386 SDL 1.2 and libmikmod,
# and qemu-user where this kernel cannot run i386 programs itself.
#
# usage: scripts/i386.sh setup                  install, configure and build the intro
#        scripts/i386.sh run NAME [ARGUMENTS]   the same, quietly, then run it as NAME
#                                               (the name its usage line shows)
#        scripts/i386.sh test                   build it and its tests, and run the tests
#
# INTRO_SDL=compat links the compatibility library over SDL 2 as data/sdl.library.
set -euo pipefail

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native_build=${INTRO_BUILD_DIR:-$project_root/build}
build_dir=$project_root/build-i386
sdl=${INTRO_SDL:-1.2.15}

packages=(g++-multilib libsdl1.2debian:i386 libmikmod3:i386)
if [[ $sdl == compat ]]; then packages+=(libsdl1.2-compat:i386); fi

missing_packages() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null | grep -q '^ii' || echo "$package"
  done
}

# Installs the packages named that are missing; stops, naming what is still
# missing, when they cannot be installed. Nothing of the x86-64 build changes.
install_packages() {
  local missing
  missing=$(missing_packages "$@")
  [[ -z $missing ]] && return 0
  # On standard error: the emulator's path is this script's only output.
  echo "Installing for the i386 build: $missing" >&2
  export DEBIAN_FRONTEND=noninteractive
  { dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386; } >&2 &&
    apt-get update -qq >&2 && apt-get install -y -qq --no-install-recommends $missing >&2 || true
  missing=$(missing_packages "$@")
  if [[ -n $missing ]]; then
    echo "i386 set-up: cannot install $(echo $missing). The i386 build needs them (as root:" \
         "dpkg --add-architecture i386; apt-get update; apt-get install $(echo $missing))." \
         "The x86-64 build is left as it was." >&2
    exit 1
  fi
}

# Prints the emulator that runs i386 programs here (installing it), or
# nothing when the kernel runs them itself: a tiny i386 program is built and
# tried.
i386_emulator() {
  local probe
  probe=$(mktemp -d)
  echo 'int main(void) { return 0; }' >"$probe/probe.c"
  gcc -m32 "$probe/probe.c" -o "$probe/probe"
  if ! "$probe/probe" 2>/dev/null; then
    install_packages qemu-user
    command -v qemu-i386
  fi
  rm -rf "$probe"
}

configure() {
  if [[ ! -f $native_build/CMakeCache.txt ]]; then
    echo "i386 set-up: build the x86-64 build first (scripts/setup.sh): its assets are shared" >&2
    exit 1
  fi
  install_packages "${packages[@]}"
  local emulator
  emulator=$(i386_emulator)
  # Line tables only: they give a crash its lines, and the tree builds in two
  # thirds of the time that full debugging information takes.
  cmake -S "$project_root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
        -DCMAKE_TOOLCHAIN_FILE="$project_root/cmake/i386-linux-gnu.cmake" \
        -DINTRO_NATIVE_BUILD="$native_build" -DINTRO_SDL="$sdl" \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" >/dev/null
}

build() {
  cmake --build "$build_dir" -j "$(nproc)" --target intro data_libraries data_assets "$@"
}

case ${1:-} in
  setup)
    configure
    build
    ;;
  run)
    name=${2:-intro}
    shift $(($# < 2 ? $# : 2))
    if [[ ${INTRO_ARCH:-i386} != i386 ]]; then
      echo "INTRO_ARCH=$INTRO_ARCH: the builds are x86_64 (the default) and i386" >&2
      exit 2
    fi
    configure
    # Quiet, as the x86-64 build is for a run: one line before the first
    # build, the output only when it fails.
    [[ -x $build_dir/intro ]] || echo "Building the i386 intro ..." >&2
    build_log=$(mktemp)
    if ! build >"$build_log" 2>&1; then
      echo "The i386 build failed:" >&2
      cat "$build_log" >&2
      rm -f "$build_log"
      exit 1
    fi
    rm -f "$build_log"
    emulator=$(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
    # The intro finds its libraries under PWD, its assets under the working directory.
    cd "$build_dir"
    [[ -z $emulator ]] || exec "$emulator" -0 "$name" ./intro "$@"
    exec -a "$name" ./intro "$@"
    ;;
  test)
    configure
    build unit_tests e2e_tests draw_frames recording_sdl recording_mikmod
    # The draw_frames of the x86-64 build, whose frames are the reference.
    cmake --build "$native_build" -j "$(nproc)" --target draw_frames recording_sdl recording_mikmod
    # What proves this build: the unit tests (the fast paths against the
    # literal references, on both paths), the end-to-end runs, and its frames
    # against x86-64's. The i386 build registers no asset or system tests;
    # the interrupt stress runs stay with the x86-64 build.
    ctest --test-dir "$build_dir" --output-on-failure -j 2 -LE stress -E '^stress_tests'
    ;;
  *)
    echo "usage: scripts/i386.sh setup | run NAME [ARGUMENTS] | test" >&2
    exit 2
    ;;
esac
