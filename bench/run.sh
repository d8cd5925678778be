#!/usr/bin/env bash
# Times Vell's mirror (vellbench, pumping host, obsolete removal on) against
# `rsync -a --delete` and `cp -a` on a generated tree, with a warm page
# cache (warmed again before each run): (a) initial mirror into an empty
# target, (b) nothing changed, (c) 1 % of the files modified and 1 %
# deleted, (d) a few 50 MiB files.
# Prints each median and the ratios rsync/vell and cp/vell.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "$0")/.." && pwd)
files=100000
folders=5000
reps=5
bigCount=4
bigMiB=50
seed=1
out="$here/bench-out"
build="$here/build-bench"
doBuild=1
cpAll=0

usage() {
    cat <<EOF
Usage: bench/run.sh [options]
  --small          10,000 files in 500 folders instead of 100,000 in 5,000
  --files N        files of the tree (default $files)
  --folders N      folders of the tree (default $folders)
  --reps N         timed repetitions of each run, median reported (default $reps)
  --big N          number of 50 MiB files of run (d) (default $bigCount, 0 skips)
  --big-mib M      size of each big file in MiB (default $bigMiB)
  --seed N         seed of the generated data (default $seed)
  --out DIR        work folder (default $out)
  --build DIR      build folder of vellbench (default $build)
  --no-build       use the vellbench already built there
  --cp-all         time cp -a in (b) and (c) too (it copies every file again,
                   and ext4 flushes each file it truncates: slow)
EOF
}

while [ $# -gt 0 ]; do
    case "$1" in
    --small) files=10000; folders=500 ;;
    --files) files=$2; shift ;;
    --folders) folders=$2; shift ;;
    --reps) reps=$2; shift ;;
    --big) bigCount=$2; shift ;;
    --big-mib) bigMiB=$2; shift ;;
    --seed) seed=$2; shift ;;
    --out) out=$2; shift ;;
    --build) build=$2; shift ;;
    --no-build) doBuild=0 ;;
    --cp-all) cpAll=1 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
    esac
    shift
done

