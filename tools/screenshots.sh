#!/usr/bin/env bash
# Starts the real program under Xvfb with a demo program folder (couples that
# show every colour and mark) and saves pictures of the window in the three
# languages, during a run, and of every dialog under docs/screenshots/.
# An optional pattern takes only the pictures whose names match it.
set -euo pipefail
only=${1:-*}
here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/docs/screenshots"
bash "$here/tools/deps.sh"
need=()
for p in xvfb xauth xdotool imagemagick fonts-dejavu-core; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
    sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}" >/dev/null
fi
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" --target vell >/dev/null
mkdir -p "$out"

work=/tmp/vell-demo; rm -rf "$work"; mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"; printf '#!/bin/sh\nexit 0\n' > "$work/bin/xdg-open"; chmod +x "$work/bin/xdg-open"
hex() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -d ' \n' | tr 'a-f' 'A-F'; }

# A program folder with five couples: plain, moved, removing and newer-only
# with its own delay, a missing source, and one without a target.
demo() {
    local folder=$1 langue=$2
    rm -rf "$folder"; mkdir -p "$folder"
    cp "$here/build/vell" "$folder/vell"
    local data="$work/data"
    mkdir -p "$data/Documents" "$data/Photos/2026" "$data/Projects" "$data/backup/Documents" "$data/backup/Photos" \
             "$data/backup/Projects"
    for i in 1 2 3 4 5 6; do printf 'report %s\n' "$i" > "$data/Documents/report-$i.txt"; done
    head -c 150000 /dev/zero > "$data/Documents/scan.pdf"
    printf '"%s","%s"\r\n' "$(hex "$data/Documents")" "$(hex "$data/backup/Documents")" > "$folder/Vell.w"
    printf '"%s","%s"\r\n' "$(hex "$data/Photos")" "$(hex "$data/backup/Photos")" >> "$folder/Vell.w"
    printf '"%s","%s"\r\n' "$(hex "$data/Projects")" "$(hex "$data/backup/Projects")" >> "$folder/Vell.w"
    printf '"%s","%s"\r\n' "$(hex "/media/usb-disk/Music")" "$(hex "$data/backup/Music")" >> "$folder/Vell.w"
    printf '"%s",""\r\n' "$(hex "$data/Projects")" >> "$folder/Vell.w"
    printf '%s\r\n' 'TEXTttxt,txt,Text' '8BPS8BIM,psd,Photoshop document' 'XDOCXPR3,qxd,QuarkXPress document' \
        'MOOVTVOD,mov,QuickTime movie' > "$folder/Signatures.txt"
    printf '%s\r\n' '[Configuration]' "Langue=$langue" 'AfficherFichiers=0' 'CopierAttributs=1' \
        '[Mirror_2]' 'Deplacer=1' '[Mirror_3]' 'NbTemporisations=360' 'Effacer=1' 'Nouveau=1' > "$folder/Vell.ini"
}

shoot() { # name, program folder, [what to do before the picture]
    local name=$1 folder=$2 action=${3:-}
    [[ $name == $only ]] || return 0
    (
        export DISPLAY=:97
        Xvfb :97 -screen 0 1280x900x24 >/dev/null 2>&1 &
        xvfb=$!
        sleep 1
        # No desktop here to open a log with: a viewer that accepts it quietly.
        PATH="$work/bin:$PATH" "$folder/vell" >/dev/null 2>&1 &
        vell=$!
        sleep 2
        [ -n "$action" ] && eval "$action"
        import -window root -crop 1280x900+0+0 "$work/$name-full.png"
        # Vell first, and its end awaited: a display that went first would
        # end it with an X error instead.
        kill "$vell" 2>/dev/null || true
        wait "$vell" 2>/dev/null || true
        kill "$xvfb" 2>/dev/null || true
        wait 2>/dev/null || true
    )
    # Keep the part of the screen the windows cover.
    convert "$work/$name-full.png" -trim +repage "$out/$name.png"
    echo "$out/$name.png"
}

for lang in en:3 fr:1 pt:2; do
    demo "$work/prog-${lang%%:*}" "${lang##*:}"
    shoot "main-${lang%%:*}" "$work/prog-${lang%%:*}"
done

# The modes dialog: a click on the delay picture of the third couple.
demo "$work/prog-modes" 3
shoot "frmSetMode" "$work/prog-modes" \
    'id=$(xdotool search --name "^Vell " | head -1); xdotool windowmove "$id" 0 0; sleep 0.5;
     eval "$(xdotool getwindowgeometry --shell "$id")";
     xdotool mousemove $((WIDTH / 2)) 190 click 1; sleep 0.3; xdotool mousemove $((WIDTH / 2)) 215 click 1; sleep 1'

# The dialogs, each opened from its menu by the keyboard as a person would:
# the File menu, then Left round to the menu that holds the item (Right would
# open a first item's submenu), Down to the item.
# The picture is of the top-most window, the dialog.
menu_item() { # menus to the left of File, items down from the first
    local left=$1 down=$2
    echo 'id=$(xdotool search --name "^Vell " | head -1); xdotool windowfocus --sync "$id"; xdotool key alt+f;
          sleep 0.3; for i in $(seq 1 '"$left"'); do xdotool key Left; done; sleep 0.3;
          for i in $(seq 1 '"$down"'); do xdotool key Down; done; sleep 0.2; xdotool key Return; sleep 1.2;
          top=$(xwininfo -root -children | grep -E "^ +0x[0-9a-f]+ \"" | grep -v -E "\"vell\": |Qt Selection Owner" |
                head -1 | awk "{print \$1}");
          import -window "$top" "$work/$name-dialog.png"'
}
shoot_dialog() { # name, language, menus left, items down
    local name=$1 langue=$2
    [[ $name == $only ]] || return 0
    demo "$work/prog-$name" "$langue"
    for day in 01 02 03 04 05 06 07; do
        printf '<html><body>Vell</body></html>\r\n' > "$work/prog-$name/Log Vell 2026-12-$day.htm"
    done
    shoot "$name" "$work/prog-$name" "$(menu_item "$3" "$4")"
    cp "$work/$name-dialog.png" "$out/$name.png"
}
# Configuration is four menus left of File, Logs three; Down skips separators.
shoot_dialog frmTempo 3 4 4
shoot_dialog frmPerformance 3 4 5
shoot_dialog frmPrefixeCible 3 4 6
shoot_dialog frmAvertirDossierErr 3 4 7
shoot_dialog frmAdminService 3 4 11
shoot_dialog frmGestionSignatures 3 4 12
shoot_dialog frmPathLogs 3 3 0
shoot_dialog frmVoirLogs 3 3 1
shoot_dialog frmPurgeLogs 3 3 2
shoot_dialog frmAdminService-fr 1 4 11
shoot_dialog frmGestionSignatures-fr 1 4 12

# During a run: a big first copy, the picture taken while it goes on.
demo "$work/prog-run" 3
mkdir -p "$work/data/Photos/2026/big"
for i in $(seq 1 4000); do printf 'photo %s\n' "$i" > "$work/data/Photos/2026/big/img-$i.jpg"; done
shoot "main-running" "$work/prog-run" \
    'id=$(xdotool search --name "^Vell " | head -1); xdotool windowactivate --sync "$id" 2>/dev/null || true;
     xdotool windowfocus --sync "$id"; xdotool key alt+f; sleep 0.3; xdotool key s; sleep 0.6'
