#!/usr/bin/env bash
# Sets up and builds the project as test.sh does, then runs one of the two solvers on the given
# stub with its keyword assignments, or on the bundled example problem when no stub is given.
# Usage: ./run.sh [spnlp|dnnlp] [stub [keyword=value ...]]
# The solver is spnlp unless the first argument names the other one or SOLVER=dnnlp is set.
set -euo pipefail
top="$(cd "$(dirname "$0")" && pwd)"

solver="${SOLVER:-spnlp}"
if [ "$#" -gt 0 ] && { [ "$1" = spnlp ] || [ "$1" = dnnlp ]; }; then
  solver="$1"
  shift
fi
case "$solver" in
  spnlp | dnnlp) ;;
  *)
    echo "run.sh: unknown solver '$solver' (spnlp or dnnlp)" >&2
    exit 2
    ;;
esac

"$top/tools/setup.sh" "$top/build" -DCMAKE_BUILD_TYPE=Release >&2

if [ "$#" -eq 0 ]; then
  set -- "$top/examples/hs071"
fi
exec "$top/build/drivers/$solver/$solver" "$@"
