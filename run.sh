#!/usr/bin/env bash
# Sets up and builds the project as test.sh does, then runs spnlp on the given stub with its
# keyword assignments, or on the bundled example problem when no stub is given.
# Usage: ./run.sh [stub [keyword=value ...]]
set -euo pipefail
top="$(cd "$(dirname "$0")" && pwd)"

"$top/tools/setup.sh" "$top/build" -DCMAKE_BUILD_TYPE=Release >&2

if [ "$#" -eq 0 ]; then
  set -- "$top/examples/hs071"
fi
exec "$top/build/drivers/spnlp/spnlp" "$@"
