#!/usr/bin/env bash
# Times Vell's mirror (vellbench, pumping host, obsolete removal on) against
# `rsync -a --delete` and `cp -a` on a generated tree, with a warm page
# cache (warmed again before each run): (a) initial mirror into an empty
# target, (b) nothing changed, (c) 1 % of the files modified and 1 %
# deleted, (d) a few 50 MiB files; then one program's session of runs:
# (e) nothing changed, watched and not, (f) 1 % of the files modified
# while watched, (g) the CPU an idle watched program spends, (h) time per
# file and peak memory of the first copy and of the full unchanged run;
# --cold: the unchanged run after the page cache is dropped.
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
cases=abcdefgh
cold=0
copies=0
idleSeconds=60

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
  --cases LIST     the cases to run, letters of abcdefgh (default $cases)
  --cold           also the unchanged run with the page cache dropped before
                   each tool (needs root or sudo without a password)
  --copies N       Vell's CopiesSimultanees: 0 as suits the machine (the
                   default), 1 one copy at a time, up to 8
  --idle S         seconds of each idle measurement of (g) (default $idleSeconds)
EOF
}

while [ $# -gt 0 ]; do
    case "$1" in
    --small) files=10000; folders=500; idleSeconds=10 ;;
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
    --cases) cases=$2; shift ;;
    --cold) cold=1 ;;
    --copies) copies=$2; shift ;;
    --idle) idleSeconds=$2; shift ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
    esac
    shift
done

[[ "$cases" =~ ^[a-h]*$ ]] || { echo "run.sh: --cases takes letters of abcdefgh" >&2; exit 2; }
[[ "$copies" =~ ^[0-8]$ ]] || { echo "run.sh: --copies takes 0 to 8" >&2; exit 2; }
want() { [[ "$cases" == *"$1"* ]]; }

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
mkdir -p "$logs" "$targets"

say() { printf '%s\n' "$*"; }
loadavg() { cut -d' ' -f1-3 /proc/loadavg; }

# Free KiB of the file system of the work folder.
freeKiB() { df -Pk "$out" | awk 'NR == 2 { print $4 }'; }
# About what one copy of the tree takes: files average half the largest
# size, each rounded up to 4 KiB blocks, plus the folders' blocks.
treeKiB=$((files * 12 + folders * 4))
# Copies of the tree the chosen cases keep besides the source: (a)'s
# targets go to the trash at each repetition and stay there to the end,
# (c) adds the changed tree, (f) the work source, (h) its old target in
# the trash.
copiesKept=0
want a && copiesKept=$((copiesKept + 3 * reps))
want b && copiesKept=$((copiesKept + 3))
want c && copiesKept=$((copiesKept + 1))
want e && copiesKept=$((copiesKept + 3))
want f && copiesKept=$((copiesKept + 2))
want g && copiesKept=$((copiesKept + 1))
want h && copiesKept=$((copiesKept + 2))
[ "$cold" = 1 ] && copiesKept=$((copiesKept + 2))
needKiB=$((treeKiB * copiesKept))
[ -e "$tree/.done" ] || needKiB=$((needKiB + treeKiB))
say "disk: about $((needKiB / 1024)) MiB more needed for the tree and its copies," \
    "$(($(freeKiB) / 1024)) MiB free at $out"
if [ "$(freeKiB)" -lt "$needKiB" ]; then
    echo "run.sh: not enough disk space at $out for $files files; free some or choose fewer --cases" >&2
    exit 1
fi

# The trees are made once per shape and seed; a stamp marks a finished one.
if [ ! -e "$tree/.done" ]; then
    say "generating $files files in $folders folders (seed $seed) under $tree"
    rm -rf "$tree"
    mkdir -p "$tree"
    "$vellbench" --generate "$source" --files "$files" --folders "$folders" --depth 8 --seed "$seed"
    touch "$tree/.done"
fi
# The changed tree of (c) only when (c) runs: a million-file tree is large.
if want c && [ ! -e "$tree/.changed-done" ]; then
    rm -rf "$changed"
    cp -a "$source" "$changed"
    "$vellbench" --mutate "$changed" --modify-percent 1 --delete-percent 1 --seed "$((seed + 1))"
    touch "$tree/.changed-done"
