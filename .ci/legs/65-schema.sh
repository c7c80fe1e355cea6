#!/usr/bin/env bash
# The view vocabularies as JSON Schema (schema/): the TypeScript types kept beside them are what
# the schemas give, the viewer's JavaScript type-checks against those types, and a draft 2020-12
# validator (ajv) accepts the golden view documents of the library's tests, every document
# webjson-demo --out writes and every document and post the browser test (leg 60, which runs
# first) saw, and rejects the wrong documents of schema/check/wrong.mjs. A key the library
# renames fails here: in the golden texts, in the stale types, or in the views that read it.
set -euo pipefail
cd "$(dirname "$0")/../.."
export DEBIAN_FRONTEND=noninteractive

need=()
command -v node >/dev/null || need+=(nodejs)
command -v npm >/dev/null || need+=(npm)
command -v pkg-config >/dev/null || need+=(pkg-config)
if [ "${#need[@]}" -gt 0 ]; then
  echo "installing: ${need[*]}"
  timeout 600 apt-get update -qq
  timeout 1200 apt-get install -y -qq "${need[@]}" >/dev/null
fi

# The demo of the browser test's build (configured the same, so nothing is built again after
# leg 60); --out needs no HTTP library.
timeout 300 cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Debug -DWEBJSON_WERROR=ON \
  -DWEBJSON_TESTS=ON -DWEBJSON_EXAMPLES=ON \
  -DWEBJSON_SANITIZE=address,undefined >/dev/null
timeout 1200 cmake --build build/demo -j2 --target webjson-demo
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
timeout 60 build/demo/examples/webjson-demo --out "$out" >/dev/null

seen="$PWD/build/demo/seen"
docs=(--docs "$out" --kinds table,plot,scatter,tree,scene)
if [ -d "$seen" ]; then
  docs+=(--docs "$seen" --kinds table,plot,scatter,tree,scene,post)
elif [ "${CI:-}" = true ]; then
  echo "no $seen: the browser test (60-e2e.sh) keeps what it saw there and runs before this leg" >&2
  exit 1
else
  echo "-- no $seen: run .ci/legs/60-e2e.sh first to check what the browser test saw"
fi

cd schema
timeout 300 npm ci --no-audit --no-fund --loglevel=error
node tools/generate-types.mjs --check
npx --no-install tsc -p ../examples/viewer/tsconfig.json
echo "the views type-check against the generated types"
node tools/validate.mjs --golden ../tests/golden --wrong "${docs[@]}"
