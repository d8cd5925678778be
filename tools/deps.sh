#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test Vell.
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-svg-dev libgl-dev rsync acl attr desktop-file-utils appstream)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
