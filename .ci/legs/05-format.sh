#!/usr/bin/env bash
# Formatting: every C/C++ file the project tracks must be as clang-format (.clang-format) leaves it.
set -euo pipefail
cd "$(dirname "$0")/../.."
if ! command -v clang-format >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang-format >/dev/null
fi
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "-- $(git ls-files -- '*.cpp' '*.h' | wc -l) files formatted as clang-format leaves them"
