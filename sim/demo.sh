#!/bin/sh
# Installs the built tool into demo-out/ and runs the check against both simulated
# hosts. The console output is shown; the output logs and the trace stay in demo-out/.
# Usage: sh sim/demo.sh [build directory]   (default: build)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
case $build in
/*) ;;
*) build=$top/$build ;;
esac
out=$top/demo-out
rm -rf "$out"
cmake --install "$build" --prefix "$out/tool" >/dev/null
mkdir -p "$out/tool/trace"
for host in solaris10 solaris9; do
    echo "=== $host"
    status=0
    KXDEFCHK_HOST_ROOT=$top/sim/$host "$out/tool/bin/kxsyfchk" "$out/$host.log" || status=$?
    echo "=== $host: exit status $status; report in demo-out/$host.log"
done
echo "=== trace: demo-out/tool/trace/trace.log"
