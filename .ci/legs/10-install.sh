#!/usr/bin/env bash
# The installed package works for a program outside the project (CMake package and pkg-config,
# shared and static builds).
set -euo pipefail
command -v pkg-config >/dev/null || { apt-get update -qq && apt-get install -y -qq pkg-config >/dev/null; }
bash "$(dirname "$0")/../../tests/install/run.sh" "$(mktemp -d)"
