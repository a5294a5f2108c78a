#!/usr/bin/env python3
"""Control-node half of the kxsyfchk fleet playbook (standard library only).

unpack:  reads what the collection step printed on a host (collector status and
         messages, the archive in uuencode or `od -b` form, its POSIX cksum), checks
         it, and lays the snapshot out under --dest.
summary: reads the hosts' outcomes (JSON on standard input) and their reports, writes
         the fleet summary table.

The snapshot's commands are run by the check on the control node, so an archive's own
scripts are never unpacked: only the host files and the captured outputs are taken,
and the replay commands are written here, the same as the collector writes them.
"""

import argparse
import binascii
import gzip
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile

# What a snapshot may hold besides the replay commands.
MEMBER_PATTERNS = [
    re.compile(r"MANIFEST"),
    re.compile(r"capture/(uname-r|uname-a|id|sysdef|prtconf)\.(out|status)"),
    re.compile(r"etc/system"),
    re.compile(r"etc/system\.d/[^/.][^/]*"),
    re.compile(r"etc/project"),
    re.compile(r"opt/vestrel/etc/vestrel\.reg"),
    re.compile(r"opt/ZVNQkxsdl/etc/tolvrc"),
]

# Byte for byte the replay commands of collect/kxsnap (tests/fleet compares them).
REPLAY_UNAME = """#!/bin/sh
# uname as kxsnap captured it on the host: -r and -a print what the host printed.
d=`dirname "$0"`/../../capture
case $#$1 in
1-r) f=uname-r ;;
1-a) f=uname-a ;;
*) echo "usage: uname [-a | -r]" >&2; exit 1 ;;
esac
cat "$d/$f.out" || exit 1
exit `cat "$d/$f.status"`
"""

REPLAY_COMMAND = """#!/bin/sh
# {name} as kxsnap captured it on the host: its output and exit status, whatever the options.
d=`dirname "$0"`/../../capture
cat "$d/{name}.out" || exit 1
exit `cat "$d/{name}.status"`
"""

REPLAY_GREP = """#!/bin/sh
# grep of the checking machine: a snapshot holds no program of its host.
command -p grep "$@"
"""

REPLAYS = [
    ("usr/bin/uname", "uname-r", REPLAY_UNAME),
    ("usr/bin/id", "id", REPLAY_COMMAND.format(name="id")),
    ("usr/sbin/sysdef", "sysdef", REPLAY_COMMAND.format(name="sysdef")),
    ("usr/sbin/prtconf", "prtconf", REPLAY_COMMAND.format(name="prtconf")),
]

DEFAULT_MAX_BYTES = 256 << 20


class UnpackError(Exception):
    pass


# --- The transcript of the collection step ---------------------------------------------


def parse_transcript(text):
    """The collection step's markers and data. Lines outside the markers (a login banner,
    sudo's words, a tty's carriage returns) are passed over."""
    lines = [line.rstrip("\r") for line in text.split("\n")]
    result = {"status": None, "stderr": "", "fail": None, "archive": None,
              "cksum": None, "encoding": None, "data": None}
    i = 0
    while i < len(lines):
        line = lines[i]
        word, _, rest = line.partition(" ")
        if word == "KXSNAP-STATUS":
            result["status"] = int(rest) if rest.strip().isdigit() else None
        elif word == "KXSNAP-FAIL":
            result["fail"] = rest
        elif word == "KXSNAP-ARCHIVE":
            result["archive"] = rest.strip()
        elif word == "KXSNAP-CKSUM":
            fields = rest.split()
            if len(fields) >= 2 and fields[0].isdigit() and fields[1].isdigit():
                result["cksum"] = (int(fields[0]), int(fields[1]))
        elif word == "KXSNAP-STDERR-BEGIN":
            end = _find(lines, i + 1, "KXSNAP-STDERR-END")
            result["stderr"] = "\n".join(lines[i + 1:end]).strip("\n")
            i = end
        elif word == "KXSNAP-DATA-BEGIN":
            end = _find(lines, i + 1, "KXSNAP-DATA-END")
            if end == len(lines):
                raise UnpackError("the archive's text is cut short (no KXSNAP-DATA-END)")
            result["encoding"] = rest.strip()
            result["data"] = lines[i + 1:end]
            i = end
        i += 1
    return result


