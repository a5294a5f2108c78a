#!/bin/sh
# The snapshot collector against the simulated hosts, under posh, ksh93 and dash: the
# installed tool must say the same of a snapshot as of its host.
# Usage: sh tests/fleet/collector_test.sh TOOL_DIR   (a tool directory from cmake --install)
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
tool=$(cd "${1:?usage: collector_test.sh TOOL_DIR}" && pwd)
kxsnap=$top/collect/kxsnap
shells="posh ksh93 dash"
hosts="solaris10 solaris9 solaris11"
work=$(mktemp -d "${TMPDIR:-/tmp}/kxfleet.XXXXXX")
trap 'rm -rf "$work"' 0
trap 'exit 1' 1 2 15

pass=0
fail=0
check() { # description, command...
    what=$1
    shift
    if "$@"; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL: $what"; fi
}

for sh in $shells; do
    command -v "$sh" >/dev/null 2>&1 || {
        echo "collector_test: $sh is missing (apt-get install posh ksh dash)" >&2
        exit 1
    }
done

# --- The scripts that run on a host parse under every shell, and hold nothing a Bourne
# shell lacks: the collector, and the playbook's collection step (its Jinja blanked) -----

runner=$work/kxsnap-run.sh
sed -e '/^{#/,/^#}/d' -e '/^{%.*%}$/d' -e 's/{{[^}]*}}/x/g' \
    "$top/contrib/ansible/templates/kxsnap-run.sh.j2" >"$runner"
for script in "$kxsnap" "$runner"; do
    for sh in $shells; do
        check "$sh -n parses $(basename "$script")" "$sh" -n "$script" 2>/dev/null
    done
done

# Each row: pattern @ what it finds @ a line that has it, so that no pattern is vacuous
# @ the one script it applies to, when not both.
while IFS='@' read -r pattern why example only; do
    [ -n "$pattern" ] || continue
    printf '%s\n' "$example" | grep -qE -e "$pattern"
    check "the pattern for $why finds: $example" test $? = 0
    for script in "$kxsnap" "$runner"; do
        [ -z "$only" ] || [ "$(basename "$script")" = "$only" ] || continue
        sed '/^[[:space:]]*#/d' "$script" | grep -nE -e "$pattern" >"$work/hits"
        check "$(basename "$script") has no $why: $(head -n 1 "$work/hits")" test $? = 1
    done
