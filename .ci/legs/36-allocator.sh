#!/usr/bin/env bash
# The node allocator, which every sanitizer and valgrind build turns off: its own tests (memory
# given back whoever frees it, foreign and over-aligned classes, threads that exit while their
# nodes live on, kept elements) in a plain Release build, then the same tests and the thread
# stress program under ThreadSanitizer with the allocator kept on, so that its atomics and locks
# are checked too. WEBJSON_TSAN_SECONDS sets the stress run (default 5).
set -euo pipefail
cd "$(dirname "$0")/../.."
export DEBIAN_FRONTEND=noninteractive
seconds=${WEBJSON_TSAN_SECONDS:-5}
start=$SECONDS
targets=(allocator_test spares_test independence_test threads_stress)

build=build/allocator
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DWEBJSON_EXAMPLES=OFF -DWEBJSON_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
for test in allocator_test spares_test independence_test; do
  (cd "$build/tests" && "./$test" --gtest_brief=1) | tail -n 1
done
"$build/stress/threads_stress" "$seconds" >/dev/null
echo "-- Release build with the allocator: passed in $((SECONDS - start)) s"

echo 'int main() { return 0; }' > "$build/probe.cpp"
if ! g++ -fsanitize=thread "$build/probe.cpp" -o "$build/probe" 2>/dev/null; then
  apt-get update -qq
  apt-get install -y -qq libtsan2 >/dev/null 2>&1 || apt-get install -y -qq libtsan0 >/dev/null
fi
run=()
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
  run=(setarch "$(uname -m)" -R)
fi
build=build/tsan-allocator
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWEBJSON_SANITIZE=thread \
      -DWEBJSON_NODE_ALLOCATOR_CHECKED=ON -DWEBJSON_EXAMPLES=OFF -DWEBJSON_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for test in allocator_test spares_test independence_test; do
  (cd "$build/tests" && "${run[@]}" "./$test" --gtest_brief=1) >"$log" 2>&1 || { cat "$log"; exit 1; }
  if grep -q ThreadSanitizer "$log"; then cat "$log"; exit 1; fi
  tail -n 1 "$log"
done
"${run[@]}" "$build/stress/threads_stress" "$seconds" >/dev/null 2>"$log" || { cat "$log"; exit 1; }
if grep -q ThreadSanitizer "$log"; then cat "$log"; exit 1; fi
cat "$log"
echo "-- allocator leg done in $((SECONDS - start)) s"
