#!/usr/bin/env bash
# The unit tests under valgrind memcheck, each test program once: no invalid access, no use of
# uninitialised memory, and no block left at exit, reachable ones included, so that a class-wide
# prototype still held after the last array of its type is gone fails too. Nodes come from the
# global operator new here (the node allocator off), so memcheck sees each one.
set -euo pipefail
cd "$(dirname "$0")/../.."
export DEBIAN_FRONTEND=noninteractive
start=$SECONDS
command -v valgrind >/dev/null || { apt-get update -qq && apt-get install -y -qq valgrind >/dev/null; }

build=$PWD/build/valgrind
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DWEBJSON_EXAMPLES=OFF -DWEBJSON_WERROR=ON \
      -DWEBJSON_NODE_ALLOCATOR=OFF \
      >/dev/null
cmake --build "$build" -j2 >/dev/null
echo "-- built in $((SECONDS - start)) s"

failed=0
log=$(mktemp)
for test in $(find "$build/tests" -maxdepth 1 -type f -executable -name '*_test' | sort); do
  if (cd "$build/tests" && valgrind -q --error-exitcode=99 --leak-check=full \
        --show-leak-kinds=all --errors-for-leak-kinds=all "$test") >"$log" 2>&1; then
    echo "-- $(basename "$test"): clean, $(grep -E '^\[  PASSED  \]' "$log")"
  else
    failed=1
    echo "-- $(basename "$test") FAILED under valgrind:"
    grep -v '^Format Document failed$' "$log" | grep -E -A25 '^==[0-9]+==|FAILED' | head -n 80
  fi
done
echo "-- valgrind leg done in $((SECONDS - start)) s"
exit $failed
