#!/usr/bin/env bash
# Installs webjson (shared and static) into scratch prefixes and builds a consumer program
# against each install, through the CMake package and through pkg-config.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-$(mktemp -d)}
mkdir -p "$work"

for kind in shared static; do
  shared=ON; [ "$kind" = static ] && shared=OFF
  cmake -S "$src" -B "$work/build-$kind" -DWEBJSON_SHARED=$shared -DWEBJSON_TESTS=OFF \
        -DWEBJSON_EXAMPLES=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$work/build-$kind" -j2 >/dev/null
  cmake --install "$work/build-$kind" --prefix "$work/prefix-$kind" >/dev/null

  echo "-- $kind: find_package(webjson)"
  cmake -S "$src/tests/install/consumer" -B "$work/consumer-$kind" \
        -DCMAKE_PREFIX_PATH="$work/prefix-$kind" >/dev/null
  cmake --build "$work/consumer-$kind" >/dev/null
  LD_LIBRARY_PATH="$work/prefix-$kind/lib" "$work/consumer-$kind/consumer"

  echo "-- $kind: pkg-config webjson"
  pcdir=$(dirname "$(find "$work/prefix-$kind" -name webjson.pc | head -n1)")
  static_flag=""; [ "$kind" = static ] && static_flag="--static"
  # shellcheck disable=SC2046
  c++ -std=c++17 "$src/tests/install/consumer/main.cpp" -o "$work/pc-$kind" \
      $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs $static_flag webjson)
  LD_LIBRARY_PATH="$work/prefix-$kind/lib" "$work/pc-$kind"
done
echo "-- consumer programs built and passed against both installs"