fi
if want d && [ "$bigCount" -gt 0 ] && [ ! -e "$bigSource/.done" ]; then
    say "generating $bigCount files of $bigMiB MiB under $bigSource"
    rm -rf "$bigSource"
    "$vellbench" --big "$bigSource" --files "$bigCount" --size-mib "$bigMiB" --seed "$seed"
    touch "$bigSource/.done"
fi

# The tools, each run as SOURCE TARGET.
run_vell() { "$vellbench" --remove --pump --copies "$copies" "$1" "$2"; }
run_vellnopump() { "$vellbench" --remove --no-pump --copies "$copies" "$1" "$2"; }
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
declare -A rss # peak resident KiB of the (h) sessions

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

if want a; then
    scenario a empty_target "$source" data vell rsync cp
    say "check (a): vell target differs from source in $(differences "$source" "$targets/vell") items"
fi
again=(rsync)
[ "$cpAll" = 1 ] && again+=(cp)
if want b; then
    if ! want a; then
        for tool in vell "${again[@]}"; do reset_target "$targets/$tool"; done
    fi
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
fi

if want c; then
    scenario c reset_target "$changed" data vell "${again[@]}"
    say "check (c): vell target differs from changed source in $(differences "$changed" "$targets/vell") items"
fi
if want d && [ "$bigCount" -gt 0 ]; then
    scenario d empty_target "$bigSource" data vell rsync cp
fi

# --- Sessions: one vellbench process keeps one program's controller (and
# its watches) across runs; run.sh talks to it through two FIFOs. Its
# times are measured inside the process, around the run alone.
declare -A sessionIn sessionOut sessionPid
session_start() {
    local name=$1 log=$2
    shift 2
    local in="$out/session-$name.in" outf="$out/session-$name.out" w r
    rm -f "$in" "$outf"
    mkfifo "$in" "$outf"
    "$vellbench" --session --copies "$copies" "$@" <"$in" >"$outf" 2>>"$log" &
    sessionPid[$name]=$!
    exec {w}>"$in"
    exec {r}<"$outf"
    sessionIn[$name]=$w
    sessionOut[$name]=$r
    echo "== session $name: $*" >>"$log"
}
# Sends one command and leaves its answer line in $answer; a session that
# died or answered with anything but the command's own word ends the
# benchmark.
answer=
session_cmd() {
    local name=$1 command=$2 log=$3 line
    echo "$command" >&"${sessionIn[$name]}"
    if ! read -r line <&"${sessionOut[$name]}"; then
        echo "run.sh: session $name ended before answering '$command' (see $log)" >&2
        tail -5 "$log" >&2
        exit 1
    fi
    echo "$name> $line" >>"$log"
    if [ "${line%% *}" != "${command%% *}" ]; then
        echo "run.sh: session $name answered '$command' with: $line" >&2
        exit 1
    fi
    # A run that failed or met no folder is no figure.
    if [ "${command%% *}" = run ] && [[ " $line " != *" Failures=0 "* || " $line " != *" Invalid=0 "* ]]; then
        echo "run.sh: session $name: a run failed: $line" >&2
        exit 1
    fi
    answer=$line
}
session_quit() {
    local name=$1 log=$2
    local w=${sessionIn[$name]} r=${sessionOut[$name]}
    session_cmd "$name" quit "$log"
    exec {w}>&- {r}<&-
    local rc=0
    wait "${sessionPid[$name]}" || rc=$?
    [ "$rc" = 0 ] || { echo "run.sh: session $name ended with status $rc" >&2; exit 1; }
    rm -f "$out/session-$name.in" "$out/session-$name.out"
}
# Runs until a watched one visits no folder in full (at most four): with
# removal on, the watched run right after a full one (or after a first
# copy) still walks every folder for the removal. Those runs happen once
# per program; the figures are of the runs after them. A run the watches
# could not serve (a doubt made it full) is counted in $doubted; with
# "may-fail" a session that never settles leaves $settled at 0 instead of
# ending the benchmark.
settled=0
doubted=0
settle() {
    local tries
    settled=0
    doubted=0
    for ((tries = 1; tries <= 4; tries++)); do
        session_run "$1" "$2"
        if [ "$(field watched "$answer")" != 1 ]; then
            doubted=$((doubted + 1))
        elif [ "$(field full "$answer")" = 0 ]; then
            settled=1
            return 0
        fi
    done
    echo "run.sh: session $1: still visiting folders in full after $((tries - 1)) runs ($doubted of them" \
        "full runs): $answer" >&2
    [ "${3:-}" = may-fail ] || exit 1
}
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }
# A timed run of a session: sets $wall and $cpu as timed() gives them.
session_run() {
    session_cmd "$1" run "$2"
    wall=$(field elapsed "$answer")
    cpu=$(field cpu "$answer")
}
# A run of a session that must have trusted its watches.
watched_run() {
    session_run "$@"
    if [ "$(field watched "$answer")" != 1 ]; then
        echo "run.sh: session $1: the run did not trust its watches (a full run): $answer" >&2
        exit 1
    fi
}

