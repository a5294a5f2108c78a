#!/bin/sh
# Records what the tool writes on the simulated hosts and on benchmark hosts of 2,000
# rows: console, exit status, output log and trace, with time stamps and the working
# directory masked, one directory per case under OUT. Two such records (before and after
# a change) must not differ: diff -r.
# Usage: sh bench/outputs.sh BUILD_DIR OUT
set -eu
build=$1
out=$2
top=$(cd "$(dirname "$0")/.." && pwd)
# The build directory, from the source tree unless given from the root.
case $build in /*) ;; *) build=$top/$build ;; esac
. "$top/bench/hosts.sh"
# A fixed place, so that paths in converted traces (UTF-16) read the same in both records.
work=${TMPDIR:-/tmp}/kxsyfchk-outputs
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# record NAME TOOLDIR HOSTDIR LANG
record() {
    rm -f "$2/trace/"* "$work/out.log"
    status=0
    KXDEFCHK_HOST_ROOT=$3 LANG=$4 "$2/bin/kxsyfchk" "$work/out.log" > "$work/console" || status=$?
    mkdir -p "$out/$1"
    cp "$work/console" "$out/$1/console"
    echo "$status" > "$out/$1/status"
    mask='s#[0-9][0-9]/[0-9][0-9]/[0-9]\{4\}_[0-9][0-9]:[0-9][0-9]:[0-9][0-9]#STAMP#g'
    if [ -f "$work/out.log" ]; then sed "$mask" "$work/out.log" > "$out/$1/log"; fi
    cat "$2"/trace/trace_0*.log "$2/trace/trace.log" 2>/dev/null |
        sed -e "$mask" -e "s#$work#WORK#g" -e "s#$top#TOP#g" > "$out/$1/trace"
}

cmake --install "$build" --prefix "$work/tool" >/dev/null
for host in solaris10 solaris11 solaris9; do
    record "sim-$host-utf8" "$work/tool" "$top/sim/$host" ja_JP.UTF-8
    record "sim-$host-euc" "$work/tool" "$top/sim/$host" C
done
# The product's code set decides the trace's and the output log's: every kind of target.
for code in SJIS CP932 ISO-2022-JP UTF-16 UTF-7; do
    rm -rf "$work/host-$code"
    cp -R "$top/sim/solaris10" "$work/host-$code"
    sed "s/^Code=.*/Code=$code/" "$top/sim/solaris10/opt/vestrel/etc/vestrel.reg" \
        > "$work/host-$code/opt/vestrel/etc/vestrel.reg"
    record "code-$code" "$work/tool" "$work/host-$code" ja_JP.PCK
done
make_bench "$build" "$work/bench" 2000
for host in sol10 sol9; do
    record "bench-$host" "$work/bench/tool" "$work/bench/$host" ja_JP.UTF-8
done
echo "recorded in $out"
