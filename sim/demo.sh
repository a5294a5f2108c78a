#!/bin/sh
# Installs a tool directory from the build tree and runs kxsyfchk against the simulated
# Solaris 10, Solaris 11 and Solaris 9 hosts, showing the console, the exit status and
# the output log.
# Usage: sh sim/demo.sh BUILD_DIR
set -u
build=${1:-build}
top=$(cd "$(dirname "$0")/.." && pwd)
tool=$top/$build/demo-tool

rm -rf "$tool"
cmake --install "$top/$build" --prefix "$tool" >/dev/null || exit 1

for host in solaris10 solaris11 solaris9; do
    log=$tool/$host.log
    echo "==== kxsyfchk on sim/$host (LANG=ja_JP.UTF-8) ===="
    # One host also writes its results for programs.
    json=
    [ "$host" = solaris11 ] && json=$tool/$host.json
    echo "\$ ${json:+KXSYFCHK_JSON=$json }KXDEFCHK_HOST_ROOT=sim/$host LANG=ja_JP.UTF-8 $tool/bin/kxsyfchk $log"
    KXSYFCHK_JSON=$json KXDEFCHK_HOST_ROOT=$top/sim/$host LANG=ja_JP.UTF-8 "$tool/bin/kxsyfchk" "$log"
    echo "---- exit status: $?"
    # The output log is in the code set the managing product declares (Code of its
    # installation file); show it in UTF-8.
    code=$(sed -n 's/^Code *= *//p' "$top/sim/$host/opt/vestrel/etc/vestrel.reg" | head -n 1)
    shown=${code:-"locale's"}
    echo "---- output log $log (code set $shown):"
    if [ -f "$log" ]; then
        case $code in
            UTF-8) cat "$log" ;;
            SJIS) iconv -f SHIFT_JIS -t UTF-8 "$log" ;;
            *) iconv -f EUC-JP -t UTF-8 "$log" ;;
        esac
    else
        echo "(none written)"
    fi
    if [ -n "$json" ]; then
        echo "---- JSON results $json:"
        cat "$json"
    fi
    echo
done
echo "The trace of the three runs is in $tool/trace/trace.log."
