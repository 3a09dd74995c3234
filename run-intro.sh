#!/usr/bin/env bash
# Installs what is missing, builds, and starts the intro from the project
# directory (its data/ holds the assets and both libraries). Arguments are
# passed on: ./run-intro.sh windowed
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
scripts/setup.sh
exec ./build/intro "$@"
