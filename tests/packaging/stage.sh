#!/usr/bin/env bash
# Installs the build into a fresh staging folder, as a package build would.
set -euo pipefail
build=$1 stage=$2
rm -rf "$stage"
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
test -x "$stage/usr/bin/apdesk" || { echo "nothing installed under $stage/usr/bin" >&2; exit 1; }
