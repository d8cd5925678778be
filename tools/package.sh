#!/usr/bin/env bash
# Builds Vell and its Debian package: build/vell_<version>_<arch>.deb.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/deps.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build"
cd "$here/build"
rm -f vell_*.deb
cpack -G DEB >/dev/null
ls "$here"/build/vell_*.deb
