#!/usr/bin/env bash
# Builds the project and runs every test, then builds and runs them again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
top="$(cd "$(dirname "$0")" && pwd)"
jobs="$(nproc 2>/dev/null || echo 4)"

"$top/tools/setup.sh" "$top/build" -DCMAKE_BUILD_TYPE=Release
ctest --test-dir "$top/build" --output-on-failure -j "$jobs"

"$top/tools/setup.sh" "$top/build-sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUN_SANITIZE=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$top/build-sanitize" --output-on-failure -j "$jobs"
