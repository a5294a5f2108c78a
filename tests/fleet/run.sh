#!/bin/sh
# Installs a tool directory from the build tree into a throw-away directory and runs the
# fleet tests against it: the control-node helper, the collector, the playbook, and a
# generated fleet of 300 hosts and more with its page in headless Chromium.
# Usage: sh tests/fleet/run.sh BUILD_DIR
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-build}" && pwd) || exit 1
tool=$(mktemp -d "${TMPDIR:-/tmp}/kxfleet-tool.XXXXXX")
trap 'rm -rf "$tool"' 0
trap 'exit 1' 1 2 15
cmake --install "$build" --prefix "$tool" >/dev/null || exit 1

passed=0
failed=0
for suite in "python3 $top/tests/fleet/kxfleet_test.py" \
    "sh $top/tests/fleet/collector_test.sh $tool" \
    "sh $top/tests/fleet/playbook_test.sh $tool" \
    "/usr/bin/python3 $top/tests/fleet/fleet_page_test.py $tool $build"; do
    echo "== ${suite#* $top/}"
    start=$(date +%s)
    # shellcheck disable=SC2086
    if $suite; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    echo "   ($(($(date +%s) - start))s)"
done
echo "fleet-test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
