#!/usr/bin/env bash
# Builds the benchmark in an optimised build folder and runs it; the comparison table is the
# last part of the output. Usage: bench/run.sh [BUILD_DIR] [--quick] [--reps=N] [--filter=TEXT]
# [--table-rows=N]
# Installs its three Debian packages when they are missing and the user is root.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$source_dir/build/bench"
if [[ $# -gt 0 && "$1" != --* ]]; then
  build_dir="$1"
  shift
fi

packages=(libbenchmark-dev rapidjson-dev nlohmann-json3-dev)
missing=()
for p in "${packages[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if [[ ${#missing[@]} -gt 0 ]]; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "missing packages: ${missing[*]}" >&2
    exit 1
  fi
  apt-get update -qq && apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DWEBJSON_BENCH=ON \
  -DWEBJSON_TESTS=OFF -DWEBJSON_EXAMPLES=OFF >/dev/null
cmake --build "$build_dir" --target webjson-bench -j2 >/dev/null
exec "$build_dir/bench/webjson-bench" "$@"
