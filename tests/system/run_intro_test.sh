#!/usr/bin/env bash
# ./run-intro.sh on a tree that is already built: the build says nothing, so
# the intro's own output comes first and alone, and its usage line names the
# command that was typed.
#
# usage: run_intro_test.sh PROJECT_DIR BUILD_DIR
set -euo pipefail
cd "$1"
status=0
output=$(INTRO_BUILD_DIR=$2 ./run-intro.sh Windowed 2>&1) || status=$?
expected="usage: ./run-intro.sh [windowed]"
if [[ $status != 2 || $output != "$expected" ]]; then
  echo "expected exit status 2 and nothing but \"$expected\"; got status $status and:"
  printf '%s\n' "$output"
  exit 1
fi
echo "a built tree: ./run-intro.sh printed only the intro's usage line"
