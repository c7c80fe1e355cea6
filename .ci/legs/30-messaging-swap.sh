#!/usr/bin/env bash
# The messaging library can be swapped for a device's: a copy of the stand-in, built on its own
# under another name and installed outside the tree, is given to the build as if it were the
# device's library. The library, simulated server and tests must build and pass against it, no
# stand-in may be built, and the installed package must carry the device's library to programs
# (CMake package and pkg-config), the simulated server included.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command -v pkg-config >/dev/null || { apt-get update -qq && apt-get install -y -qq pkg-config >/dev/null; }
run() { timeout 900 "$@"; }

echo "-- the 'device' library: the stand-in built alone as libqmdevice, installed elsewhere"
run cmake -S "$src/platform" -B "$work/device-build" -DQMMB_NAME=qmdevice \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
run cmake --build "$work/device-build" -j2 >/dev/null
run cmake --install "$work/device-build" --prefix "$work/device" >/dev/null
devlib=$(find "$work/device" -name 'libqmdevice.so' | head -n1)
test -f "$work/device/include/qm_mailbox.h" && test -n "$devlib"

echo "-- webjson against it"
run cmake -S "$src" -B "$work/build" -DWEBJSON_MESSAGING=device \
      -DWEBJSON_MESSAGING_INCLUDE_DIR="$work/device/include" -DWEBJSON_MESSAGING_LIBRARY="$devlib" \
      -DWEBJSON_WERROR=ON -DWEBJSON_EXAMPLES=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
run cmake --build "$work/build" -j2 >/dev/null
if find "$work/build" -name 'libqmmb*' | grep -q .; then
  echo "the stand-in was built although the device's library was selected" >&2; exit 1
fi
readelf -d "$work/build/libwebjson.so" | grep -q 'NEEDED.*libqmdevice\.so' ||
  { echo "libwebjson is not linked with the device's library" >&2; exit 1; }
run ctest --test-dir "$work/build" -j2 --output-on-failure --timeout 300 >"$work/ctest.log" ||
  { tail -n 60 "$work/ctest.log"; exit 1; }
tail -n 3 "$work/ctest.log"

echo "-- installed package: a program with the simulated server"
run cmake --install "$work/build" --prefix "$work/prefix" >/dev/null
mkdir -p "$work/consumer"
cat >"$work/consumer/main.cpp" <<'CPP'
// Writes and reads a parameter against the simulated server through the installed package.
#include <webjson/qm_simserver.h>
#include <webjson/webjson.h>

#include <iostream>
#include <sstream>

int main() {
    QmSimServer server;
    server.DefineWord({0x100, 0x2A, {0, 0, 0, 0}}, QMSIM_INT, 7);
    QmMbAgent::m_svr = &server;
    JsonSchemaParam node(PARAM_INT, 0x100, 0x2A, idx_t{0, 0, 0, 0}, nullptr, 0);
    std::ostringstream out;
    DocumentAPI::JsonDocumentAPI::JsonWriteDocument writer(out);
    if (!node.Compile(writer, false) || out.str() != "7") return 1;
    std::istringstream in("8 ");
    DocumentAPI::JsonDocumentAPI::JsonReadDocument reader(in);
    QmSimParam param{};
    if (!node.Format(reader, false) || !server.Find({0x100, 0x2A, {0, 0, 0, 0}}, param)) return 2;
    std::cout << "parameter read " << out.str() << ", set to " << param.word << "\n";
    return param.word == 8 && server.Log().size() == 2 ? 0 : 3;
}
CPP
cat >"$work/consumer/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(simserver_consumer LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 17)
find_package(webjson 2 CONFIG REQUIRED)
add_executable(consumer main.cpp)
target_link_libraries(consumer PRIVATE webjson::webjson webjson::simserver)
CMAKE
run cmake -S "$work/consumer" -B "$work/consumer-build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
run cmake --build "$work/consumer-build" >/dev/null
readelf -d "$work/consumer-build/consumer" | grep -q 'NEEDED.*libqmdevice\.so'
run "$work/consumer-build/consumer"

echo "-- installed package: pkg-config"
pcdir=$(dirname "$(find "$work/prefix" -name webjson.pc | head -n1)")
# shellcheck disable=SC2046
c++ -std=c++17 "$src/tests/install/consumer/main.cpp" -o "$work/pc-consumer" \
    -I"$work/device/include" $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs webjson)
LD_LIBRARY_PATH="$work/prefix/lib:$(dirname "$devlib")" run "$work/pc-consumer" >/dev/null
echo "-- the device's messaging library was used throughout"
