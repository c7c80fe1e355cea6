#!/usr/bin/env bash
# Threads: the stress program (every thread builds, writes, reads and destroys documents of its
# own, the scene's posts going to the simulated control server) and the independence tests under
# ThreadSanitizer. Any report fails the leg. WEBJSON_TSAN_SECONDS sets the run (default 5).
set -euo pipefail
cd "$(dirname "$0")/../.."
export DEBIAN_FRONTEND=noninteractive
seconds=${WEBJSON_TSAN_SECONDS:-5}
start=$SECONDS
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo 'int main() { return 0; }' > "$work/probe.cpp"
if ! g++ -fsanitize=thread "$work/probe.cpp" -o "$work/probe" 2>/dev/null; then
  apt-get update -qq
  apt-get install -y -qq "libtsan2" >/dev/null 2>&1 || apt-get install -y -qq libtsan0 >/dev/null
fi
# The runtime refuses address layouts with too much randomisation on some kernels.
run=()
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
  run=(setarch "$(uname -m)" -R)
fi

cmake --preset tsan >/dev/null
cmake --build --preset tsan >/dev/null
echo "-- built in $((SECONDS - start)) s"

export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1"
# The service tree's refused reads print their failure line on the standard output.
"${run[@]}" build/tsan/stress/threads_stress "$seconds" >/dev/null 2>"$work/stress.log" || {
  cat "$work/stress.log"; exit 1; }
cat "$work/stress.log"
if grep -q "ThreadSanitizer" "$work/stress.log"; then exit 1; fi
(cd build/tsan/tests && "${run[@]}" ./independence_test --gtest_brief=1) >"$work/unit.log" 2>&1 || {
  cat "$work/unit.log"; exit 1; }
if grep -q "ThreadSanitizer" "$work/unit.log"; then cat "$work/unit.log"; exit 1; fi
echo "-- no ThreadSanitizer report; tsan leg done in $((SECONDS - start)) s"
