#!/bin/sh
# The fleet playbook against the simulated hosts (inventory.ini: three over a local
# connection, one unreachable) and, when run as root where sshd and sudo are installed,
# a fifth host over a real ssh connection to a throw-away sshd on the loopback address,
# with become and a tty as on a real fleet.
# Usage: sh tests/fleet/playbook_test.sh TOOL_DIR   (a tool directory from cmake --install)
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
tool=$(cd "${1:?usage: playbook_test.sh TOOL_DIR}" && pwd)
here=$top/tests/fleet
playbook=$top/contrib/ansible/kxsyfchk-fleet.yml

if ! command -v ansible-playbook >/dev/null 2>&1; then
    echo "playbook_test: SKIP: ansible-playbook is missing (apt-get install ansible-core)"
    exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kxplaybook.XXXXXX")
sshd_pid=
cleanup() {
    [ -z "$sshd_pid" ] || kill "$sshd_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup 0
trap 'exit 1' 1 2 15

pass=0
fail=0
check() { # description, command...
    what=$1
    shift
    if "$@"; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL: $what"; fi
}

# No user or site configuration, no lingering ssh masters.
: >"$work/ansible.cfg"
export ANSIBLE_CONFIG="$work/ansible.cfg" ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
export ANSIBLE_LOCAL_TEMP="$work/ansible-tmp" ANSIBLE_REMOTE_TEMP="$work/ansible-tmp" ANSIBLE_SSH_ARGS="-o ControlMaster=no"
export ANSIBLE_HOST_KEY_CHECKING=False

# The production profile of Debian's ansible-lint; offline, its cache in the work dir.
if command -v ansible-lint >/dev/null 2>&1; then
    check "ansible-lint passes the playbook (production profile)" sh -c \
        'cd "$1" && XDG_CACHE_HOME="$2/cache" NO_COLOR=1 ansible-lint --offline --nocolor \
            --profile production kxsyfchk-fleet.yml >"$2/lint.out" 2>&1' - \
        "$top/contrib/ansible" "$work"
    grep -q '^Passed' "$work/lint.out" || cat "$work/lint.out"
else
    check "ansible-lint is installed (apt-get install ansible-lint)" false
fi

python3 - <<'EOF' || { echo "playbook_test: port 1 of 127.0.0.1 is open: the unreachable host is not" >&2; exit 1; }
import socket, sys
s = socket.socket()
s.settimeout(2)
sys.exit(0 if s.connect_ex(("127.0.0.1", 1)) != 0 else 1)
EOF

inventories="-i $here/inventory.ini"
ssh_inventory=
ssh_host=
if [ "$(id -u)" = 0 ] && [ -x /usr/sbin/sshd ] && command -v sudo >/dev/null 2>&1; then
    s=$work/ssh
    mkdir -p "$s" /run/sshd
    ssh-keygen -q -t ed25519 -N '' -f "$s/hostkey" && ssh-keygen -q -t ed25519 -N '' -f "$s/key"
    cp "$s/key.pub" "$s/authorized_keys"
    echo "Authorized use only: a login banner the transfer must pass over." >"$s/banner"
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    cat >"$s/sshd_config" <<EOF
ListenAddress 127.0.0.1
Port $port
HostKey $s/hostkey
PidFile $s/sshd.pid
AuthorizedKeysFile $s/authorized_keys
StrictModes no
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
Banner $s/banner
EOF
    if /usr/sbin/sshd -f "$s/sshd_config" -E "$s/sshd.log"; then
        n=0
        while [ ! -s "$s/sshd.pid" ] && [ $n -lt 50 ]; do sleep 0.1; n=$((n + 1)); done
        sshd_pid=$(cat "$s/sshd.pid" 2>/dev/null)
        ssh_host=sol10-ssh
        cat >"$work/ssh.ini" <<EOF
[ssh]
$ssh_host ansible_connection=ssh ansible_host=127.0.0.1 ansible_port=$port ansible_user=root ansible_ssh_private_key_file=$s/key ansible_ssh_common_args="-o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null" ansible_become=true ansible_become_method=sudo kxsnap_root=$top/sim/solaris10 kx_transfer=auto
EOF
        ssh_inventory="-i $work/ssh.ini"
    else
        echo "playbook_test: sshd did not start: no ssh host ($(cat "$s/sshd.log"))"
    fi
else
    echo "playbook_test: NOTE: no ssh host (needs root, /usr/sbin/sshd and sudo)"
fi

# Each host's check run directly against its simulated root, for comparison.
mkdir -p "$work/direct"
for pair in sol10:solaris10 sol9:solaris9 sol11:solaris11; do
    h=${pair%%:*}
    env -i PATH="$PATH" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 KXDEFCHK_HOST_ROOT="$top/sim/${pair#*:}" \
        KXSYFCHK_JSON="$work/direct/$h.json" "$tool/bin/kxsyfchk" "$work/direct/$h.log" >/dev/null 2>&1
done

mask() { # the output log without its time stamps
    sed 's|^\[[0-9][0-9]/[0-9][0-9]/[0-9][0-9][0-9][0-9]_[0-9][0-9]:[0-9][0-9]:[0-9][0-9]\]|[stamp]|' "$1"
}

# The summary with the unreachable host's message masked.
masked() {
    sed 's/^\(unreachable-host  *-  *unreachable  *\).*/\1<message>/' "$1"
}

# Each document against the schema, with Debian's jsonschema.
valid() {
    for doc; do
        /usr/bin/python3 -m jsonschema -i "$doc" "$top/schema/kxsyfchk-results.schema.json" || return 1
    done
}

playbook() { # work dir, extra arguments...
    d=$1
    shift
    # shellcheck disable=SC2086
    (cd "$work" && ansible-playbook $inventories $extra_inventory "$playbook" -e kx_work_dir="$d" \
        -e kxsyfchk_bin="$tool/bin/kxsyfchk" -e kxsnap_remote_dir="$work/remote" "$@") >"$d.out" 2>&1
}

# --- The whole fleet ----------------------------------------------------------------------

run1=$work/run1
mkdir -p "$run1" "$work/remote"
extra_inventory=
start=$(date +%s)
playbook "$run1"
rc=$?
took=$(($(date +%s) - start))
echo "playbook_test: the fleet run took ${took}s"
check "the play succeeds (status $rc; see below)" test $rc = 0
[ $rc = 0 ] || tail -n 40 "$run1.out"
check "the play is quick, the unreachable host included (${took}s)" test "$took" -lt 60
summary=$run1/fleet-report/summary.txt
check "the play prints the summary" grep -q '"sol11  *5.11  *project.max-shm-memory (user.root)  *below-minimum' "$run1.out"
masked "$summary" >"$work/summary-masked"
check "the summary counts the findings by parameter and lists them by host" \
    cmp -s "$here/expected-summary.txt" "$work/summary-masked"
cmp -s "$here/expected-summary.txt" "$work/summary-masked" ||
    diff "$here/expected-summary.txt" "$work/summary-masked"
check "the unreachable host is listed with ssh's word" \
    grep -q '^unreachable-host  *- *unreachable .*127.0.0.1 port 1' "$summary"
for f in findings.csv findings.json fleet.html; do
    check "the summary writes $f" test -s "$run1/fleet-report/$f"
done
check "the hosts' JSON documents and the summary's sample are valid" \
    valid "$run1/fleet-report/sol10.json" "$run1/fleet-report/sol9.json" "$run1/fleet-report/sol11.json" \
    "$here/report-sample.json"
for h in sol10 sol9 sol11; do
    mask "$work/direct/$h.log" >"$work/want.log"
    mask "$run1/fleet-report/$h.log" >"$work/got.log"
    check "$h: the output log is the host's own" cmp -s "$work/want.log" "$work/got.log"
    check "$h: the output log has findings" grep -q 07001 "$work/got.log"
    check "$h: the JSON report is the host's own" python3 - "$work/direct/$h.json" "$run1/fleet-report/$h.json" <<'EOF'
import json, sys
a, b = (json.load(open(p)) for p in sys.argv[1:])
# The snapshot knows its host and time of collection; each check has its own time and
# its own trace.
for doc in (a, b):
    for key in ("output_log", "host", "collected", "checked", "trace"):
        doc.pop(key)
sys.exit(a != b or a["exit_status"] != 1)
EOF
    # Each check runs from tool-dirs/<host>: the trace is that run's and that host's.
    t=$run1/fleet-report/$h.trace
    check "$h: the check's trace is its own tool directory's" grep -q "\"trace\": \"$run1/tool-dirs/$h/trace/trace.log\"" "$run1/fleet-report/$h.json"
    check "$h: $h.trace holds its run" test "$(grep -ac "FILE=\|$run1/snapshots/$h/usr/bin/uname" "$t")" = 2
done
check "the unreachable host has no report" test ! -e "$run1/fleet-report/unreachable-host.json"
check "the hosts keep nothing of the collection" test -z "$(ls -A "$work/remote")"

# --- A host whose collection fails, under --limit -----------------------------------------
# The summary covers the limited hosts only, says why the host was not checked, and its
# report of the last run is gone rather than passed off as this one's.

playbook "$run1" --limit sol10 -e kx_transfer=bogus
rc=$?
check "a failed collection does not fail the play (status $rc)" test $rc = 0
check "under --limit, only the limited host is listed" \
    test "$(head -n 1 "$summary")" = "1 host: 1 not collected"
check "a failed collection is listed with its cause" \
    grep -q '^sol10  *- *not-collected *unknown kx_transfer bogus' "$summary"
check "a failed collection leaves no old report" \
    test ! -e "$run1/fleet-report/sol10.json" -a ! -e "$run1/fleet-report/sol10.log" \
    -a ! -e "$run1/fleet-report/sol10.trace"
check "the other hosts' reports stay" test -f "$run1/fleet-report/sol9.json"

# --- For cron and CI: the play fails on findings when asked -------------------------------

playbook "$run1" --limit sol9 -e kx_fail_on_findings=true
rc=$?
check "kx_fail_on_findings: a host with findings fails the play (status $rc)" test $rc = 2
check "kx_fail_on_findings: the summary is written and shown first" \
    grep -q '"1 host: 1 with findings",' "$run1.out"
check "kx_fail_on_findings: the failure says why" \
    grep -q '"msg": "1 host: 1 with findings: see .*summary.txt"' "$run1.out"
check "kx_fail_on_findings: the JSON document is valid" valid "$run1/fleet-report/sol9.json"

# --- Over ssh with become and a tty --------------------------------------------------------
# The ssh host is sol10 again: its rows are sol10's under another name.

if [ -n "$ssh_host" ]; then
    run2=$work/run2
    mkdir -p "$run2"
    extra_inventory=$ssh_inventory
    playbook "$run2" --limit "sol10:$ssh_host"
    summary=$run2/fleet-report/summary.txt
    awk -v h="$ssh_host" '$1 == h { on = 1; print; next } !/^ / { on = 0 } on' "$summary" |
        tr -s ' ' | sed "s/^$ssh_host /sol10 /" >"$work/ssh-rows"
    awk '$1 == "sol10" { on = 1; print; next } !/^ / { on = 0 } on' "$summary" | tr -s ' ' >"$work/sol10-rows"
    check "over ssh with become and a tty: sol10's findings" \
        test -s "$work/ssh-rows" -a "$(head -n 1 "$summary")" = "2 hosts: 2 with findings"
    check "over ssh: the rows are sol10's" cmp -s "$work/sol10-rows" "$work/ssh-rows"
    check "over ssh: the snapshot equals the local one" \
        diff -r -x MANIFEST "$run2/snapshots/sol10" "$run2/snapshots/$ssh_host"
    check "over ssh: the JSON documents are valid" \
        valid "$run2/fleet-report/sol10.json" "$run2/fleet-report/$ssh_host.json"
fi

echo "playbook: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
