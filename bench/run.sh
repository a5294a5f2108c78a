#!/bin/sh
# Benchmarks kxsyfchk with hyperfine and prints a table:
# - a typical run on each simulated host against two scripts that run the same command
#   lines, one through /bin/sh -c each (as system() does) and one directly;
# - 1,000, 10,000 and 100,000 rows against as many settings on large synthetic Solaris 10
#   and 9 hosts, with the growth from one count to the next, the peak memory and the size
#   of the trace one run writes.
# Usage: sh bench/run.sh [BUILD_DIR] [ROW_COUNTS]
set -eu
build=${1:-build}
counts=${2:-"1000 10000 100000"}
top=$(cd "$(dirname "$0")/.." && pwd)
# The build directory, from the source tree unless given from the root.
case $build in /*) ;; *) build=$top/$build ;; esac
. "$top/bench/hosts.sh"
command -v hyperfine >/dev/null || { echo "hyperfine is needed (Debian: apt-get install hyperfine)" >&2; exit 1; }
work=$build/bench
rm -rf "$work"
mkdir -p "$work"

# median SECONDS of command $2.. from hyperfine, $1 runs
median() {
    runs=$1
    shift
    rm -f "$work/h.csv"
    hyperfine -N -i --warmup 2 --runs "$runs" --export-csv "$work/h.csv" "$@" >/dev/null 2>&1 ||
        { echo "hyperfine failed: $*" >&2; exit 1; }
    sed -n 2p "$work/h.csv" | cut -d, -f4
}

# Medians m1, m2, m3 of three commands measured in turns (20 rounds of 5 runs each), so
# that the machine's ups and downs fall on all three alike.
interleaved() {
    : > "$work/rounds"
    for round in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
        rm -f "$work/h.csv"
        hyperfine -N -i --warmup 1 --runs 5 --export-csv "$work/h.csv" "$@" >/dev/null 2>&1 ||
            { echo "hyperfine failed: $*" >&2; exit 1; }
        sed -n '2,4p' "$work/h.csv" | cut -d, -f4 | paste -s -d' ' >> "$work/rounds"
    done
    for col in 1 2 3; do
        eval "m$col=$(cut -d' ' -f$col "$work/rounds" | sort -g | sed -n 10p)"
    done
}

# Baseline scripts from the command lines a run traced: $1 trace, $2 output prefix.
baselines() {
    sed -n 's/^\[[^]]*\] kxsyfchk:kxg_runSysCom \(\/.*\)$/\1/p' "$1" > "$2.lines"
    { echo "#!/bin/sh"; sed "s/.*/\/bin\/sh -c '&'/" "$2.lines"; } > "$2.shc.sh"
    { echo "#!/bin/sh"; cat "$2.lines"; } > "$2.direct.sh"
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'
}

cmake --install "$build" --prefix "$work/tool" >/dev/null
echo "| typical run | kxsyfchk | sh -c script | direct script | vs sh -c | vs direct |"
echo "|---|---|---|---|---|---|"
for host in solaris10 solaris9; do
    export KXDEFCHK_HOST_ROOT="$top/sim/$host" LANG=ja_JP.UTF-8
    rm -f "$work/tool/trace/"*
    "$work/tool/bin/kxsyfchk" /dev/null >/dev/null || true
    baselines "$work/tool/trace/trace.log" "$work/$host"
    interleaved "$work/tool/bin/kxsyfchk /dev/null" "sh $work/$host.shc.sh" \
        "sh $work/$host.direct.sh"
    tool=$m1 shc=$m2 direct=$m3
    printf '| sim/%s (%d commands) | %.4f s | %.4f s | %.4f s | %s× | %s× |\n' "$host" \
        "$(wc -l < "$work/$host.lines")" "$tool" "$shc" "$direct" \
        "$(ratio "$tool" "$shc")" "$(ratio "$tool" "$direct")"
done
unset KXDEFCHK_HOST_ROOT

echo
echo "| rows | Solaris 10 | Solaris 9 | peak memory 10 / 9 | trace of one run 10 / 9 |"
echo "|---|---|---|---|---|"
for rows in $counts; do
    dir=$work/rows-$rows
    make_bench "$build" "$dir" "$rows"
    runs=10
    [ "$rows" -lt 10000 ] || runs=7
    [ "$rows" -lt 30000 ] || runs=5
    line="| $rows |"
    mem=""
    trace=""
    for host in sol10 sol9; do
        export KXDEFCHK_HOST_ROOT="$dir/$host"
        t=$(median "$runs" "$dir/tool/bin/kxsyfchk /dev/null")
        eval "t_${host}_$rows=$t"
        line="$line $(printf '%.3f' "$t") s |"
        rm -f "$dir/tool/trace/"*
        kb=$(/usr/bin/time -f %M "$dir/tool/bin/kxsyfchk" /dev/null 2>&1 >/dev/null | tail -n 1)
        mem="$mem${mem:+ / }$(awk -v k="$kb" 'BEGIN { printf "%.1f MiB", k / 1024 }')"
        bytes=$(cat "$dir/tool/trace/"* | wc -c)
        trace="$trace${trace:+ / }$(awk -v b="$bytes" 'BEGIN { printf "%.1f MiB", b / 1048576 }')"
    done
    echo "$line $mem | $trace |"
done
unset KXDEFCHK_HOST_ROOT
# The growth in time from each row count to the next.
echo
last=""
for rows in $counts; do
    if [ -n "$last" ]; then
        eval "a10=\$t_sol10_$last b10=\$t_sol10_$rows a9=\$t_sol9_$last b9=\$t_sol9_$rows"
        echo "Growth from $last to $rows rows: Solaris 10 $(ratio "$b10" "$a10")×," \
            "Solaris 9 $(ratio "$b9" "$a9")×."
    fi
    last=$rows
done
