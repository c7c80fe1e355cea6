#!/usr/bin/env bash
# The API reference: doxygen builds HTML from the public headers. Any warning fails the leg: an
# error in a comment, or a public class, function or member without documentation.
set -euo pipefail
cd "$(dirname "$0")/../.."
if ! command -v doxygen >/dev/null; then
  timeout 600 apt-get update -qq
  DEBIAN_FRONTEND=noninteractive timeout 1200 apt-get install -y -qq doxygen >/dev/null
fi
build=build/docs
rm -rf "$build/docs"
cmake -S . -B "$build" -DWEBJSON_TESTS=OFF -DWEBJSON_EXAMPLES=OFF >/dev/null
# The target prints doxygen's warnings and fails when there are any.
cmake --build "$build" --target docs
if [ -s "$build/docs/warnings.log" ]; then
  echo "doxygen warned: see $build/docs/warnings.log" >&2
  exit 1
fi
test -f "$build/docs/html/index.html"
echo "API reference: $build/docs/html/index.html"
