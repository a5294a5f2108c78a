#!/bin/sh
# Runs the fuzz targets of a KX_FUZZ build (see README.md beside this script).
#
#   tests/fuzz/run.sh [-r] BUILD SECONDS
#
# -r  first replays every kept input, tests/fuzz/regressions/<target>/ and the seed corpus
#     tests/fuzz/corpus/<target>/, through its target once: the regression test.
# Then each target fuzzes for SECONDS from its working corpus BUILD/corpus/<target>,
# seeded from the repository's. The repository is only read, except that the input of a
# crash, leak or timeout is copied into tests/fuzz/regressions/<target>/ to be kept.
# One summary line per target; the status is 1 when any target failed.
set -u

replay=0
if [ "${1:-}" = "-r" ]; then
    replay=1
    shift
fi
if [ $# -ne 2 ]; then
    echo "usage: $0 [-r] BUILD SECONDS" >&2
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
status=0

# Inputs longer than this are not tried. sysdef and prtconf lines are read whole however
# long they are, so that target gets room for lines far beyond any buffer.
max_len() {
    case $1 in
    fuzz_sysdef) echo 1048576 ;;
    *) echo 65536 ;;
    esac
}

count_files() {
    find "$1" -type f | wc -l | tr -d ' '
}

# The kept inputs of a target, one per line; names beginning with "." are not inputs.
kept_inputs() {
    find "$here/regressions/$1" "$here/corpus/$1" -type f ! -name '.*' 2>/dev/null | sort
}

# Runs every kept input of target $1 once.
replay_target() {
    target=$1
    bin=$build/tests/fuzz/$target
    log=$build/logs/$target.replay.log
    inputs=$(kept_inputs "$target")
    count=$(printf '%s\n' "$inputs" | grep -c .)
    if [ "$count" -eq 0 ]; then
        printf '%-14s replay   no inputs\n' "$target"
        return
    fi
    mkdir -p "$build/replay/$target"
    # The names are ours and hold no blanks.
    # shellcheck disable=SC2086
    if "$bin" -timeout=10 -artifact_prefix="$build/replay/$target/" $inputs >"$log" 2>&1; then
        printf '%-14s replay   %d inputs  ok\n' "$target" "$count"
        return
    fi
    failed=$(sed -n 's/^Running: //p' "$log" | tail -n 1)
    printf '%-14s replay   %d inputs  FAILED on %s (%s)\n' "$target" "$count" \
        "${failed#"$here"/}" "$log"
    status=1
}

# Keeps each failure input of the run in the repository; prints their kinds.
keep_artifacts() {
    target=$1
    artifacts=$2
    kinds=""
    for file in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* \
        "$artifacts"/oom-*; do
        [ -f "$file" ] || continue
        mkdir -p "$here/regressions/$target"
        cp "$file" "$here/regressions/$target/"
        kind=${file##*/}
        kinds="$kinds ${kind%%-*}"
    done
    echo "$kinds"
}

fuzz_target() {
    target=$1
    bin=$build/tests/fuzz/$target
    work=$build/corpus/$target
    artifacts=$build/artifacts/$target
    log=$build/logs/$target.log
    mkdir -p "$work"
    rm -rf "$artifacts"
    mkdir -p "$artifacts"
    if [ -d "$here/corpus/$target" ]; then
        cp "$here/corpus/$target"/* "$work"/ 2>/dev/null
    fi
    before=$(count_files "$work")
    start=$(date +%s)
    (cd "$build" && "$bin" -max_total_time="$seconds" -max_len="$(max_len "$target")" \
        -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" "$work") >"$log" 2>&1
    rc=$?
    elapsed=$(($(date +%s) - start))
    after=$(count_files "$work")
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    kinds=$(keep_artifacts "$target" "$artifacts")
    if [ -n "$kinds" ]; then
        result="FAILED:$kinds, kept in tests/fuzz/regressions/$target/ ($log)"
        status=1
    elif [ "$rc" -ne 0 ]; then
        result="FAILED: exit status $rc ($log)"
        status=1
    else
        result=ok
    fi
    printf '%-14s fuzz     %10s execs  %4d s  corpus %5d (+%d)  %s\n' "$target" \
        "${execs:-?}" "$elapsed" "$after" $((after - before)) "$result"
    sed -n 's/^SUMMARY: /    /p' "$log" | head -n 1
}

mkdir -p "$build/logs"
for source in "$here"/fuzz_*.cpp; do
    target=${source##*/}
    target=${target%.cpp}
    if [ ! -x "$build/tests/fuzz/$target" ]; then
        printf '%-14s FAILED: not built in %s\n' "$target" "$build"
        status=1
        continue
    fi
    [ "$replay" -eq 1 ] && replay_target "$target"
    fuzz_target "$target"
done
exit $status
