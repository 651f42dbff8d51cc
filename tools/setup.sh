#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: install missing Debian packages, then configure and
# build one build tree.  Usage: tools/setup.sh <build-dir> [extra cmake arguments...]
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
packages=(cmake make g++ libgtest-dev libgmock-dev liblapack-dev libblas-dev libamplsolver-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y "${missing[@]}" || { apt-get update && apt-get install -y "${missing[@]}"; }
  else
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
fi

build="$1"; shift
jobs="$(nproc 2>/dev/null || echo 4)"
cmake -S "$top" -B "$build" "$@" >/dev/null
cmake --build "$build" -j "$jobs"
