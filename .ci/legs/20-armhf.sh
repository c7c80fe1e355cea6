#!/usr/bin/env bash
# The device's build: the library, examples and every test program cross-built for 32-bit ARM
# (armhf), the whole suite run under qemu-user, then an install into a scratch sysroot and a
# program outside the project cross-built against it and run. Prints the stripped size of the
# library.
set -euo pipefail
cd "$(dirname "$0")/../.."
export DEBIAN_FRONTEND=noninteractive
start=$SECONDS

if ! command -v arm-linux-gnueabihf-g++ >/dev/null || ! command -v qemu-arm >/dev/null ||
   ! [ -f /usr/src/googletest/CMakeLists.txt ]; then
  apt-get update -qq
  apt-get install -y -qq crossbuild-essential-armhf qemu-user googletest >/dev/null
fi

toolchain=$PWD/cmake/arm-linux-gnueabihf.cmake
build=build/armhf
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX=/usr -DWEBJSON_WERROR=ON >/dev/null
cmake --build "$build" -j2 >/dev/null
echo "-- built for armhf in $((SECONDS - start)) s"
ctest --test-dir "$build" -j2 --output-on-failure --no-tests=error | tail -n 3

sysroot=$(mktemp -d)
DESTDIR="$sysroot" cmake --install "$build" --strip >/dev/null
lib=$(find "$sysroot" -name 'libwebjson.so.*.*.*' | head -n1)
arm-linux-gnueabihf-readelf -h "$lib" | grep -q 'Machine: *ARM$' || { echo "not ARM: $lib"; exit 1; }
echo "-- stripped $(basename "$lib") for armhf: $(stat -c %s "$lib") bytes"

cmake -S tests/install/consumer -B "$build-consumer" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_FIND_ROOT_PATH="$sysroot" >/dev/null
cmake --build "$build-consumer" >/dev/null
qemu-arm -L /usr/arm-linux-gnueabihf -E LD_LIBRARY_PATH="$(dirname "$lib")" \
         "$build-consumer/consumer"
echo "-- armhf leg done in $((SECONDS - start)) s"