def _find(lines, start, marker):
    for j in range(start, len(lines)):
        if lines[j] == marker:
            return j
    return len(lines)


def decode_uu(lines):
    """uuencode's historical form, as every Solaris writes it."""
    out = bytearray()
    started = False
    for line in lines:
        if not started:
            started = line.startswith("begin ")
            continue
        if line == "end":
            return bytes(out)
        if not line:
            continue
        try:
            out += binascii.a2b_uu(line)
        except binascii.Error:
            # Some encoders pad the last group with stray characters: take what the
            # length byte says.
            nbytes = (((ord(line[0]) - 32) & 63) * 4 + 5) // 3
            try:
                out += binascii.a2b_uu(line[:nbytes])
            except binascii.Error as error:
                raise UnpackError("bad uuencode line: %r (%s)" % (line[:20], error))
    raise UnpackError("uuencode text without begin and end lines")


def decode_od(lines):
    """`od -b`: octal offsets and octal bytes; "*" stands for repeats of the line above
    up to the next offset; the last line is the total length alone."""
    out = bytearray()
    previous = b""
    repeating = False
    for line in lines:
        fields = line.split()
        if not fields:
            continue
        if fields == ["*"]:
            repeating = True
            continue
        try:
            offset = int(fields[0], 8)
            chunk = bytes(int(f, 8) for f in fields[1:])
        except ValueError:
            raise UnpackError("bad od line: %r" % line[:40])
        if repeating:
            if not previous or (offset - len(out)) % len(previous) != 0:
                raise UnpackError("od repeat does not fill up to offset %o" % offset)
            out += previous * ((offset - len(out)) // len(previous))
            repeating = False
        if offset != len(out):
            raise UnpackError("od offset %o where %o was due" % (offset, len(out)))
        out += chunk
        if chunk:
            previous = chunk
    return bytes(out)


def posix_cksum(data):
    """The CRC of POSIX cksum (CRC-32/CKSUM, the length appended)."""
    crc = 0
    table = _cksum_table()
    for byte in data:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ table[(crc >> 24) ^ byte]
    length = len(data)
    while length:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ table[(crc >> 24) ^ (length & 0xFF)]
        length >>= 8
    return ~crc & 0xFFFFFFFF


_TABLE = []


def _cksum_table():
    if not _TABLE:
        for i in range(256):
            c = i << 24
            for _ in range(8):
                c = ((c << 1) ^ 0x04C11DB7) if c & 0x80000000 else (c << 1)
            _TABLE.append(c & 0xFFFFFFFF)
    return _TABLE


def archive_bytes(transcript):
    """The archive the host sent, checked against its cksum."""
    if transcript["fail"]:
        raise UnpackError(transcript["fail"])
    if transcript["status"] is None:
        raise UnpackError("the collection step printed no status")
    if transcript["status"] != 0:
        raise UnpackError("kxsnap failed with status %d: %s"
                          % (transcript["status"], transcript["stderr"] or "no message"))
    if transcript["data"] is None or not transcript["archive"]:
        raise UnpackError("the collection step sent no archive")
    decoders = {"uu": decode_uu, "od": decode_od}
    if transcript["encoding"] not in decoders:
        raise UnpackError("unknown encoding %r" % transcript["encoding"])
    data = decoders[transcript["encoding"]](transcript["data"])
    if transcript["cksum"] is None:
        raise UnpackError("the collection step sent no cksum")
    got = (posix_cksum(data), len(data))
    if got != transcript["cksum"]:
        raise UnpackError("the archive arrived damaged: cksum %d %d, the host said %d %d"
                          % (got + transcript["cksum"]))
    return data


def tar_bytes(name, data, max_bytes):
    """The tar inside a .tar.Z, .tar.gz or .tar, at most max_bytes long."""
    if name.endswith(".tar.Z"):
        # LZW is not in Python's library; gzip reads compress's format.
        with tempfile.TemporaryFile() as packed:
            packed.write(data)
            packed.seek(0)
            try:
                child = subprocess.Popen(["gzip", "-dc"], stdin=packed, stdout=subprocess.PIPE,
                                         stderr=subprocess.PIPE)
            except OSError as error:
                raise UnpackError("cannot run gzip to uncompress %s: %s" % (name, error))
            tar = child.stdout.read(max_bytes + 1)
            if len(tar) > max_bytes:
                child.kill()
            _, err = child.communicate()
        if len(tar) <= max_bytes and child.returncode != 0:
            raise UnpackError("cannot uncompress %s: %s" % (name, err.decode(errors="replace")))
    elif name.endswith(".tar.gz"):
        try:
            with gzip.GzipFile(fileobj=io.BytesIO(data)) as stream:
                tar = stream.read(max_bytes + 1)
        except (OSError, EOFError) as error:
            raise UnpackError("cannot uncompress %s: %s" % (name, error))
    elif name.endswith(".tar"):
        tar = data
    else:
        raise UnpackError("not an archive of kxsnap: %s" % name)
    if len(tar) > max_bytes:
        raise UnpackError("%s unpacks to more than %d bytes" % (name, max_bytes))
    return tar


def extract(tar, dest):
    """Writes the snapshot's files into the new directory dest; returns the names left
    out. Only regular files of the known names are taken, whatever the archive says."""
    taken, ignored = {}, []
    try:
        with tarfile.open(fileobj=io.BytesIO(tar), mode="r:") as archive:
            for member in archive:
                name = member.name
                while name.startswith("./"):
                    name = name[2:]
                if member.isdir() or name in ("", "."):
                    continue
                if member.isreg() and any(p.fullmatch(name) for p in MEMBER_PATTERNS):
                    taken[name] = archive.extractfile(member).read()
                elif not (member.isreg() and name.startswith("usr/")):
                    ignored.append(name)
    except tarfile.TarError as error:
        raise UnpackError("bad tar: %s" % error)
    if "MANIFEST" not in taken:
        raise UnpackError("the archive holds no MANIFEST")
    os.mkdir(dest, 0o700)
    for name, content in sorted(taken.items()):
        _write(os.path.join(dest, name), content, 0o600)
    write_replays(dest)
    return ignored


def write_replays(dest):
    """The replay commands for the captures the snapshot holds, and grep."""
    for path, capture, text in REPLAYS:
        if os.path.isfile(os.path.join(dest, "capture", capture + ".status")):
            _write(os.path.join(dest, path), text.encode(), 0o700)
    _write(os.path.join(dest, "usr/bin/grep"), REPLAY_GREP.encode(), 0o700)


def _write(path, content, mode):
    os.makedirs(os.path.dirname(path), 0o700, exist_ok=True)
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)
    with os.fdopen(fd, "wb") as stream:
        stream.write(content)


