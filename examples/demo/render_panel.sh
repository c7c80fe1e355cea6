#!/usr/bin/env bash
# Renders panel.svg to ../viewer/img/panel.png with headless Chromium (Debian's chromium).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
profile="$(mktemp -d)"
trap 'rm -rf "$profile"' EXIT
chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --user-data-dir="$profile" --hide-scrollbars \
  --window-size=640,160 --screenshot="$here/../viewer/img/panel.png" "file://$here/panel.svg"
