#!/usr/bin/env bash
# The i386 set-up on a machine where the i386 packages cannot be installed:
# dpkg knows no i386 package and apt-get can install nothing (stand-ins
# first on PATH). The set-up must stop with status 1 and a message naming
# every missing package, and leave the x86-64 build, its data/ and any i386
# build as they were (making none).
#
# usage: setup_refusal_test.sh PROJECT_DIR NATIVE_BUILD
set -euo pipefail

project=$(realpath "$1") native=$(realpath "$2")
work=$(mktemp -d /tmp/intro-i386-refusal-XXXXXX)
trap 'rm -rf "$work"' EXIT

mkdir "$work/bin"
for tool in dpkg-query dpkg apt-get; do
  printf '#!/bin/sh\necho "%s: no i386 packages here" >&2\nexit 100\n' "$tool" >"$work/bin/$tool"
  chmod +x "$work/bin/$tool"
done
state() { stat -c '%n %Y %s' "$native/CMakeCache.txt" "$project"/data/* "$project/build-i386" 2>/dev/null | sort || true; }
before=$(state)
status=0
PATH=$work/bin:$PATH INTRO_BUILD_DIR=$native "$project/scripts/i386.sh" setup >"$work/out" 2>"$work/err" || status=$?
said=$(cat "$work/out" "$work/err")
if [[ $status != 1 || $said != *"cannot install g++-multilib libsdl1.2debian:i386 libmikmod3:i386."* ||
      $(state) != "$before" ]]; then
  printf 'wanted status 1, the missing packages named and nothing changed; got status %s, and:\n%s\n' "$status" "$said"
  exit 1
fi
echo "refused with: $said"