def read_manifest(path):
    manifest = {}
    with open(path, encoding="utf-8", errors="replace") as stream:
        for line in stream:
            key, sep, value = line.rstrip("\n").partition(": ")
            if sep:
                manifest[key] = value
    return manifest


def unpack(text, dest, max_bytes=DEFAULT_MAX_BYTES):
    """Replaces the snapshot at dest with the one in text; returns its description."""
    transcript = parse_transcript(text)
    data = archive_bytes(transcript)
    tar = tar_bytes(transcript["archive"], data, max_bytes)
    parent = os.path.dirname(os.path.abspath(dest))
    os.makedirs(parent, exist_ok=True)
    fresh = "%s.new.%d" % (dest, os.getpid())
    shutil.rmtree(fresh, ignore_errors=True)
    try:
        ignored = extract(tar, fresh)
    except BaseException:
        shutil.rmtree(fresh, ignore_errors=True)
        raise
    # The old snapshot goes only once the new one is whole.
    old = "%s.old.%d" % (dest, os.getpid())
    if os.path.lexists(dest):
        os.rename(dest, old)
    os.rename(fresh, dest)
    shutil.rmtree(old, ignore_errors=True)
    return {"snapshot": os.path.abspath(dest), "archive": transcript["archive"],
            "bytes": len(data), "manifest": read_manifest(os.path.join(dest, "MANIFEST")),
            "collector_messages": transcript["stderr"], "ignored": ignored}


# --- The summary --------------------------------------------------------------------------


