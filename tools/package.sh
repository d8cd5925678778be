#!/usr/bin/env bash
# Builds Vell and its Debian package: build/vell_<version>_<arch>.deb.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/build.sh" >&2
cd "$here/build"
rm -f vell_*.deb
cpack -G DEB >/dev/null
ls "$here"/build/vell_*.deb
