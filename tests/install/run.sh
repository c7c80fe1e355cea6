#!/usr/bin/env bash
# Installs webjson (shared and static) into scratch prefixes and builds consumer programs against
# each install, through the CMake package and through pkg-config. The CMake package's programs
# run with no LD_LIBRARY_PATH at all; the pkg-config ones with the prefix's lib directory alone.
# The install is configured without a build type, which must give an optimised Release build.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-$(mktemp -d)}
mkdir -p "$work"
unset LD_LIBRARY_PATH

for kind in shared static; do
  shared=ON; [ "$kind" = static ] && shared=OFF
  prefix="$work/prefix-$kind"
  cmake -S "$src" -B "$work/build-$kind" -DWEBJSON_SHARED=$shared -DWEBJSON_TESTS=OFF \
        -DWEBJSON_EXAMPLES=OFF >/dev/null
  cmake --build "$work/build-$kind" --parallel 2 >/dev/null
  cmake --install "$work/build-$kind" --prefix "$prefix" >/dev/null
  ls "$prefix"/lib*/cmake/webjson/webjsonTargets-release.cmake >/dev/null
  # The view schemas and their types, all of them.
  diff <(cd "$src/schema" && ls ./*.schema.json types/*.d.ts) \
       <(cd "$prefix/share/webjson/schema" && ls ./*.schema.json types/*.d.ts)

  echo "-- $kind: find_package(webjson), no LD_LIBRARY_PATH"
  cmake -S "$src/tests/install/consumer" -B "$work/consumer-$kind" \
        -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
  cmake --build "$work/consumer-$kind" --parallel 2 >/dev/null
  "$work/consumer-$kind/consumer" "$(cat "$work/consumer-$kind/package_version")"
  "$work/consumer-$kind/simserver_consumer"

  echo "-- $kind: pkg-config, LD_LIBRARY_PATH set to the lib directory"
  pcdir=$(dirname "$(find "$prefix" -name webjson.pc | head -n1)")
  pc() { PKG_CONFIG_PATH="$pcdir" pkg-config "$@"; }
  static_flag=""; [ "$kind" = static ] && static_flag="--static"
  # shellcheck disable=SC2046
  c++ -std=c++17 "$src/tests/install/consumer/main.cpp" -o "$work/pc-$kind" \
      $(pc --cflags --libs $static_flag webjson)
  # shellcheck disable=SC2046
  c++ -std=c++17 "$src/tests/install/consumer/simserver.cpp" -o "$work/pc-sim-$kind" \
      $(pc --cflags --libs $static_flag webjson-simserver)
  LD_LIBRARY_PATH="$(pc --variable=libdir webjson)" "$work/pc-$kind" "$(pc --modversion webjson)"
  LD_LIBRARY_PATH="$(pc --variable=libdir webjson)" "$work/pc-sim-$kind"
done
echo "-- consumer programs built and passed against both installs"
