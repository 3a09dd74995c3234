#!/usr/bin/env bash
# Set-up shared by run-intro.sh and run-tests.sh: installs the Debian packages
# that are missing (as root), then configures and builds the project. Running
# it again installs nothing and rebuilds only what changed.
#
# Usage: scripts/setup.sh [--with-test-tools | --with-capture-tools | --intro-only]
# (--intro-only builds only what a run of the intro needs: the executable, the
# assets and the library links)
set -euo pipefail

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${INTRO_BUILD_DIR:-$project_root/build}

# What building and running needs: the compiler and CMake, the media and music
# libraries (headers for types, shared objects for run time; SDL 1.2 also as
# the compatibility library over SDL 2), FreeType and a
# font package for the asset generators, GoogleTest and Google Benchmark.
packages=(g++ cmake make binutils pkg-config
          libsdl1.2debian libsdl1.2-compat libsdl1.2-dev libmikmod3 libmikmod-dev
          libfreetype-dev fonts-dejavu-core
          libgtest-dev libbenchmark-dev)
# What the tests drive the intro with: a virtual X server and X tools for the
# real window and its screenshots, tmux for the terminal run, python3 for the
# whole-system scripts, sox for the music checks, ffmpeg for the recordings,
# GNU time for the peak memory of a run (scripts/bench.sh).
test_packages=(xvfb xdotool x11-apps imagemagick tmux python3 sox valgrind clang libclang-rt-14-dev ffmpeg time)
# What record-intro.sh encodes with.
capture_packages=(ffmpeg)

targets=()
case ${1:-} in
  --with-test-tools) packages+=("${test_packages[@]}") ;;
  --with-capture-tools) packages+=("${capture_packages[@]}") ;;
  --intro-only) targets=(--target intro data_assets data_libraries) ;;
esac

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null | grep -q '^ii'; then
    missing+=("$package")
  fi
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# INTRO_SDL=compat links the compatibility library as data/sdl.library.
sdl=${INTRO_SDL:-1.2.15}
if [[ ! -f $build_dir/CMakeCache.txt ]] || ! grep -qx "INTRO_SDL:STRING=$sdl" "$build_dir/CMakeCache.txt"; then
  cmake -S "$project_root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DINTRO_SDL="$sdl"
fi
cmake --build "$build_dir" -j "$(nproc)" "${targets[@]}"
