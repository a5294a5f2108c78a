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
import zlib

# What a snapshot may hold besides the replay commands.
MEMBER_PATTERNS = [
    re.compile(r"MANIFEST"),
    re.compile(r"capture/(uname-r|uname-a|id|sysdef|prtconf|zonename|zonecfg)\.(out|status)"),
    re.compile(r"etc/system"),
    re.compile(r"etc/system\.d/[^/.\0][^/\0]*"),
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
    ("usr/bin/zonename", "zonename", REPLAY_COMMAND.format(name="zonename")),
    ("usr/sbin/zonecfg", "zonecfg", REPLAY_COMMAND.format(name="zonecfg")),
]

# The archive as sent and the tar inside it may each be this long.
DEFAULT_MAX_BYTES = 256 << 20
# Lines of od and uuencode are under 80 bytes; a longer line is read in pieces this long.
MAX_LINE = 64 << 10
# What is kept of the collector's messages, of MANIFEST, and of the names passed over.
MAX_STDERR = 64 << 10
MAX_MANIFEST = 64 << 10
MAX_IGNORED = 100
# A pax header or GNU long name; PATH_MAX is 1024 on Solaris, 4096 here.
MAX_EXTENDED = 1 << 20
CHUNK = 1 << 20


class UnpackError(Exception):
    pass


# --- The transcript of the collection step ---------------------------------------------


def parse_transcript(source, max_bytes=DEFAULT_MAX_BYTES):
    """The collection step's markers, and the archive decoded into a file as its text
    streams by (text: a str or a binary stream). Lines outside the markers (a login
    banner, sudo's words, a tty's carriage returns) are passed over."""
    if isinstance(source, str):
        source = io.BytesIO(source.encode("utf-8", "surrogateescape"))
    result = {"status": None, "bad_status": None, "stderr": "", "fail": None,
              "archive": None, "cksum": None, "bad_cksum": None, "encoding": None,
              "data": None}
    section, stderr = None, bytearray()
    for line, cut in _lines(source):
        if section == "stderr":
            if line == b"KXSNAP-STDERR-END":
                section = None
                result["stderr"] = _text(bytes(stderr)).strip("\n")
            elif len(stderr) < MAX_STDERR:
                stderr += line[:MAX_STDERR - len(stderr)] + b"\n"
            continue
        if section == "data":
            if line == b"KXSNAP-DATA-END":
                section = None
                result["data"].finish()
            else:
                result["data"].line(line, cut)
            continue
        word, _, rest = line.partition(b" ")
        if word == b"KXSNAP-STATUS":
            if _NUMBER.fullmatch(rest.strip()):
                result["status"], result["bad_status"] = int(rest.strip()), None
            else:
                result["status"], result["bad_status"] = None, _text(rest)
        elif word == b"KXSNAP-FAIL":
            result["fail"] = _text(rest)
        elif word == b"KXSNAP-ARCHIVE":
            result["archive"] = _text(rest).strip()
        elif word == b"KXSNAP-CKSUM":
            fields = rest.split()
            if len(fields) >= 2 and _NUMBER.fullmatch(fields[0]) and _NUMBER.fullmatch(fields[1]):
                result["cksum"], result["bad_cksum"] = (int(fields[0]), int(fields[1])), None
            else:
                result["cksum"], result["bad_cksum"] = None, _text(rest)
        elif word == b"KXSNAP-STDERR-BEGIN":
            section, stderr = "stderr", bytearray()
        elif word == b"KXSNAP-DATA-BEGIN":
            section = "data"
            if result["data"] is not None:
                result["data"].file.close()
            result["encoding"] = _text(rest).strip()
            result["data"] = Decoded(result["encoding"], max_bytes)
    if section == "stderr":
        result["stderr"] = _text(bytes(stderr)).strip("\n")
    elif section == "data":
        result["data"].file.close()
        raise UnpackError("the archive's text is cut short (no KXSNAP-DATA-END)")
    return result


# Numbers of the markers: ASCII digits (str.isdigit takes "²", which int refuses), and few
# enough for int.
_NUMBER = re.compile(rb"[0-9]{1,20}")


def _lines(stream):
    """(line, cut) for each line of a binary stream, without its line end. A line longer
    than MAX_LINE comes cut (cut true) and its rest is passed over."""
    while True:
        line = stream.readline(MAX_LINE)
        if not line:
            return
        if line.endswith(b"\n"):
            yield line[:-1].rstrip(b"\r"), False
            continue
        cut = len(line) == MAX_LINE
        rest = line
        while len(rest) == MAX_LINE and not rest.endswith(b"\n"):
            rest = stream.readline(MAX_LINE)
        yield line.rstrip(b"\r"), cut


