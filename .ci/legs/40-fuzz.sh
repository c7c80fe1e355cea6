#!/usr/bin/env bash
# Fuzzing: each libFuzzer target (clang, AddressSanitizer and UndefinedBehaviorSanitizer) runs for
# a bounded time (WEBJSON_FUZZ_SECONDS, default 60) on a corpus made of its seeds, its past
# findings, the public JSON test corpus (tests/data/jsontestsuite) and the document the example
# program writes. Any finding fails the leg and is printed in Base64: add it as
# fuzz/regressions/<target>/<what-went-wrong>, where fuzz_replay_test runs it in every build.
set -euo pipefail
cd "$(dirname "$0")/../.."
export DEBIAN_FRONTEND=noninteractive
seconds=${WEBJSON_FUZZ_SECONDS:-60}
start=$SECONDS
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
  > "$work/probe.cpp"
if ! clang++ -fsanitize=fuzzer "$work/probe.cpp" -o "$work/probe" 2>/dev/null; then
  apt-get update -qq
  apt-get install -y -qq clang libclang-rt-dev >/dev/null
fi

build=build/fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DWEBJSON_FUZZ=ON -DWEBJSON_SHARED=OFF -DWEBJSON_TESTS=OFF -DWEBJSON_EXAMPLES=ON \
      -DWEBJSON_WERROR=ON >/dev/null
cmake --build "$build" -j2 --target fuzz_document fuzz_tokens fuzz_scene first_document >/dev/null
echo "-- fuzz targets built in $((SECONDS - start)) s"

# The example program's document, written under the sanitizers as well.
mkdir -p "$work/examples"
"$build/examples/first_document" "$work/examples/first_document.json" >/dev/null

suite=tests/data/jsontestsuite/test_parsing
[ -n "$(ls -A "$suite" 2>/dev/null)" ] || { echo "no JSON test corpus at $suite" >&2; exit 1; }

failed=0
for target in document tokens scene; do
  corpus="$work/corpus-$target"
  mkdir -p "$corpus"
  for dir in "fuzz/seeds/$target" "fuzz/regressions/$target" "$suite" "$work/examples"; do
    if [ -d "$dir" ]; then find "$dir" -maxdepth 1 -type f -exec cp {} "$corpus/" \;; fi
  done
  dict=()
  [ -f "fuzz/$target.dict" ] && dict=("-dict=fuzz/$target.dict")
  log="$work/fuzz-$target.log"
  if "$build/fuzz/fuzz_$target" "$corpus" "${dict[@]}" -max_total_time="$seconds" \
       -max_len=8192 -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
       -artifact_prefix="$work/found-$target-" >"$log" 2>&1; then
    echo "-- fuzz_$target: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" |
      grep -o '[0-9]*$') runs in ${seconds} s, nothing found"
  else
    failed=1
    echo "-- fuzz_$target FOUND A FAULT:"
    grep -E -A30 'ERROR|check failed|runtime error|deadly signal|timeout' "$log" | head -n 60
    for found in "$work"/found-"$target"-*; do
      [ -f "$found" ] || continue
      echo "input $(basename "$found") ($(stat -c %s "$found") bytes), Base64:"
      base64 -w0 "$found"
      echo
    done
  fi
done
echo "-- fuzz leg done in $((SECONDS - start)) s"
exit $failed