def findings_of(report):
    """(count, lines) of the requirements not met, from the tool's JSON report."""
    rows = []
    for requirement in report.get("requirements") or []:
        verdict = requirement.get("verdict") or []
        if verdict == ["ok"]:
            continue
        where = requirement.get("parameter") or "?"
        if requirement.get("project"):
            where += " (%s)" % requirement["project"]
        rows.append("%s: %s" % (where, ",".join(verdict) or "?"))
    return len(rows), rows


def host_row(outcome):
    """host, release, status, findings, detail lines of one host."""
    host = outcome.get("host", "?")
    state = outcome.get("state", "unreachable")
    release = outcome.get("release") or "-"
    message = (outcome.get("message") or "").splitlines()
    if state == "unreachable":
        return [host, release, "unreachable", "-", message or ["cannot be reached"]]
    if state != "checked":
        return [host, release, "not-collected", "-", message or ["no snapshot"]]
    # What the collector warned of (a file left out, not run as root) goes with the rows.
    notes = (outcome.get("notes") or "").splitlines()
    status = str(outcome.get("rc", "?"))
    report = None
    path = outcome.get("json")
    if path and os.path.isfile(path):
        try:
            with open(path, encoding="utf-8") as stream:
                report = json.load(stream)
        except (OSError, ValueError) as error:
            return [host, release, status, "?", ["unreadable JSON report %s: %s" % (path, error)] + notes]
    if report is None:
        return [host, release, status, "?", ["no JSON report (%s)" % (path or "none asked for")]
                + message + notes]
    release = report.get("release") or release
    count, rows = findings_of(report)
    if report.get("exit_status") == 255 or outcome.get("rc") == 255:
        rows = rows or ["the check failed: see %s" % (report.get("trace") or "the tool's trace")]
    return [host, release, status, str(count), rows + notes]


def summary(outcomes):
    """The summary table as text."""
    heading = ["host", "release", "status", "findings", "parameter (project): verdict"]
    rows = [host_row(o) for o in outcomes]
    widths = [max(len(str(r[i])) for r in rows + [heading]) for i in range(4)]

    def line(cells, detail):
        return "  ".join(str(c).ljust(w) for c, w in zip(cells, widths)) + "  " + detail

    out = [line(heading[:4], heading[4]).rstrip()]
    for row in rows:
        details = row[4] or [""]
        out.append(line(row[:4], details[0]).rstrip())
        out.extend(line([""] * 4, d).rstrip() for d in details[1:])
    counts = {}
    for row in rows:
        key = {"0": "passed", "1": "with findings", "255": "failed"}.get(row[2], row[2])
        counts[key] = counts.get(key, 0) + 1
    order = ["passed", "with findings", "failed", "unreachable", "not-collected"]
    keys = [k for k in order if k in counts] + sorted(k for k in counts if k not in order)
    told = ", ".join("%d %s" % (counts[k], k) for k in keys)
    out.append("")
    out.append("%d host%s: %s" % (len(rows), "" if len(rows) == 1 else "s", told))
    return "\n".join(out) + "\n"


# --- Command line -------------------------------------------------------------------------


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    p_unpack = commands.add_parser("unpack", help="the collection step's output on stdin")
    p_unpack.add_argument("--dest", required=True, help="snapshot directory to (re)place")
    p_unpack.add_argument("--max-bytes", type=int, default=DEFAULT_MAX_BYTES)
    p_summary = commands.add_parser("summary", help="outcomes (JSON list) on stdin")
    p_summary.add_argument("--out", required=True, help="summary file to write")
    args = parser.parse_args(argv)

    text = sys.stdin.buffer.read().decode("utf-8", errors="replace")
    if args.command == "unpack":
        try:
            result = unpack(text, args.dest, args.max_bytes)
        except (UnpackError, OSError) as error:
            print("kxfleet: %s" % error, file=sys.stderr)
            return 1
        print(json.dumps(result, sort_keys=True))
        return 0
    table = summary(json.loads(text))
    tmp = args.out + ".tmp"
    with open(tmp, "w", encoding="utf-8") as stream:
        stream.write(table)
    os.replace(tmp, args.out)
    sys.stdout.write(table)
    return 0


if __name__ == "__main__":
    sys.exit(main())
