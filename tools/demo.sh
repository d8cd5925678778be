#!/usr/bin/env bash
# Builds Vell and mirrors the bundled sample once, as a headless program
# folder would: demo/sample -> build/demo/target, with the day's log.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/deps.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" --target vell

demo="$here/build/demo"
mkdir -p "$demo/logs" "$demo/target"
cp "$here/build/vell" "$demo/vell"

hex() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -d ' \n' | tr 'a-f' 'A-F'; }
printf '"%s","%s"\r\n' "$(hex "$here/demo/sample")" "$(hex "$demo/target")" > "$demo/Vell.w"
printf '%s\r\n' '[Configuration]' 'Automatique=1' 'ArretAutomatique=1' 'CopierAttributs=1' \
    '[Logs]' 'Logs=1' 'FichiersLogs=1' "PathLogs=$demo/logs" '[Mirror_1]' 'Effacer=1' > "$demo/Vell.ini"

status=0
env -u DISPLAY -u WAYLAND_DISPLAY "$demo/vell" || status=$?
echo
echo "Source:      $here/demo/sample"
echo "Target:      $demo/target"
echo "Day's log:   $demo/logs/Log Vell $(date +%F).htm"
echo "Exit status: $status"
exit "$status"