vellbench="$build/bench/vellbench"
if [ "$doBuild" = 1 ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    ninja -C "$build" -j2 vellbench >/dev/null
fi
[ -x "$vellbench" ] || { echo "run.sh: $vellbench is missing" >&2; exit 1; }
command -v rsync >/dev/null || { echo "run.sh: rsync is missing (tools/deps.sh installs it)" >&2; exit 1; }

mkdir -p "$out"
tree="$out/tree-$files-$folders-s$seed"
source="$tree/source"
changed="$tree/changed"
bigSource="$out/big-$bigCount-${bigMiB}m-s$seed"
targets="$out/targets"
trash="$out/trash"
logs="$out/logs-$files-$folders-s$seed"
mkdir -p "$logs"

say() { printf '%s\n' "$*"; }
loadavg() { cut -d' ' -f1-3 /proc/loadavg; }

# The trees are made once per shape and seed; a stamp marks a finished one.
if [ ! -e "$tree/.done" ]; then
    say "generating $files files in $folders folders (seed $seed) under $tree"
    rm -rf "$tree"
    mkdir -p "$tree"
    "$vellbench" --generate "$source" --files "$files" --folders "$folders" --depth 8 --seed "$seed"
    cp -a "$source" "$changed"
    "$vellbench" --mutate "$changed" --modify-percent 1 --delete-percent 1 --seed "$((seed + 1))"
    touch "$tree/.done"
fi
if [ "$bigCount" -gt 0 ] && [ ! -e "$bigSource/.done" ]; then
    say "generating $bigCount files of $bigMiB MiB under $bigSource"
    rm -rf "$bigSource"
    "$vellbench" --big "$bigSource" --files "$bigCount" --size-mib "$bigMiB" --seed "$seed"
    touch "$bigSource/.done"
fi

# The tools, each run as SOURCE TARGET.
run_vell() { "$vellbench" --remove --pump "$1" "$2"; }
run_vellnopump() { "$vellbench" --remove --no-pump "$1" "$2"; }
run_rsync() { rsync -a --delete "$1/" "$2/"; }
run_cp() { cp -a "$1/." "$2/"; }

# "WALL CPU" seconds of one run: wall clock from process start to end,
# and CPU time (user + system, children included, so all three rsync
# processes count). On a loaded machine CPU time is the steadier figure.
# The run's own output goes to the log of the scenario.
timed() {
    local log=$1
    shift
    local TIMEFORMAT='%3R %3U %3S' t
    if ! t=$({ time "$@" >>"$log" 2>&1; } 2>&1); then
        echo "run.sh: failed: $*" >&2
        tail -5 "$log" >&2
        exit 1
    fi
    awk '{ printf "%.3f %.3f", $1, $2 + $3 }' <<<"$t"
}

median() {
    [ $# -gt 0 ] || { echo "-"; return; }
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
        if (NR == 0) { print "-"; exit }
        if (NR % 2) printf "%.4f", v[(NR + 1) / 2]; else printf "%.4f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a != "-" && b != "-" && b > 0) printf "%.2f", a / b; else print "-" }'; }

# This machine pages out memory left untouched for about a minute (DAMON
# proactive reclaim), page cache included, so the trees are warmed again
# right before each timed run: the source's data when the run copies them,
# then the folders and inodes of both trees (a bare walk looks up every
# entry in both).
warm() {
    local src=$1 tgt=$2 data=$3
    if [ "$data" = data ]; then
        find "$src" -type f -exec cat {} + >/dev/null
    fi
    "$vellbench" --bare-walk "$src" "$tgt" >/dev/null
}

# Names of the differences between a source and a target, folders' own
# times left out (Vell does not carry them).
differences() { rsync -ani --delete "$1/" "$2/" | grep -vc '^\.d' || true; }

declare -A results # wall-clock seconds of each run, by "scenario:tool"
declare -A cpus    # CPU seconds, the same way
declare -A loads

# scenario label, prepare function, source, data|meta (what to warm),
# tools...: each repetition times the tools in an order that rotates, so
# that no tool always runs right after another.
scenario() {
    local name=$1 prepare=$2 src=$3 what=$4
    shift 4
    local tools=("$@") rep i tool wall cpu
    local log="$logs/$name.log"
    : >"$log"
    loads[$name]="$(loadavg)"
    for ((rep = 0; rep < reps; rep++)); do
        for ((i = 0; i < ${#tools[@]}; i++)); do
            tool=${tools[$(((i + rep) % ${#tools[@]}))]}
            # Each tool's target is made ready just before its run, so each
            # one follows the same kind of work (removing a big tree slows
            # the file creations that come next), and no tool pays for the
            # write-back of the one before it.
            "$prepare" "$targets/$tool"
            sync
            warm "$src" "$targets/$tool" "$what"
            echo "== $tool rep $rep" >>"$log"
            read -r wall cpu <<<"$(timed "$log" "run_$tool" "$src" "$targets/$tool")"
            [ -n "$cpu" ] || exit 1 # timed() said why
            results[$name:$tool]+="$wall "
            cpus[$name:$tool]+="$cpu "
        done
    done
    loads[$name]+=" -> $(loadavg)"
}

# Old targets are moved aside, not deleted: this file system (ext4 without
# a journal) skips inodes freed in the last minute (six while their table
# block is dirty) when it allocates new ones, so a tree deleted just
# before a run would slow that run's file creations several times over.
trashed=0
empty_target() {
    if [ -e "$1" ]; then
        mkdir -p "$trash"
        mv "$1" "$trash/$((trashed += 1))"
    fi
    mkdir -p "$1"
}
keep_target() { :; }
# Back to an exact mirror of the original tree before the changed tree is
# mirrored onto it, identically for every tool.
reset_target() { rsync -a --delete "$source/" "$1/"; }

# Empties the trash and notes when, so that the next run can wait until
# the freed inodes are no longer recent.
purge_trash() {
    if [ -e "$trash" ]; then
        rm -rf "$trash"
        sync
        touch "$out/.purged"
    fi
}
purge_trash
if [ -e "$out/.purged" ]; then
    wait=$((70 - ($(date +%s) - $(stat -c %Y "$out/.purged"))))
    if [ "$wait" -gt 0 ]; then
        say "waiting ${wait}s for the inodes freed by the last purge to age"
        sleep "$wait"
    fi
fi
trap purge_trash EXIT

say "vellbench: $vellbench"
say "machine: $(nproc) cores, $(uname -r), $(df -T "$out" | awk 'NR == 2 { print $2 }') at $out"
say "rsync: $(rsync --version | head -1)"
say "cp: $(cp --version | head -1)"
say "tree: $files files in $folders folders, seed $seed; $reps repetitions of each run"
say "load average at start: $(loadavg)"

scenario a empty_target "$source" data vell rsync cp
say "check (a): vell target differs from source in $(differences "$source" "$targets/vell") items"
again=(rsync)
[ "$cpAll" = 1 ] && again+=(cp)
# The run without pumping needs a mirror of its own to find up to date.
rsync -a --delete "$source/" "$targets/vellnopump/"
scenario b keep_target "$source" meta vell vellnopump "${again[@]}"
say "check (b): vell target differs from source in $(differences "$source" "$targets/vell") items"

: >"$logs/walk.log"
for ((rep = 0; rep < reps; rep++)); do
    warm "$source" "$targets/vell" meta
    read -r wall cpu <<<"$(timed "$logs/walk.log" "$vellbench" --bare-walk "$source" "$targets/vell")"
    [ -n "$cpu" ] || exit 1
    results[walk:vell]+="$wall "
    cpus[walk:vell]+="$cpu "
done

scenario c reset_target "$changed" data vell "${again[@]}"
say "check (c): vell target differs from changed source in $(differences "$changed" "$targets/vell") items"
if [ "$bigCount" -gt 0 ]; then
    scenario d empty_target "$bigSource" data vell rsync cp
fi

# Vell's own split of its time, from the lines vellbench printed.
vell_split() {
    grep '^vellbench ' "$logs/$1.log" | awk '{ for (i = 2; i <= NF; i++) { split($i, kv, "="); if (kv[1] == "mirror") m = m " " kv[2]; if (kv[1] == "remove") r = r " " kv[2] } } END { print m "|" r }'
}

say ""
header() {
    printf '%-34s %9s %9s %9s %11s %8s   %s\n' "$1" "vell" "rsync" "cp" "rsync/vell" "cp/vell" "$2"
}
# One line of medians from the array named $1 ("results" or "cpus").
row() {
    local -n times=$1
    local name=$2 label=$3 extra=${4:-} v r c
    # shellcheck disable=SC2086
    v=$(median ${times[$name:vell]:-})
    # shellcheck disable=SC2086
    r=$(median ${times[$name:rsync]:-})
    # shellcheck disable=SC2086
    c=$(median ${times[$name:cp]:-})
    printf '%-34s %9s %9s %9s %11s %8s   %s\n' "$label" "$v" "$r" "$c" "$(ratio "$r" "$v")" "$(ratio "$c" "$v")" "$extra"
}
table() {
    local array=$1
    row "$array" a "(a) initial mirror" "${2:+${loads[a]}}"
    row "$array" b "(b) nothing changed" "${2:+${loads[b]}}"
    row "$array" c "(c) 1 % modified, 1 % deleted" "${2:+${loads[c]}}"
    [ "$bigCount" -gt 0 ] && row "$array" d "(d) $bigCount x $bigMiB MiB files" "${2:+${loads[d]}}"
    row "$array" walk "bare walk (2 lstat per file)"
    # shellcheck disable=SC2086
    printf '%-34s %9s\n' "(b) vell with --no-pump" "$(median ${results_nopump[$array]})"
}
declare -A results_nopump=([results]="${results[b:vellnopump]}" [cpus]="${cpus[b:vellnopump]}")
header "wall-clock seconds (median)" "load average (start -> end)"
table results loads
say ""
header "CPU seconds, user + system (median)" ""
table cpus
say ""
for name in a b c; do
    IFS='|' read -r m r <<<"$(vell_split "$name")"
    # shellcheck disable=SC2086
    say "($name) inside vellbench: mirror walk $(median $m) s, removal walk $(median $r) s"
done
say "load average at end: $(loadavg)"
say "raw times and outputs: $logs"
for key in "${!results[@]}"; do
    say "raw $key: wall ${results[$key]}| cpu ${cpus[$key]}"
done | sort
