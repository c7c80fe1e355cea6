#!/usr/bin/env bash
# Browser test of the demo program: builds webjson-demo (under AddressSanitizer and
# UndefinedBehaviorSanitizer, so a memory fault or leak met while serving real browser traffic
# fails the leg), runs its unit tests, then drives the viewer pages in headless Chromium with
# playwright-core. Screenshots of every view are left in build/demo/screenshots/, taken whether
# the checks pass or fail, and listed at the end of the leg either way; the documents and posts
# the pages saw are left in build/demo/seen/ for the schema leg (65-schema.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
export DEBIAN_FRONTEND=noninteractive

need=()
[ -x /usr/bin/chromium ] || need+=(chromium)
[ -f /usr/include/httplib.h ] || need+=(libcpp-httplib-dev)
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ] || need+=(fonts-dejavu-core)
command -v pkg-config >/dev/null || need+=(pkg-config)
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
if [ "${#need[@]}" -gt 0 ]; then
  echo "installing: ${need[*]}"
  timeout 600 apt-get update -qq
  timeout 1200 apt-get install -y -qq "${need[@]}" >/dev/null
fi

timeout 300 cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Debug -DWEBJSON_WERROR=ON \
  -DWEBJSON_TESTS=ON -DWEBJSON_EXAMPLES=ON \
  -DWEBJSON_SANITIZE=address,undefined >/dev/null
timeout 1200 cmake --build build/demo -j2 --target webjson-demo demo_device_test
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
timeout 300 ctest --test-dir build/demo -R '^DemoDevice\.' --output-on-failure --no-tests=error

# The documents written as files must be complete JSON texts.
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
timeout 60 build/demo/examples/webjson-demo --out "$out" >/dev/null
for name in table plot scatter tree scene; do
  node -e 'JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"))' "$out/$name.json"
done

shots="$PWD/build/demo/screenshots"
rm -rf "$shots"
trap 'rm -rf "$out"; echo "screenshots kept in $shots:"; ls "$shots" 2>/dev/null || true' EXIT
cd examples/e2e
timeout 300 npm ci --no-audit --no-fund --loglevel=error
WEBJSON_DEMO="$PWD/../../build/demo/examples/webjson-demo" WEBJSON_SCREENSHOTS="$shots" \
  WEBJSON_SEEN="$PWD/../../build/demo/seen" \
  timeout 600 node --test --test-concurrency=1 --test-timeout=540000 views.test.mjs
