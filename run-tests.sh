#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the CTest suite, the
# i386 build's tests, then the same suite and whole runs under the sanitizers,
# the fuzz targets for a bounded time, and valgrind over a whole run.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/setup.sh --with-test-tools
ctest --test-dir build --output-on-failure -j 2
scripts/i386.sh test
scripts/sanitize.sh
scripts/fuzz.sh
scripts/memcheck.sh
