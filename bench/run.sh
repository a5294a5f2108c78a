#!/bin/sh
# Times kxsyfchk on a large synthetic Solaris 10 host: many requirement rows against an
# /etc/project with many projects and controls, and on a Solaris 9 host with a long
# /etc/system. Every run reopens the trace per line and reads each file line by line, so
# the time grows with rows x lines; this shows by how much.
# Usage: sh bench/run.sh [BUILD_DIR] [ROWS]
set -eu
build=${1:-build}
rows=${2:-2000}
top=$(cd "$(dirname "$0")/.." && pwd)
work=$top/$build/bench
rm -rf "$work"
cmake --install "$top/$build" --prefix "$work/tool" >/dev/null

make_host() { # $1 host dir, $2 release
    mkdir -p "$1/usr/bin" "$1/etc" "$1/opt/vestrel/etc"
    cp -R "$top/sim/solaris10/usr" "$1/"
    printf '#!/bin/sh\necho 5.%s\n' "$2" > "$1/usr/bin/uname"
    chmod +x "$1/usr/bin/uname"
    cp "$top/sim/solaris10/opt/vestrel/etc/vestrel.reg" "$1/opt/vestrel/etc/"
}

host10=$work/sol10
make_host "$host10" 10
awk -v n="$rows" 'BEGIN {
    for (i = 0; i < n; i++)
        printf "Solaris10,,,,,project.ctl-%d,proj%d,priv,additional,128,%d\n", i, i % 50, i
}' > "$work/tool/def/kxsyfchk_sol10.csv"
awk -v n="$rows" 'BEGIN {
    for (p = 0; p < 50; p++) {
        printf "proj%d:%d::::", p, 100 + p
        sep = ""
        for (i = p; i < n; i += 50) { printf "%sproject.ctl-%d=(priv,%d,deny)", sep, i, i + 200; sep = ";" }
        printf "\n"
    }
}' > "$host10/etc/project"

host9=$work/sol9
make_host "$host9" 9
awk -v n="$rows" 'BEGIN {
    for (i = 0; i < n; i++)
        printf "Solaris9,,,,,mod%d:param_%d,,,fixed,,%d\n", i, i, i
}' > "$work/tool/def/kxsyfchk_sol9.csv"
awk -v n="$rows" 'BEGIN {
    print "* generated"
    for (i = 0; i < n; i++) printf "set mod%d:param_%d=0x%x\n", i, i, i + 1
}' > "$host9/etc/system"

for host in sol10 sol9; do
    rm -f "$work/tool/trace/"*
    start=$(date +%s.%N)
    status=0
    KXDEFCHK_HOST_ROOT=$work/$host "$work/tool/bin/kxsyfchk" "$work/$host.log" >/dev/null || status=$?
    end=$(date +%s.%N)
    lines=$(cat "$work/tool/trace/trace.log" "$work/tool/trace/"trace_0*.log 2>/dev/null | wc -l)
    secs=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
    echo "$host: $rows rows, exit status $status, $secs s, $lines trace lines"
done