# (e) Nothing changed: a watched session (one full run starts the
# watches), an unwatched one, rsync; their targets are exact mirrors.
if want e; then
    log="$logs/e.log"
    : >"$log"
    loads[e]="$(loadavg)"
    for tool in ewatch efull rsync; do reset_target "$targets/$tool"; done
    sync
    warm "$source" "$targets/ewatch" meta
    session_start ewatch "$log" --remove --pump "$source" "$targets/ewatch"
    session_start efull "$log" --remove --pump --no-watch "$source" "$targets/efull"
    session_cmd ewatch run "$log"
    # The first watched run after the full one, timed apart (see settle).
    watched_run ewatch "$log"
    results[e:first]="$wall "
    cpus[e:first]="$cpu "
    settle ewatch "$log"
    tools=(ewatch efull rsync)
    for ((rep = 0; rep < reps; rep++)); do
        for ((i = 0; i < ${#tools[@]}; i++)); do
            tool=${tools[$(((i + rep) % ${#tools[@]}))]}
            sync
            warm "$source" "$targets/$tool" meta
            case $tool in
            ewatch) watched_run ewatch "$log" ;;
            efull) session_run efull "$log" ;;
            rsync) echo "== rsync rep $rep" >>"$log"
                read -r wall cpu <<<"$(timed "$log" run_rsync "$source" "$targets/rsync")" ;;
            esac
            [ -n "$cpu" ] || exit 1
            results[e:$tool]+="$wall "
            cpus[e:$tool]+="$cpu "
        done
    done
    session_cmd ewatch rss "$log"
    session_quit ewatch "$log"
    session_quit efull "$log"
    loads[e]+=" -> $(loadavg)"
    say "check (e): watched target differs from source in $(differences "$source" "$targets/ewatch") items"
fi

# (f) 1 % of the files modified in a work copy of the source while a
# watched session waits; the session reads the events in an idle second,
# then one timed run. rsync mirrors the same change onto a reset target.
if want f; then
    log="$logs/f.log"
    : >"$log"
    loads[f]="$(loadavg)"
    work="$tree/work"
    for ((rep = 0; rep < reps; rep++)); do
        rsync -a --delete "$source/" "$work/"
        for tool in fwatch rsync; do reset_target "$targets/$tool"; done
        sync
        warm "$work" "$targets/fwatch" meta
        session_start fwatch "$log" --remove --pump "$work" "$targets/fwatch"
        session_cmd fwatch run "$log"
        settle fwatch "$log"
        "$vellbench" --mutate "$work" --modify-percent 1 --delete-percent 0 --seed "$((seed + 1 + rep))"
        sync
        warm "$work" "$targets/fwatch" data
        session_cmd fwatch "idle 1" "$log"
        watched_run fwatch "$log"
        [ -n "$cpu" ] || exit 1
        session_quit fwatch "$log"
        results[f:fwatch]+="$wall "
        cpus[f:fwatch]+="$cpu "
        sync
        warm "$work" "$targets/rsync" data
        echo "== rsync rep $rep" >>"$log"
        read -r wall cpu <<<"$(timed "$log" run_rsync "$work" "$targets/rsync")"
        [ -n "$cpu" ] || exit 1
        results[f:rsync]+="$wall "
        cpus[f:rsync]+="$cpu "
        n=$(differences "$work" "$targets/fwatch")
        [ "$n" = 0 ] || { echo "run.sh: (f) the watched target differs from its source in $n items" >&2; exit 1; }
    done
    loads[f]+=" -> $(loadavg)"
    say "check (f): watched target differs from changed source in $n items"
fi

# (g) What a watched program spends doing nothing between two runs: the
# event loop with its one-second timer and the watches' notifier.
if want g; then
    log="$logs/g.log"
    : >"$log"
    loads[g]="$(loadavg)"
    reset_target "$targets/gwatch"
    sync
    session_start gwatch "$log" --remove --pump "$source" "$targets/gwatch"
    session_cmd gwatch run "$log"
    settle gwatch "$log"
    for ((rep = 0; rep < reps; rep++)); do
        session_cmd gwatch "idle $idleSeconds" "$log"
        cpus[g:idle]+="$(field cpu "$answer") "
        watched_run gwatch "$log"
        results[g:after]+="$wall "
    done
    session_quit gwatch "$log"
    loads[g]+=" -> $(loadavg)"
fi

# (h) Cost per file and peak memory: the first copy into an empty target
# by a watched session (the program's defaults), then full unchanged runs
# by an unwatched one.
if want h; then
    log="$logs/h.log"
    : >"$log"
    loads[h]="$(loadavg)"
    empty_target "$targets/hcopy"
    sync
    warm "$source" "$targets/hcopy" data
    session_start hcopy "$log" --remove --pump "$source" "$targets/hcopy"
    session_run hcopy "$log"
    results[h:copy]="$wall "
    cpus[h:copy]="$cpu "
    settle hcopy "$log" may-fail
    [ "$settled" = 1 ] && results[h:watched]="$wall "
    hDoubted=$doubted
    session_cmd hcopy rss "$log"
    rss[copy]=$(field peak_kib "$answer")
    session_quit hcopy "$log"
    sync
    session_start hfull "$log" --remove --pump --no-watch "$source" "$targets/hcopy"
    for ((rep = 0; rep < reps; rep++)); do
        warm "$source" "$targets/hcopy" meta
        session_run hfull "$log"
        results[h:full]+="$wall "
        cpus[h:full]+="$cpu "
    done
    session_cmd hfull rss "$log"
    rss[full]=$(field peak_kib "$answer")
    session_quit hfull "$log"
    loads[h]+=" -> $(loadavg)"
    say "check (h): target differs from source in $(differences "$source" "$targets/hcopy") items"
fi

# --cold: the unchanged run with the page cache dropped before each tool.
# Vell is a fresh process with the program's defaults (its first run is
# full and starts the watches), as a timer run after a cold boot; both
# tools are timed from process start to end.
drop_caches() {
    sync
    if [ -w /proc/sys/vm/drop_caches ] && { echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
        return 0
    fi
    command -v sudo >/dev/null && sudo -n sh -c 'echo 3 > /proc/sys/vm/drop_caches' 2>/dev/null
}
run_vellcold() { printf 'run\nquit\n' | "$vellbench" --session --remove --pump --copies "$copies" "$1" "$2"; }
if [ "$cold" = 1 ]; then
    if ! drop_caches; then
        say "cold: skipped: the page cache cannot be dropped here (needs root, or sudo without a password)"
        cold=0
    fi
fi
if [ "$cold" = 1 ]; then
    log="$logs/cold.log"
    : >"$log"
    loads[cold]="$(loadavg)"
    for tool in vellcold rsync; do reset_target "$targets/$tool"; done
    tools=(vellcold rsync)
    for ((rep = 0; rep < reps; rep++)); do
        for ((i = 0; i < ${#tools[@]}; i++)); do
            tool=${tools[$(((i + rep) % ${#tools[@]}))]}
            drop_caches || { echo "run.sh: the page cache could not be dropped" >&2; exit 1; }
            echo "== $tool rep $rep" >>"$log"
            read -r wall cpu <<<"$(timed "$log" "run_$tool" "$source" "$targets/$tool")"
            [ -n "$cpu" ] || exit 1
            results[cold:$tool]+="$wall "
            cpus[cold:$tool]+="$cpu "
        done
    done
    if grep '^run ' "$log" | grep -vq ' Failures=0 Invalid=0 '; then
        echo "run.sh: a cold Vell run failed (see $log)" >&2
        exit 1
    fi
    loads[cold]+=" -> $(loadavg)"
fi

# Vell's own split of its time, from the lines vellbench printed.
vell_split() {
    grep '^vellbench ' "$logs/$1.log" | awk '{ for (i = 2; i <= NF; i++) { split($i, kv, "="); if (kv[1] == "mirror") m = m " " kv[2]; if (kv[1] == "remove") r = r " " kv[2] } } END { print m "|" r }'
}

say ""
header() {
    printf '%-34s %9s %9s %9s %11s %8s   %s\n' "$1" "vell" "rsync" "cp" "rsync/vell" "cp/vell" "$2"
}
# One line of medians from the array named $1 ("results" or "cpus"); $5
# names the Vell run of the scenario when it is not "vell".
row() {
    local -n times=$1
    local name=$2 label=$3 extra=${4:-} vell=${5:-vell} v r c
    # shellcheck disable=SC2086
    v=$(median ${times[$name:$vell]:-})
    # shellcheck disable=SC2086
    r=$(median ${times[$name:rsync]:-})
    # shellcheck disable=SC2086
    c=$(median ${times[$name:cp]:-})
    printf '%-34s %9s %9s %9s %11s %8s   %s\n' "$label" "$v" "$r" "$c" "$(ratio "$r" "$v")" "$(ratio "$c" "$v")" "$extra"
}
table() {
    local array=$1
    want a && row "$array" a "(a) initial mirror" "${2:+${loads[a]}}"
    want b && row "$array" b "(b) nothing changed" "${2:+${loads[b]}}"
    want c && row "$array" c "(c) 1 % modified, 1 % deleted" "${2:+${loads[c]}}"
    want d && [ "$bigCount" -gt 0 ] && row "$array" d "(d) $bigCount x $bigMiB MiB files" "${2:+${loads[d]}}"
    if want b; then
        row "$array" walk "bare walk (2 lstat per file)"
        # shellcheck disable=SC2086
        printf '%-34s %9s\n' "(b) vell with --no-pump" "$(median ${results_nopump[$array]})"
    fi
    if want e; then
        row "$array" e "(e) nothing changed, watched*" "${2:+${loads[e]}}" ewatch
        row "$array" e "(e) nothing changed, full*" "" efull
        row "$array" e "(e) first watched run after full*" "" first
    fi
    want f && row "$array" f "(f) 1 % modified, watched*" "${2:+${loads[f]}}" fwatch
    [ "$cold" = 1 ] && row "$array" cold "cold cache, nothing changed" "${2:+${loads[cold]}}" vellcold
    return 0
}
declare -A results_nopump=([results]="${results[b:vellnopump]:-}" [cpus]="${cpus[b:vellnopump]:-}")
header "wall-clock seconds (median)" "load average (start -> end)"
table results loads
say ""
header "CPU seconds, user + system (median)" ""
table cpus
if want e || want f; then
    say "* timed inside the one vellbench process, around the run alone; rsync's times are whole"
    say "  processes, its start included"
fi
say ""
for name in a b c; do
    want "$name" || continue
    IFS='|' read -r m r <<<"$(vell_split "$name")"
    # shellcheck disable=SC2086
    say "($name) inside vellbench: mirror walk $(median $m) s, removal walk $(median $r) s"
done
if want g; then
    # shellcheck disable=SC2086
    idle=$(median ${cpus[g:idle]})
    perSecond=$(awk -v c="$idle" -v s="$idleSeconds" 'BEGIN { printf "%.3f", c / s * 1000 }')
    # shellcheck disable=SC2086
    say "(g) idle watched session: $idle CPU seconds in ${idleSeconds} s ($perSecond ms per second)," \
        "next watched run $(median ${results[g:after]}) s; load ${loads[g]}"
fi
if want h; then
    perFile() { awk -v t="$1" -v n="$files" 'BEGIN { if (t == "-") print "-"; else printf "%.2f", t / n * 1e6 }'; }
    # shellcheck disable=SC2086
    copy=$(median ${results[h:copy]}) full=$(median ${results[h:full]}) watched=$(median ${results[h:watched]:-})
    say "(h) $files files in $folders folders: first copy $copy s ($(perFile "$copy") us per file)," \
        "full unchanged run $full s ($(perFile "$full") us per file), watched unchanged run $watched s" \
        "(after the first copy, $hDoubted runs were full for a doubt)"
    say "(h) peak resident memory: $((rss[copy] / 1024)) MiB (${rss[copy]} KiB) in the session of the first copy," \
        "$((rss[full] / 1024)) MiB (${rss[full]} KiB) in the unwatched one; load ${loads[h]}"
fi
say "load average at end: $(loadavg)"
say "raw times and outputs: $logs"
for key in "${!results[@]}" "${!cpus[@]}"; do
    say "raw $key: wall ${results[$key]:-}| cpu ${cpus[$key]:-}"
done | sort -u
