#!/usr/bin/env bash
# Refreshes the vendored table library from the npm registry at the pinned version.
# Only the minified script, its stylesheet and the licence are kept, so the viewer works from a
# fresh clone without any install step. Run from anywhere; needs npm.
set -euo pipefail
DT_VERSION=3.1.2
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cd "$work"
npm pack --silent "datatables.net@$DT_VERSION" "datatables.net-dt@$DT_VERSION" >/dev/null
mkdir core style
tar xzf "datatables.net-$DT_VERSION.tgz" -C core
tar xzf "datatables.net-dt-$DT_VERSION.tgz" -C style

cp core/package/js/dataTables.min.js "$here/dataTables.min.js"
cp style/package/css/dataTables.dataTables.min.css "$here/dataTables.dataTables.min.css"
cp core/package/License.txt "$here/dataTables.LICENSE.txt"
echo "datatables.net $DT_VERSION, datatables.net-dt $DT_VERSION (MIT)" >"$here/VERSIONS"
echo "vendored table library $DT_VERSION into $here"