def _text(data):
    return data.decode("utf-8", errors="replace")


class Decoded:
    """The archive decoded from its text into a temporary file, as it comes: counted,
    summed, and never longer than max_bytes. The first fault is kept in .error and ends
    the decoding, to be told once the markers have been checked."""

    def __init__(self, encoding, max_bytes):
        self.file = tempfile.TemporaryFile()
        self.length = 0
        self.max_bytes = max_bytes
        self.error = None
        self._sum = Cksum()
        decoders = {"uu": _UuDecoder, "od": _OdDecoder}
        self._decoder = decoders[encoding](self) if encoding in decoders else None
        self.known = self._decoder is not None

    def line(self, line, cut):
        if not self.known or self.error:
            return
        try:
            if cut:
                raise UnpackError("a line of more than %d bytes in the archive's text" % MAX_LINE)
            self._decoder.line(line)
        except UnpackError as error:
            self.error = error

    def finish(self):
        if self.known and not self.error:
            try:
                self._decoder.finish()
            except UnpackError as error:
                self.error = error

    def write(self, data, times=1):
        if self.length + len(data) * times > self.max_bytes:
            raise UnpackError("the archive is more than %d bytes" % self.max_bytes)
        piece = data * max(1, min(times, CHUNK // max(1, len(data))))
        left = len(data) * times
        while left > 0:
            part = piece[:left]
            self.file.write(part)
            self._sum.update(part)
            left -= len(part)
        self.length += len(data) * times

    def cksum(self):
        return self._sum.value(self.length), self.length


class _UuDecoder:
    """uuencode's historical form, as every Solaris writes it."""

    def __init__(self, out):
        self.out, self.started, self.ended = out, False, False

    def line(self, line):
        if self.ended:
            return
        if not self.started:
            self.started = line.startswith(b"begin ")
            return
        if line == b"end":
            self.ended = True
            return
        if not line:
            return
        try:
            data = binascii.a2b_uu(line)
        except binascii.Error:
            # Some encoders pad the last group with stray characters: take what the
            # length byte says.
            nbytes = (((line[0] - 32) & 63) * 4 + 5) // 3
            try:
                data = binascii.a2b_uu(line[:nbytes])
            except binascii.Error as error:
                raise UnpackError("bad uuencode line: %r (%s)" % (_text(line[:20]), error))
        self.out.write(data)

    def finish(self):
        if not self.ended:
            raise UnpackError("uuencode text without begin and end lines")


_OCTAL = re.compile(rb"[0-7]{1,22}")


class _OdDecoder:
    """`od -b`: octal offsets and octal bytes; "*" stands for repeats of the line above
    up to the next offset; the last line is the total length alone."""

    def __init__(self, out):
        self.out, self.previous, self.repeating = out, b"", False

    def line(self, line):
        fields = line.split()
        if not fields:
            return
        if fields == [b"*"]:
            self.repeating = True
            return
        values = [int(f, 8) for f in fields if _OCTAL.fullmatch(f)]
        if len(values) != len(fields) or max(values[1:], default=0) > 255:
            raise UnpackError("bad od line: %r" % _text(line[:40]))
        offset, chunk = values[0], bytes(values[1:])
        if self.repeating:
            gap = offset - self.out.length
            if not self.previous or gap % len(self.previous) != 0:
                raise UnpackError("od repeat does not fill up to offset %o" % offset)
            # The repeats are checked against the limit before they are written.
            self.out.write(self.previous, max(0, gap // len(self.previous)))
            self.repeating = False
        if offset != self.out.length:
            raise UnpackError("od offset %o where %o was due" % (offset, self.out.length))
        self.out.write(chunk)
        if chunk:
            self.previous = chunk

    def finish(self):
        pass


# POSIX cksum's CRC is zlib's CRC-32 with the bits of each byte and of the result
# reversed, started from zero instead of all ones: zlib then sums at C speed.
_REVERSED = bytes(int("{:08b}".format(i)[::-1], 2) for i in range(256))


class Cksum:
    """The CRC of POSIX cksum (CRC-32/CKSUM), taken as the data streams by."""

    def __init__(self):
        self._crc = 0xFFFFFFFF  # zlib's running value for a register of zero

    def update(self, data):
        self._crc = zlib.crc32(bytes(data).translate(_REVERSED), self._crc)

    def value(self, length):
        """The sum once `length` bytes have gone by (cksum appends the length)."""
        tail = bytearray()
        while length:
            tail.append(length & 0xFF)
            length >>= 8
        crc = zlib.crc32(bytes(tail).translate(_REVERSED), self._crc)
        register = int("{:032b}".format(~crc & 0xFFFFFFFF)[::-1], 2)
        return ~register & 0xFFFFFFFF


def posix_cksum(data):
    """The CRC of POSIX cksum (CRC-32/CKSUM, the length appended)."""
    crc = Cksum()
    crc.update(data)
    return crc.value(len(data))


def archive_file(transcript):
    """The file of the archive the host sent, checked against its cksum."""
    if transcript["fail"]:
        raise UnpackError(transcript["fail"])
    if transcript["bad_status"] is not None:
        raise UnpackError("the collection step printed a status that is no number: %r"
                          % transcript["bad_status"][:40])
    if transcript["status"] is None:
        raise UnpackError("the collection step printed no status")
    if transcript["status"] != 0:
        raise UnpackError("kxsnap failed with status %d: %s"
                          % (transcript["status"], transcript["stderr"] or "no message"))
    if transcript["data"] is None or not transcript["archive"]:
        raise UnpackError("the collection step sent no archive")
    decoded = transcript["data"]
    if not decoded.known:
        raise UnpackError("unknown encoding %r" % transcript["encoding"])
    if decoded.error:
        raise decoded.error
    if transcript["bad_cksum"] is not None:
        raise UnpackError("the collection step sent a cksum that is no pair of numbers: %r"
                          % transcript["bad_cksum"][:40])
    if transcript["cksum"] is None:
        raise UnpackError("the collection step sent no cksum")
    got = decoded.cksum()
    if got != transcript["cksum"]:
        raise UnpackError("the archive arrived damaged: cksum %d %d, the host said %d %d"
                          % (got + transcript["cksum"]))
    decoded.file.seek(0)
    return decoded.file


def archive_bytes(transcript):
    """The archive the host sent, checked against its cksum."""
    try:
        return archive_file(transcript).read()
    finally:
        if transcript["data"] is not None:
            transcript["data"].file.close()


# --- The tar inside the archive -----------------------------------------------------------


def tar_file(name, archive, max_bytes):
    """(file, length) of the tar inside the .tar.Z, .tar.gz or .tar file archive, at most
    max_bytes long."""
    if name.endswith(".tar"):
        archive.seek(0, os.SEEK_END)
        return archive, archive.tell()
    if not name.endswith((".tar.Z", ".tar.gz")):
        raise UnpackError("not an archive of kxsnap: %s" % name)
    out = tempfile.TemporaryFile()
    try:
        archive.seek(0)
        if name.endswith(".tar.Z"):
            length = _gunzip_child(name, archive, out, max_bytes)
        else:
            length = _gunzip(name, archive, out, max_bytes)
        if length is None:
            raise UnpackError("%s unpacks to more than %d bytes" % (name, max_bytes))
    except BaseException:
        out.close()
        raise
    return out, length


def _gunzip(name, archive, out, max_bytes):
    try:
        with gzip.GzipFile(fileobj=archive) as stream:
            return _copy(stream, out, max_bytes)
    except (OSError, EOFError, zlib.error) as error:
        raise UnpackError("cannot uncompress %s: %s" % (name, error))


def _gunzip_child(name, archive, out, max_bytes):
    """LZW is not in Python's library; gzip reads compress's format."""
    with tempfile.TemporaryFile() as err:
        try:
            child = subprocess.Popen(["gzip", "-dc"], stdin=archive, stdout=subprocess.PIPE,
                                     stderr=err)
        except OSError as error:
            raise UnpackError("cannot run gzip to uncompress %s: %s" % (name, error))
        with child:
            length = _copy(child.stdout, out, max_bytes)
            if length is None:
                child.kill()
        if length is not None and child.returncode != 0:
            err.seek(0)
            raise UnpackError("cannot uncompress %s: %s" % (name, _one_line(err.read(4096))))
    return length


def _copy(source, out, max_bytes):
    """Copies source to out; the length, or None when it is longer than max_bytes."""
    length = 0
    while True:
        chunk = source.read(min(CHUNK, max_bytes + 1 - length))
        if not chunk:
            return length
        length += len(chunk)
        if length > max_bytes:
            return None
        out.write(chunk)


def _one_line(data):
    return "; ".join(line.strip() for line in _text(data).splitlines() if line.strip())


BLOCK = 512
REGULAR = (b"0", b"\0", b"7", b"S")
# Links, devices, directories and FIFOs have no data, whatever their size field says.
NO_DATA = (b"1", b"2", b"3", b"4", b"5", b"6")
# Headers that describe the member after them.
EXTENDED = (b"x", b"X", b"g", b"L", b"K")


def tar_members(tar, length):
    """(name, type, offset of the data, size, sparse) of each member of a tar file. The
    sizes are checked against the file before anything is read, and what is read at once
    is one header's worth."""
    offset, long_name, pax = 0, None, {}
    while offset < length:
        block = _read_at(tar, offset, BLOCK, length)
        if not block.strip(b"\0"):
            return
        try:
            info = tarfile.TarInfo.frombuf(block, "utf-8", "surrogateescape")
        except tarfile.HeaderError as error:
            raise UnpackError("bad tar: %s at byte %d" % (error, offset))
        if info.size < 0:
            raise UnpackError("bad tar: a size below zero at byte %d" % offset)
        offset += BLOCK
        if info.type in EXTENDED:
            if info.size > MAX_EXTENDED:
                raise UnpackError("bad tar: an extended header of %d bytes" % info.size)
            data = _read_at(tar, offset, info.size, length)
            offset += _padded(info.size)
            if info.type == b"L":
                long_name = data.split(b"\0", 1)[0].decode("utf-8", "surrogateescape")
            elif info.type in (b"x", b"X"):
                pax = _pax_header(data)
            # K (a long link name) and g (pax defaults) change nothing that is taken.
            continue
        name = pax.get("path", long_name if long_name is not None else info.name)
        if info.type == b"5":
            name = name.rstrip("/")
        if info.type == b"S" and block[482]:
            offset = _skip_sparse_blocks(tar, offset, length)
        size = 0 if info.type in NO_DATA else pax.get("size", info.size)
        if offset + size > length:
            raise UnpackError("bad tar: %s is cut short" % name)
        sparse = info.type == b"S" or any(k.startswith("GNU.sparse.") for k in pax)
        yield name, info.type, offset, size, sparse
        offset += _padded(size)
        long_name, pax = None, {}


def _read_at(tar, offset, size, length):
    if offset + size > length:
        raise UnpackError("bad tar: cut short at byte %d" % offset)
    tar.seek(offset)
    return tar.read(size)


def _padded(size):
    return (size + BLOCK - 1) // BLOCK * BLOCK


def _skip_sparse_blocks(tar, offset, length):
    """The offset past the extension blocks of an old GNU sparse header."""
    while True:
        block = _read_at(tar, offset, BLOCK, length)
        offset += BLOCK
        if not block[504]:
            return offset


_PAX_LENGTH = re.compile(rb"([0-9]{1,20}) ")


def _pax_header(data):
    """path, size and the GNU.sparse keywords of a pax extended header."""
    found, pos, data = {}, 0, data.rstrip(b"\0")
    while pos < len(data):
        match = _PAX_LENGTH.match(data, pos)
        end = pos + int(match.group(1)) if match else 0
        if not match or end <= match.end() or end > len(data) or data[end - 1] != 10:
            raise UnpackError("bad tar: a bad pax record at %r" % _text(data[pos:pos + 20]))
        key, equals, value = data[match.end():end - 1].partition(b"=")
        if not equals:
            raise UnpackError("bad tar: a pax record without '=': %r" % _text(key[:20]))
        if key == b"path" and "GNU.sparse.name" not in found:
            found["path"] = value.decode("utf-8", "surrogateescape")
        elif key == b"size":
            if not _NUMBER.fullmatch(value):
                raise UnpackError("bad tar: a pax size that is no number: %r" % _text(value[:20]))
            found["size"] = int(value)
        elif key.startswith(b"GNU.sparse."):
            found[_text(key)] = True
            if key == b"GNU.sparse.name":  # the real name of a sparse file
                found["path"] = value.decode("utf-8", "surrogateescape")
        pos = end
    return found


def extract(tar, length, dest):
    """Writes the snapshot's files into the new directory dest; returns the names left
    out. Only regular files of the known names are taken, whatever the archive says."""
    taken, ignored, more = set(), [], 0
    os.mkdir(dest, 0o700)
    for name, kind, offset, size, sparse in tar_members(tar, length):
        while name.startswith("./"):
            name = name[2:]
        if kind == b"5" or name in ("", "."):
            continue
        if kind in REGULAR and any(p.fullmatch(name) for p in MEMBER_PATTERNS):
            if sparse:
                # Its holes would be written out in full; no tar of Solaris writes one.
                raise UnpackError("%s is a sparse file in the archive, as kxsnap never sends"
                                  % name)
            _copy_member(tar, offset, size, os.path.join(dest, name))
            taken.add(name)
        elif not (kind in REGULAR and name.startswith("usr/")):
            if len(ignored) < MAX_IGNORED:
                ignored.append(name)
            else:
                more += 1
    if "MANIFEST" not in taken:
        raise UnpackError("the archive holds no MANIFEST")
    if more:
        ignored.append("(%d more)" % more)
    write_replays(dest)
    return ignored


def _copy_member(tar, offset, size, path):
    # A later member of the same name replaces the earlier, as tar does.
    if os.path.lexists(path):
        os.unlink(path)
    tar.seek(offset)
    with _create(path, 0o600) as stream:
        while size > 0:
            chunk = tar.read(min(CHUNK, size))
            stream.write(chunk)
            size -= len(chunk)


def write_replays(dest):
    """The replay commands for the captures the snapshot holds, and grep."""
    for path, capture, text in REPLAYS:
        if os.path.isfile(os.path.join(dest, "capture", capture + ".status")):
            _write(os.path.join(dest, path), text.encode(), 0o700)
    _write(os.path.join(dest, "usr/bin/grep"), REPLAY_GREP.encode(), 0o700)


def _create(path, mode):
    os.makedirs(os.path.dirname(path), 0o700, exist_ok=True)
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)
    return os.fdopen(fd, "wb")


def _write(path, content, mode):
    with _create(path, mode) as stream:
        stream.write(content)


def read_manifest(path):
    manifest = {}
    with open(path, "rb") as stream:
        text = _text(stream.read(MAX_MANIFEST))
    for line in text.splitlines():
        key, sep, value = line.partition(": ")
        if sep:
            manifest[key] = value
    return manifest


def _unpack_archive(transcript, dest, max_bytes):
    """The names left out of the new snapshot, which is in dest.new.<pid>."""
    archive = archive_file(transcript)
    tar, length = tar_file(transcript["archive"], archive, max_bytes)
    with tar:
        os.makedirs(os.path.dirname(os.path.abspath(dest)), exist_ok=True)
        fresh = "%s.new.%d" % (dest, os.getpid())
        shutil.rmtree(fresh, ignore_errors=True)
        try:
            ignored = extract(tar, length, fresh)
        except BaseException:
            shutil.rmtree(fresh, ignore_errors=True)
            raise
    # The old snapshot goes only once the new one is whole.
    old = "%s.old.%d" % (dest, os.getpid())
    if os.path.lexists(dest):
        os.rename(dest, old)
    os.rename(fresh, dest)
    shutil.rmtree(old, ignore_errors=True)
    return ignored


def unpack(source, dest, max_bytes=DEFAULT_MAX_BYTES):
    """Replaces the snapshot at dest with the one in source (the collection step's output:
    a str or a binary stream); returns its description."""
    transcript = parse_transcript(source, max_bytes)
    try:
        ignored = _unpack_archive(transcript, dest, max_bytes)
    finally:
        if transcript["data"] is not None:
            transcript["data"].file.close()
    return {"snapshot": os.path.abspath(dest), "archive": transcript["archive"],
            "bytes": transcript["data"].length,
            "manifest": read_manifest(os.path.join(dest, "MANIFEST")),
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
        # unpack names the host for whoever runs it by hand; here the row names it.
        if message and message[0].startswith(host + ": "):
            message[0] = message[0][len(host) + 2:]
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
        if not isinstance(report, dict):
            return [host, release, status, "?", ["unreadable JSON report %s: no object" % path] + notes]
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

    if args.command == "unpack":
        # The playbook passes snapshots/<host>: each failure is one line naming the host.
        host = os.path.basename(os.path.normpath(args.dest))
        try:
            result = unpack(sys.stdin.buffer, args.dest, args.max_bytes)
        except (UnpackError, OSError) as error:
            return _refuse(host, str(error))
        except Exception as error:  # a fault of this helper, yet only this host's
            return _refuse(host, "%s: %s" % (type(error).__name__, " ".join(str(error).split())))
        print(json.dumps(result, sort_keys=True))
        return 0
    table = summary(json.loads(sys.stdin.buffer.read().decode("utf-8", errors="replace")))
    tmp = args.out + ".tmp"
    with open(tmp, "w", encoding="utf-8") as stream:
        stream.write(table)
    os.replace(tmp, args.out)
    sys.stdout.write(table)
    return 0


def _refuse(host, message):
    print("kxfleet: %s: %s" % (host, message), file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main())
