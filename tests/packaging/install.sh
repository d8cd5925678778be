#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR, checks the layout a Linux
# desktop expects, then runs the installed program headless on a demo couple:
# an installed Vell must keep its files in the user's configuration folder.
# Usage: install.sh BUILD_FOLDER
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
id=org.vell.Vell
expected="usr/bin/vell
usr/share/applications/$id.desktop
usr/share/doc/vell/changelog.gz
usr/share/doc/vell/copyright
usr/share/icons/hicolor/128x128/apps/$id.png
usr/share/icons/hicolor/16x16/apps/$id.png
usr/share/icons/hicolor/22x22/apps/$id.png
usr/share/icons/hicolor/24x24/apps/$id.png
usr/share/icons/hicolor/256x256/apps/$id.png
usr/share/icons/hicolor/32x32/apps/$id.png
usr/share/icons/hicolor/48x48/apps/$id.png
usr/share/icons/hicolor/64x64/apps/$id.png
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/man/man1/vell.1.gz
usr/share/metainfo/$id.metainfo.xml
usr/share/vell/VellHelpENG.htm
usr/share/vell/VellHelpFRE.htm
usr/share/vell/VellHelpPOR.htm"
actual=$(cd "$root" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "installed files differ:$(diff <(echo "$expected") <(echo "$actual"))"
[ -x "$root/usr/bin/vell" ] || fail "the program is not executable"
file=$(command -v file || true)
if [ -n "$file" ]; then
    "$file" -b "$root/usr/share/icons/hicolor/48x48/apps/$id.png" | grep -q '48 x 48' || fail "48x48 icon is not 48 x 48"
fi
zcat "$root/usr/share/man/man1/vell.1.gz" | grep -q '^\.TH VELL 1' || fail "man page"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >/dev/null || fail "AppStream metadata"
fi

# The installed program, started by a user with no settings yet: its files go
# to ~/.config/Vell, nothing beside the executable (made read-only, as
# /usr/bin is to a user; root ignores that, the installed layout decides).
home="$work/home"
mkdir -p "$home" "$work/data/source/sub" "$work/data/target"
printf 'hello\n' > "$work/data/source/a.txt"
printf 'deep\n' > "$work/data/source/sub/b.txt"
chmod a-w "$root/usr/bin"
run() { env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 "$root/usr/bin/vell" "$@"; }
version=$(run --version) || fail "--version exits $?"
grep -q "^Program folder: $home/.config/Vell (installed" <<<"$version" || fail "--version says: $version"
[ -d "$home/.config/Vell" ] || fail "no ~/.config/Vell"
run --help | grep -q -- '-U' || fail "--help"

hex() { printf '%s' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -d ' \n' | tr 'a-f' 'A-F'; }
printf '"%s","%s"\r\n' "$(hex "$work/data/source")" "$(hex "$work/data/target")" > "$home/.config/Vell/Vell.w"
printf '%s\r\n' '[Configuration]' 'Automatique=1' 'ArretAutomatique=1' '[Logs]' 'Logs=1' > "$home/.config/Vell/Vell.ini"
status=0
run >"$work/stdout" 2>"$work/stderr" || status=$?
[ "$status" -eq 0 ] || fail "the run exits $status: $(cat "$work/stderr")"
[ "$(cat "$work/data/target/sub/b.txt")" = deep ] || fail "the couple was not mirrored"
ls "$home/.config/Vell/Log Vell "*.htm >/dev/null 2>&1 || fail "no day's log in ~/.config/Vell"
[ "$(ls "$root/usr/bin")" = vell ] || fail "files written beside the installed program: $(ls "$root/usr/bin")"
echo "PASS: installed layout, and an installed Vell mirrors from ~/.config/Vell"