done <<'EOF'
\$\(@$(...) command substitution@d=$(pwd)
\$\(\(@$((...)) arithmetic@n=$((n + 1))
\[\[@[[ tests@if [[ -f x ]]; then
(^|[;&|[:space:]])local[[:space:]]@local variables@    local x=1
\$\{[A-Za-z_][A-Za-z0-9_]*(%|#)@${var%...} or ${var#...} trimming@n=${f##*/}
\$\{#@${#var} lengths@n=${#f}
(^|[;&|[:space:]])(test|\[)[[:space:]]+-e[[:space:]]@test -e@if [ -e "$f" ]; then
(^|[;&|[:space:]])(if|while|until|&&|\|\|)[[:space:]]+![[:space:]]@! before a command@if ! cp a b; then
(^|[;&|[:space:]])function[[:space:]]@the function keyword@function die {
(^|[;&|[:space:]])tar[[:space:]]+-?[a-y]*z@tar -z@tar czf x.tgz .
echo[[:space:]]+-[ne]@echo -n or -e@echo -n "x"
(^|[;&|[:space:]`(])(mktemp|basename|head|tail|readlink|stat|base64)[[:space:]]@a command not every Solaris has@f=`basename "$0"`
echo[^#]*\$@echo of a text that may hold backslashes@f=`echo "$frag" | sed 's,.*/,,'`@kxsnap
EOF

# --- Helpers --------------------------------------------------------------------------

# Runs the collector: shell, KXSNAP_ROOT, output directory, tag. Leaves $tag.out,
# $tag.err and $tag.rc in $work.
collect() {
    KXSNAP_ROOT=$2 "$1" "$kxsnap" "$3" >"$work/$4.out" 2>"$work/$4.err"
    echo $? >"$work/$4.rc"
}

unpack() { # archive, directory
    mkdir -p "$2" && gzip -dcf "$1" | tar -xf - -C "$2"
}

# Runs the installed tool against a host root: root, tag. Leaves console, status and the
# output log with its time stamps masked (or the word "absent").
run_tool() {
    log=$work/$2.log
    rm -f "$log"
    env -i PATH="$PATH" LANG=ja_JP.UTF-8 KXDEFCHK_HOST_ROOT="$1" \
        "$tool/bin/kxsyfchk" "$log" >"$work/$2.stdout" 2>"$work/$2.stderr"
    echo $? >"$work/$2.status"
    if [ -f "$log" ]; then
        sed 's|^\[[0-9][0-9]/[0-9][0-9]/[0-9][0-9][0-9][0-9]_[0-9][0-9]:[0-9][0-9]:[0-9][0-9]\]|[stamp]|' \
            "$log" >"$work/$2.masked"
    else
        echo absent >"$work/$2.masked"
    fi
}

same_check() { # host tag, snapshot tag, description
    for part in stdout stderr status masked; do
        check "$3: $part of the check" cmp -s "$work/$1.$part" "$work/$2.$part"
    done
}

# What a host command prints and returns, under a root, from an unrelated directory.
run_cmd() { # root, command, arguments...
    c=$1/$2
    shift 2
    (cd / && "$c" "$@") >"$work/cmd.stdout" 2>"$work/cmd.stderr"
    echo $? >"$work/cmd.status"
}

same_replay() { # host root, snapshot root, description[, the one command to compare]
    while read -r cmd args; do
        [ -z "${4-}" ] || [ "$4" = "$cmd" ] || continue
        run_cmd "$1" "$cmd" $args
        cat "$work/cmd.stdout" "$work/cmd.status" >"$work/want"
        run_cmd "$2" "$cmd" $args
        cat "$work/cmd.stdout" "$work/cmd.status" >"$work/got"
        check "$3: $cmd $args replays byte for byte" cmp -s "$work/want" "$work/got"
    done <<'EOF'
usr/bin/uname -r
usr/bin/uname -a
usr/bin/id
usr/sbin/sysdef
usr/sbin/prtconf
usr/bin/zonename
EOF
    [ -z "${4-}" ] || return
    run_cmd "$2" usr/bin/uname -n
    check "$3: uname -n is refused" test "$(cat "$work/cmd.status")" = 1 -a ! -s "$work/cmd.stdout" \
        -a -s "$work/cmd.stderr"
}

# The snapshot holds the host's files and nothing else: the same names (the commands
# replaced by replays) plus MANIFEST and the captures, and the files byte for byte.
same_files() { # host root, snapshot root, description
    {
        (cd "$1" && find . -type f)
        echo ./MANIFEST
        for c in uname-r uname-a id sysdef prtconf zonename zonecfg; do
            case $c in
            zonename) [ -f "$1/usr/bin/zonename" ] || continue ;;
            zonecfg) [ -f "$1/usr/sbin/zonecfg" ] || continue ;;
            esac
            echo "./capture/$c.out"
            echo "./capture/$c.status"
        done
    } | sort >"$work/want"
    (cd "$2" && find . -type f -o -type l) | sort >"$work/got"
    check "$3: the snapshot's files are the host's" cmp -s "$work/want" "$work/got"
    for f in $(cd "$1" && find etc opt -type f 2>/dev/null); do
        check "$3: $f byte for byte" cmp -s "$1/$f" "$2/$f"
    done
}

manifest_check() { # snapshot root, host root, start stamp, end stamp, description
    printf 'host: %s\ncollected: (time)\nkxsnap_version: 1.1\nrelease: %s\n' \
        "$("$2/usr/bin/uname" -n)" "$("$2/usr/bin/uname" -r)" >"$work/want"
    sed 's/^collected: .*/collected: (time)/' "$1/MANIFEST" >"$work/got"
    check "$5: MANIFEST" cmp -s "$work/want" "$work/got"
    c=$(sed -n 's/^collected: //p' "$1/MANIFEST")
    check "$5: MANIFEST time is UTC ISO 8601 ($c)" \
        sh -c 'printf "%s\n" "$1" | grep -qE "^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z$" &&
               printf "%s\n%s\n%s\n" "$2" "$1" "$3" | sort -c' - "$c" "$3" "$4"
}

stamp() { date -u '+%Y-%m-%dT%H:%M:%SZ'; }

# Collects from a host root under a shell and checks everything a snapshot must be.
full_check() { # shell, host root, tag of the host's own check, description
    out=$work/out.$1.$3
    snap=$work/snap.$1.$3
    mkdir -p "$out"
    before=$(stamp)
    collect "$1" "$2" "$out" "c.$1.$3"
    after=$(stamp)
    name=$("$2/usr/bin/uname" -n)
    check "$4: exit status 0 ($(cat "$work/c.$1.$3.err"))" test "$(cat "$work/c.$1.$3.rc")" = 0
    # Neither do the zone commands a release lacks ask for a warning.
    check "$4: no warning" test ! -s "$work/c.$1.$3.err"
    check "$4: prints the archive's path last" test "$(tail -n 1 "$work/c.$1.$3.out")" = "$out/$name.tar.Z"
    check "$4: leaves only the archive" test "$(ls -A "$out")" = "$name.tar.Z"
    unpack "$out/$name.tar.Z" "$snap"
    same_files "$2" "$snap" "$4"
    manifest_check "$snap" "$2" "$before" "$after" "$4"
    same_replay "$2" "$snap" "$4"
    run_tool "$snap" "snap.$1.$3"
    same_check "$3" "snap.$1.$3" "$4"
}

# --- Each shell against each simulated host -------------------------------------------

for host in $hosts; do
    run_tool "$top/sim/$host" "$host"
    for sh in $shells; do
        full_check "$sh" "$top/sim/$host" "$host" "$sh sim/$host"
    done
done
# The simulated hosts must have something to find, or the comparison proves little.
for host in $hosts; do
    check "sim/$host has findings (exit status 1)" test "$(cat "$work/$host.status")" = 1
done

# --- An untidy Solaris 11 host ----------------------------------------------------------
# No /etc/project; fragments that are not regular files or begin with "."; a link to a
# fragment; a prtconf that fails after part of its output, without a last newline.
odd=$work/odd
cp -R "$top/sim/solaris11" "$odd"
rm "$odd/etc/project"
mkdir "$odd/etc/system.d/subdir"
echo "set rlim_fd_max = 1" >"$odd/etc/system.d/.hidden"
echo "set rlim_fd_cur = 256" >"$work/outside-fragment"
ln -s "$work/outside-fragment" "$odd/etc/system.d/linked"
ln -s "$work/nowhere" "$odd/etc/system.d/dangling"
cat >"$odd/usr/sbin/prtconf" <<'EOF'
#!/bin/sh
printf 'System Configuration:  Example Systems  sun4v\nMemory size: 4096 Megabytes'
exit 3
EOF
run_tool "$odd" odd
for sh in $shells; do
    mkdir -p "$work/out.odd.$sh"
    collect "$sh" "$odd" "$work/out.odd.$sh" "odd.$sh"
    check "$sh odd host: exit status 0" test "$(cat "$work/odd.$sh.rc")" = 0
    snap=$work/snap.odd.$sh
    unpack "$work/out.odd.$sh/kxsol11.tar.Z" "$snap"
    check "$sh odd host: a missing /etc/project stays missing" test ! -e "$snap/etc/project" -a ! -L "$snap/etc/project"
    check "$sh odd host: the regular fragments only" \
        test "$(cd "$snap/etc/system.d" && ls -A | tr '\n' ' ')" = "linked site-tuning "
    check "$sh odd host: a linked fragment as its content" cmp -s "$work/outside-fragment" "$snap/etc/system.d/linked"
    same_replay "$odd" "$snap" "$sh odd host"
    run_tool "$snap" "snap.odd.$sh"
    same_check odd "snap.odd.$sh" "$sh odd host"
done

dash=$(command -v dash)
# --- The archive without compress, without gzip, and with only the allowed commands -----
# The collector runs with a PATH of the commands every Solaris has; the archive is .tar.Z
# with compress, .tar.gz with gzip only, a plain .tar with neither.
while read -r extra ext; do
    bin=$work/bin.$ext
    mkdir -p "$bin"
    for c in tar cp mkdir rm cat date sed mv chmod sort uname id hostname sleep expr $extra; do
        [ "$c" = - ] || ln -sf "$(command -v "$c")" "$bin/$c"
    done
    out=$work/out.path.$ext
    mkdir -p "$out"
    KXSNAP_ROOT=$top/sim/solaris9 PATH=$bin "$dash" "$kxsnap" "$out" >"$work/path.$ext.out" 2>"$work/path.$ext.err"
    echo $? >"$work/path.$ext.rc"
    check "PATH of $extra: exit status 0 ($(cat "$work/path.$ext.err"))" test "$(cat "$work/path.$ext.rc")" = 0
    check "PATH of $extra: kxsol9$ext" test "$(tail -n 1 "$work/path.$ext.out")" = "$out/kxsol9$ext"
    unpack "$out/kxsol9$ext" "$work/snap.path.$ext"
    run_tool "$work/snap.path.$ext" "snap.path.$ext"
    same_check solaris9 "snap.path.$ext" "PATH of $extra"
done <<'EOF'
compress .tar.Z
gzip .tar.gz
- .tar
EOF

# --- Fragment names that echo would change ------------------------------------------------
# Backslash sequences that echo expands (a tab, a \c that ends the name, octal dots), a
# name like an option, a byte of another code set, a "*", twins that differ by a last
# newline. Each arrives under its own name with its own content, but the names with a
# newline, which are listed in MANIFEST.
names=$work/names
cp -R "$top/sim/solaris11" "$names"
python3 - "$names/etc/system.d" <<'EOF'
import os, sys
for i, name in enumerate([rb"a\tb", rb"z\cfoo", b"z", rb"\0056\0056", b"-n", rb"back\\slash",
                          b"\xe9t\xe9", b"*", b"a", b"a\n", b"x\ny"]):
    with open(os.path.join(os.fsencode(sys.argv[1]), name), "wb") as stream:
        stream.write(b"set rlim_fd_cur = %d\n" % (1000 + i))
EOF
listing() { # directory, "faithful" to leave out the names with a newline
    python3 - "$@" <<'EOF'
import hashlib, os, sys
d = os.fsencode(sys.argv[1])
for name in sorted(os.listdir(d)):
    if b"\n" not in name or sys.argv[2:] != ["faithful"]:
        with open(os.path.join(d, name), "rb") as stream:
            print(repr(name), hashlib.sha1(stream.read()).hexdigest())
EOF
}
listing "$names/etc/system.d" faithful >"$work/names.want"
printf 'left_out: /etc/system.d/%s: a newline in its name\n' 'a\n' 'x\ny' >"$work/names.left"
for sh in $shells; do
    out=$work/out.names.$sh/o\\tdir
    mkdir -p "$out"
    collect "$sh" "$names" "$out" "names.$sh"
    check "$sh odd names: exit status 0" test "$(cat "$work/names.$sh.rc")" = 0
    check "$sh odd names: the archive's path as it is" test "$(tail -n 1 "$work/names.$sh.out")" = "$out/kxsol11.tar.Z"
    snap=$work/snap.names.$sh
    unpack "$out/kxsol11.tar.Z" "$snap"
    listing "$snap/etc/system.d" >"$work/names.got"
    check "$sh odd names: each fragment under its own name, byte for byte" cmp -s "$work/names.want" "$work/names.got"
    grep '^left_out: ' "$snap/MANIFEST" >"$work/names.manifest"
    check "$sh odd names: MANIFEST lists the names with a newline" cmp -s "$work/names.left" "$work/names.manifest"
    check "$sh odd names: with a warning each" test "$(grep -c 'a newline in its name' "$work/names.$sh.err")" = 2
done

# --- Commands that never end --------------------------------------------------------------
# Each row: shell, the command that never ends, exit status. It is killed at the limit
# and left out with the reason in MANIFEST; a uname that never ends fails the collection.
cat >"$work/never-ends" <<EOF
#!/bin/sh
echo \$\$ >"$work/hung.pid"
echo "partial output"
exec sleep 300
EOF
chmod 755 "$work/never-ends"
while read -r sh cmd status; do
    tag=$sh.$(basename "$cmd")
    hung=$work/hung.$tag
    cp -R "$top/sim/solaris10" "$hung"
    cp "$work/never-ends" "$hung/$cmd"
    out=$work/out.hung.$tag
    mkdir -p "$out"
    rm -f "$work/hung.pid"
    start=$(date +%s)
    KXSNAP_TIMEOUT=1 KXSNAP_ROOT=$hung "$sh" "$kxsnap" "$out" >"$work/hung.out" 2>"$work/hung.err"
    rc=$?
    took=$(($(date +%s) - start))
    check "$sh, $cmd never ends: exit status $status (got $rc)" test "$rc" = "$status"
    check "$sh, $cmd never ends: over in ${took}s" test "$took" -le 6
    check "$sh, $cmd never ends: it was killed" sh -c '! kill -0 "$(cat "$1")" 2>/dev/null' - "$work/hung.pid"
    if [ "$status" != 0 ]; then
        check "$sh, $cmd never ends: says why" grep -q 'no answer within 1 seconds' "$work/hung.err"
        check "$sh, $cmd never ends: leaves nothing" test -z "$(ls -A "$out")"
        continue
    fi
    snap=$work/snap.hung.$tag
    unpack "$out/kxsol10.tar.Z" "$snap"
    check "$sh, $cmd never ends: the reason in MANIFEST" \
        grep -qx "left_out: /$cmd: no answer within 1 seconds: killed" "$snap/MANIFEST"
    c=$(basename "$cmd")
    check "$sh, $cmd never ends: neither capture nor replay" \
        test ! -e "$snap/capture/$c.out" -a ! -e "$snap/capture/$c.status" -a ! -e "$snap/$cmd"
    check "$sh, $cmd never ends: the other commands are there" test -x "$snap/usr/sbin/prtconf"
done <<'EOF'
dash usr/sbin/sysdef 0
posh usr/sbin/sysdef 0
ksh93 usr/sbin/sysdef 0
dash usr/bin/id 0
dash usr/bin/uname 1
EOF

# --- Zones (Solaris 10 and 11) ---------------------------------------------------------------
# Each row: shell @ zonename's script, or - for none @ whether there is a zonecfg @ the zone
# zonecfg must be asked about, or - when there is none. zonecfg is asked about the zone
# zonename names, or the global zone when zonename is missing, fails or never ends.
while IFS='@' read -r sh zonename zonecfg zone; do
    [ -n "$sh" ] || continue
    tag=$sh.$(echo "$zonename$zonecfg" | tr -c 'a-z0-9' _)
    zoned=$work/zoned.$tag
    cp -R "$top/sim/solaris10" "$zoned"
    rm -f "$zoned/usr/bin/zonename" "$zoned/usr/sbin/zonecfg"
    if [ "$zonename" != - ]; then
        printf '#!/bin/sh\n%s\n' "$zonename" >"$zoned/usr/bin/zonename"
        chmod 755 "$zoned/usr/bin/zonename"
    fi
    if [ "$zonecfg" = yes ]; then
        cat >"$zoned/usr/sbin/zonecfg" <<EOF
#!/bin/sh
echo "\$*" >"$work/zonecfg.args"
printf 'rctl:\n\tname: zone.max-shm-memory\n\tvalue: (priv=privileged,limit=17179869184,action=deny)\n'
EOF
        chmod 755 "$zoned/usr/sbin/zonecfg"
    fi
    rm -f "$work/zonecfg.args"
    mkdir -p "$work/out.zoned.$tag"
    KXSNAP_TIMEOUT=1 KXSNAP_ROOT=$zoned "$sh" "$kxsnap" "$work/out.zoned.$tag" >/dev/null 2>"$work/zoned.err"
    check "$sh zones ($zonename, $zonecfg): exit status 0" test $? = 0
    snap=$work/snap.zoned.$tag
    unpack "$work/out.zoned.$tag/kxsol10.tar.Z" "$snap"
    if [ "$zone" = - ]; then
        check "$sh zones ($zonename, $zonecfg): no zonecfg, no capture" test ! -e "$snap/capture/zonecfg.out" -a ! -e "$snap/usr/sbin/zonecfg"
    else
        check "$sh zones ($zonename, $zonecfg): zonecfg -z $zone info rctl" test "$(cat "$work/zonecfg.args")" = "-z $zone info rctl"
        # The replay prints the capture whatever it is asked.
        run_cmd "$zoned" usr/sbin/zonecfg -z "$zone" info rctl
        cat "$work/cmd.stdout" "$work/cmd.status" >"$work/want"
        for args in "-z $zone info rctl" "info"; do
            # shellcheck disable=SC2086
            run_cmd "$snap" usr/sbin/zonecfg $args
            cat "$work/cmd.stdout" "$work/cmd.status" >"$work/got"
            check "$sh zones ($zonename, $zonecfg): zonecfg $args replays the capture" cmp -s "$work/want" "$work/got"
        done
    fi
    case $zonename in
    -|*sleep*)
        check "$sh zones ($zonename, $zonecfg): no zonename, no capture" test ! -e "$snap/capture/zonename.out" -a ! -e "$snap/usr/bin/zonename" ;;
    *)
        same_replay "$zoned" "$snap" "$sh zones ($zonename, $zonecfg)" usr/bin/zonename ;;
    esac
    case $zonename in
    *sleep*) check "$sh zones ($zonename, $zonecfg): one warning" test "$(wc -l <"$work/zoned.err")" = 1 ;;
    *) check "$sh zones ($zonename, $zonecfg): no warning ($(cat "$work/zoned.err"))" test ! -s "$work/zoned.err" ;;
    esac
done <<'EOF'
dash@echo dbzone@yes@dbzone
posh@echo dbzone@yes@dbzone
ksh93@echo dbzone@yes@dbzone
dash@echo "db zone"; exit 0@yes@db zone
dash@echo global; exit 1@yes@global
dash@-@yes@global
dash@exec sleep 300@yes@global
posh@echo dbzone@no@-
EOF

# --- Failures: a message, a non-zero status, nothing left behind ------------------------

nouname=$work/nouname
mkdir -p "$nouname/etc" "$work/out.fail"
while IFS='|' read -r what status root args; do
    # shellcheck disable=SC2086
    KXSNAP_ROOT=$root dash "$kxsnap" $args >"$work/f.out" 2>"$work/f.err"
    rc=$?
    check "$what: exit status $status (got $rc)" test "$rc" = "$status"
    check "$what: says why on stderr" test -s "$work/f.err"
    check "$what: leaves nothing" test -z "$(ls -A "$work/out.fail")"
done <<EOF
no output directory|1|$top/sim/solaris10|$work/out.fail/none
two arguments|2|$top/sim/solaris10|$work/out.fail $work/out.fail
a host without uname|1|$nouname|$work/out.fail
EOF
for limit in soon 0 -5 ""; do
    KXSNAP_TIMEOUT=$limit KXSNAP_ROOT=$top/sim/solaris10 dash "$kxsnap" "$work/out.fail" >"$work/f.out" 2>"$work/f.err"
    rc=$?
    check "a time limit of '$limit': exit status 1 (got $rc)" test "$rc" = 1
    check "a time limit of '$limit': says why" grep -q KXSNAP_TIMEOUT "$work/f.err"
    check "a time limit of '$limit': leaves nothing" test -z "$(ls -A "$work/out.fail")"
done

# A signal in the middle of a collection removes the work directory.
slow=$work/slow
cp -R "$top/sim/solaris10" "$slow"
cat >"$slow/usr/sbin/sysdef" <<EOF
#!/bin/sh
: >"$work/sysdef-started"
sleep 1
EOF
for sh in $shells; do
    out=$work/out.signal.$sh
    mkdir -p "$out"
    rm -f "$work/sysdef-started"
    KXSNAP_ROOT=$slow "$sh" "$kxsnap" "$out" >/dev/null 2>&1 &
    pid=$!
    n=0
    while [ ! -f "$work/sysdef-started" ] && [ $n -lt 100 ]; do sleep 0.05; n=$((n + 1)); done
    kill -TERM "$pid"
    wait "$pid"
    rc=$?
    check "$sh: a signal ends the collection with a failure (got $rc)" test "$rc" -ne 0
    check "$sh: a signal leaves nothing behind" test -z "$(ls -A "$out")"
done

echo "collector: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
