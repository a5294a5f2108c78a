#!/usr/bin/env python3
"""Control-node half of the kxsyfchk fleet playbook (standard library only).

unpack:  reads what the collection step printed on a host (collector status and
         messages, the archive in uuencode or `od -b` form, its POSIX cksum), checks
         it, and lays the snapshot out under --dest.
check:   checks a snapshot with the installed kxsyfchk from the host's own tool
         directory, so that the host's trace is its own.
summary: reads the hosts' outcomes (JSON on standard input) and their reports, writes
         the fleet summary, the findings as CSV and JSON, and the fleet page.

The snapshot's commands are run by the check on the control node, so an archive's own
scripts are never unpacked: only the host files and the captured outputs are taken,
and the replay commands are written here, the same as the collector writes them.
"""

import argparse
import binascii
import csv
import gzip
import html
import io
import json
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import time
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


class CheckError(Exception):
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


# --- The check of a snapshot --------------------------------------------------------------

# What a tool directory holds besides its trace. The command takes the parent of the
# directory in its start name for its tool directory, without resolving links.
TOOL_PARTS = ("bin", "sys", "def")
TRACE_HISTORY = re.compile(r"trace_[0-9]+\.log")


def host_tool_dir(tools, host, command):
    """<tools>/<host>: links to bin, sys and def of the installed tool directory that
    holds command, and a trace/ of its own, empty. The check's trace and its command lock
    are then this host's alone: no other check rotates the trace away or waits."""
    installed = os.path.dirname(os.path.dirname(os.path.abspath(command)))
    tool_dir = os.path.join(os.path.abspath(tools), host)
    os.makedirs(tool_dir, 0o755, exist_ok=True)
    for part in TOOL_PARTS:
        link = os.path.join(tool_dir, part)
        fresh = "%s.new.%d" % (link, os.getpid())
        if os.path.lexists(fresh):
            os.unlink(fresh)
        os.symlink(os.path.join(installed, part), fresh)
        os.replace(fresh, link)
    trace = os.path.join(tool_dir, "trace")
    if os.path.lexists(trace):
        if os.path.isdir(trace) and not os.path.islink(trace):
            shutil.rmtree(trace)
        else:
            os.unlink(trace)
    os.mkdir(trace, 0o755)
    return tool_dir


def run_trace(trace_dir, out):
    """Writes the trace of the one run in the emptied trace_dir to out: a history file its
    rotation made (a run rotates at most once), then trace.log. False when there is none."""
    names = [n for n in os.listdir(trace_dir) if TRACE_HISTORY.fullmatch(n)]
    names.sort(key=lambda n: os.stat(os.path.join(trace_dir, n)).st_mtime_ns)
    names.append("trace.log")
    parts = [os.path.join(trace_dir, n) for n in names if os.path.isfile(os.path.join(trace_dir, n))]
    if not parts:
        return False
    tmp = "%s.tmp.%d" % (out, os.getpid())
    with open(tmp, "wb") as stream:
        for part in parts:
            with open(part, "rb") as source:
                shutil.copyfileobj(source, stream, CHUNK)
    os.replace(tmp, out)
    return True


def check(command, snapshot, reports, tools, host, lang):
    """Runs the installed kxsyfchk (command) on a snapshot from the host's own tool
    directory; writes <host>.log, .json and .trace to reports. The tool's exit status."""
    if host in ("", ".", "..") or "/" in host or "\0" in host:
        raise CheckError("no host name for a file: %r" % host)
    base = os.path.join(reports, host)
    for suffix in (".json", ".log", ".trace"):
        if os.path.lexists(base + suffix):
            os.unlink(base + suffix)
    tool_dir = host_tool_dir(tools, host, command)
    env = dict(os.environ, KXDEFCHK_HOST_ROOT=os.path.abspath(snapshot),
               KXSYFCHK_JSON=os.path.abspath(base + ".json"), LANG=lang, LC_ALL=lang)
    try:
        status = subprocess.call([os.path.join(tool_dir, "bin", os.path.basename(command)),
                                  os.path.abspath(base + ".log")], env=env)
    finally:
        run_trace(os.path.join(tool_dir, "trace"), base + ".trace")
    if status < 0:
        raise CheckError("kxsyfchk was killed by signal %d" % -status)
    return status


# --- The summary --------------------------------------------------------------------------

# The verdicts of a finding, most severe first: the order of the counts and of the page.
FINDING_VERDICTS = ("below-minimum", "not-set", "wrong-privilege")
# Outcomes of a host, in the order the summary counts them.
STATES = ("passed", "findings", "failed", "no-report", "not-collected", "unreachable")
STATE_WORDS = {"passed": "passed", "findings": "with findings", "failed": "failed",
               "no-report": "without a report", "not-collected": "not collected",
               "unreachable": "unreachable"}
# What the summary writes beside summary.txt.
FINDINGS_CSV = "findings.csv"
FINDINGS_JSON = "findings.json"
FLEET_PAGE = "fleet.html"
# kxfleet summary --fail-on-findings: a host has findings or was not checked.
STATUS_FINDINGS = 3


def read_report(path):
    """(the check's JSON document, None) or (None, why there is none)."""
    if not path or not os.path.isfile(path):
        return None, "no JSON report (%s)" % (path or "none asked for")
    try:
        with open(path, encoding="utf-8") as stream:
            report = json.load(stream)
    except (OSError, ValueError) as error:
        return None, "unreadable JSON report %s: %s" % (path, error)
    if not isinstance(report, dict):
        return None, "unreadable JSON report %s: no object" % path
    return report, None


def shown(text, number):
    """A value or minimum as the report shows it: its text, else its number(s)."""
    if text is not None:
        return str(text)
    if isinstance(number, list):
        return " ".join("-" if n is None else str(n) for n in number)
    return "" if number is None else str(number)


def column_of(row):
    """The page's column and the counts' key of a requirement: parameter (project)."""
    parameter = str(row.get("parameter") or "?")
    return parameter + (" (%s)" % row["project"] if row.get("project") else "")


def finding_of(host, release, row):
    """A requirement not met, as the findings files give it."""
    fix = row.get("fix") if isinstance(row.get("fix"), dict) else None
    return {"host": host, "release": release, "parameter": row.get("parameter"),
            "project": row.get("project"), "column": column_of(row),
            "verdict": [str(v) for v in row.get("verdict") or ["?"]],
            "value": row.get("value"), "value_text": shown(row.get("value_text"), row.get("value")),
            "minimum": row.get("minimum"),
            "minimum_text": shown(row.get("minimum_text"), row.get("minimum")),
            "source": row.get("source"), "fix": fix}


def _failure_cause(report):
    """The step and cause of a failed run, one line (the trace writes a newline as \\n)."""
    failure = report.get("failure") if isinstance(report.get("failure"), dict) else {}
    words = [str(failure.get(k)) for k in ("step", "cause") if failure.get(k)]
    text = ": ".join(" ".join(w.replace("\\n", " ").split()) for w in words)
    return text or "the check failed (no cause in its report)"


def host_result(outcome):
    """What is known of one host: state, release, status, its requirements and findings,
    why it was not checked, the collector's notes and the trace of its check."""
    host = str(outcome.get("host", "?"))
    state = outcome.get("state", "unreachable")
    message = [l for l in str(outcome.get("message") or "").splitlines() if l.strip()]
    # The helper names the host for whoever runs it by hand; here the row names it.
    if message and message[0].startswith(host + ": "):
        message[0] = message[0][len(host) + 2:]
    result = {"host": host, "release": outcome.get("release") or None, "state": state,
              "status": state, "findings": [], "requirements": [], "cause": [],
              "notes": str(outcome.get("notes") or "").splitlines(), "trace": None}
    if state == "unreachable":
        result["cause"] = message or ["cannot be reached"]
        return result
    if state != "checked":
        result.update(state="not-collected", status="not-collected", cause=message or ["no snapshot"])
        return result
    rc = outcome.get("rc")
    # Ansible may hand the status over as a text.
    rc = int(rc) if isinstance(rc, str) and _NUMBER.fullmatch(rc.encode()) else rc
    result["status"] = "?" if rc is None else str(rc)
    trace = outcome.get("trace")
    result["trace"] = trace if trace and os.path.isfile(trace) else None
    report, why = read_report(outcome.get("json"))
    if report is None:
        result.update(state="failed" if rc not in (0, 1) else "no-report", cause=[why] + message)
        return result
    result["release"] = report.get("release") or result["release"]
    if report.get("exit_status") == 255 or rc not in (0, 1):
        result.update(state="failed", cause=[_failure_cause(report) if report.get("exit_status") == 255
                                             else "kxsyfchk ended with status %s" % result["status"]] + message)
        return result
    rows = [r for r in report.get("requirements") or [] if isinstance(r, dict)]
    result["requirements"] = rows
    result["findings"] = [finding_of(host, result["release"], r) for r in rows
                          if (r.get("verdict") or []) != ["ok"]]
    result["state"] = "findings" if result["findings"] else "passed"
    return result


def parameter_counts(results):
    """[(column, hosts, {verdict: hosts})] of the findings, most hosts first: a host
    counts once per column and verdict, whatever number of rows it has there."""
    hosts, verdicts = {}, {}
    for result in results:
        for finding in result["findings"]:
            column = finding["column"]
            hosts.setdefault(column, set()).add(result["host"])
            for verdict in finding["verdict"]:
                verdicts.setdefault(column, {}).setdefault(verdict, set()).add(result["host"])
    counts = [(c, len(h), {v: len(s) for v, s in verdicts[c].items()}) for c, h in hosts.items()]
    return sorted(counts, key=lambda c: (-c[1], c[0]))


def state_counts(results):
    counts = {}
    for result in results:
        counts[result["state"]] = counts.get(result["state"], 0) + 1
    return counts


def _table(heading, rows):
    """Lines of cells padded to the widest of their column, the last column not."""
    widths = [max(len(r[i]) for r in [heading] + rows) for i in range(len(heading) - 1)]
    return ["  ".join([c.ljust(w) for c, w in zip(r, widths)] + [r[-1]]).rstrip()
            for r in [heading] + rows]


def summary(results):
    """The summary as text: the counts, the findings by parameter and by host, and why
    a host was not checked. Passed hosts are counted, not listed."""
    counts = state_counts(results)
    told = ", ".join("%d %s" % (counts[s], STATE_WORDS[s]) for s in STATES if s in counts)
    out = ["%d host%s: %s" % (len(results), "" if len(results) == 1 else "s", told or "none")]
    for section in (_by_parameter, _by_host, _not_checked, _collection_notes):
        lines = section(results)
        if lines:
            out += [""] + lines
    return "\n".join(out) + "\n"


def _by_parameter(results):
    counts = parameter_counts(results)
    return counts and ["Findings by parameter (hosts):"] + _table(
        ["parameter (project)", "hosts"] + list(FINDING_VERDICTS),
        [[c, str(n)] + [str(v.get(k, "")) for k in FINDING_VERDICTS] for c, n, v in counts])


def _by_host(results):
    rows = []
    for result in results:
        for n, f in enumerate(result["findings"]):
            value = f["value_text"] + (" (default)" if f["source"] == "default" else "")
            rows.append([result["host"] if n == 0 else "", (result["release"] or "-") if n == 0 else "",
                         f["column"], ",".join(f["verdict"]), value or "-", f["minimum_text"] or "-"])
    return rows and ["Findings by host (their fixes in %s and %s, the fleet page %s):"
                     % (FINDINGS_CSV, FINDINGS_JSON, FLEET_PAGE)] + _table(
        ["host", "release", "parameter (project)", "verdict", "value", "minimum"], rows)


def _not_checked(results):
    rows = []
    for result in results:
        if result["state"] in ("passed", "findings"):
            continue
        cause = list(result["cause"])
        if result["trace"]:
            cause[0] += " (trace: %s)" % os.path.basename(result["trace"])
        rows.append([result["host"], result["release"] or "-", result["status"], cause[0]])
        rows += [["", "", "", line] for line in cause[1:]]
    return rows and ["Hosts not checked:"] + _table(["host", "release", "status", "cause"], rows)


def _collection_notes(results):
    rows = [[r["host"] if n == 0 else "", line] for r in results for n, line in enumerate(r["notes"])]
    return rows and ["Notes of the collection:"] + _table(["host", "note"], rows)


def findings_csv(results):
    """One line per host and finding; a host not checked has one line, its state."""
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(["host", "release", "parameter", "project", "value", "minimum", "verdict",
                     "source", "fix", "apply_now", "reboot"])
    for result in results:
        for f in result["findings"]:
            fix = f["fix"] or {}
            writer.writerow([f["host"], f["release"] or "", f["parameter"] or "", f["project"] or "",
                             f["value_text"], f["minimum_text"], ",".join(f["verdict"]),
                             f["source"] or "", fix.get("command") or "", fix.get("apply_now") or "",
                             {True: "yes", False: "no"}.get(fix.get("reboot"), "")])
        if result["state"] not in ("passed", "findings"):
            writer.writerow([result["host"], result["release"] or "", "", "", "", "", result["state"],
                             "", "", "", ""])
    return out.getvalue()


def findings_document(results):
    """The findings, the counts by parameter and each host's state, for programs."""
    hosts = [{"host": r["host"], "release": r["release"], "state": r["state"],
              "exit_status": int(r["status"]) if re.fullmatch("[0-9]{1,3}", r["status"]) else None,
              "findings": len(r["findings"]) if r["state"] in ("passed", "findings") else None,
              "cause": r["cause"] or None, "trace": r["trace"]} for r in results]
    findings = [{k: f[k] for k in ("host", "release", "parameter", "project", "verdict", "value",
                                   "value_text", "minimum", "minimum_text", "source", "fix")}
                for r in results for f in r["findings"]]
    parameters = [{"parameter": c, "hosts": n, "verdicts": v} for c, n, v in parameter_counts(results)]
    return {"hosts": hosts, "parameters": parameters, "findings": findings}


# --- The fleet page -----------------------------------------------------------------------

# A cell's class, its short text and its rank when a column is sorted: the most severe
# verdict of the host's rows there; "na" when no row applies, "none" when not checked.
CELL_KINDS = [("below-minimum", "low"), ("not-set", "unset"), ("wrong-privilege", "priv"),
              ("ok", "ok"), ("na", ""), ("none", "")]
CELL_RANK = {kind: rank for rank, (kind, _) in enumerate(CELL_KINDS)}
CELL_WORD = dict(CELL_KINDS)
STATE_RANK = {"failed": 0, "no-report": 1, "not-collected": 2, "unreachable": 3,
              "findings": 4, "passed": 5}
STATE_BADGE = {"failed": "failed", "no-report": "no report", "not-collected": "not collected",
               "unreachable": "unreachable"}

PAGE_STYLE = """
body { font: 13px/1.3 sans-serif; margin: 1em; color: #222; }
h1 { font-size: 18px; margin: 0 0 .3em; }
.legend span { display: inline-block; padding: 1px 6px; margin-right: 4px; border: 1px solid #bbb; }
table { border-collapse: separate; border-spacing: 0; margin-top: 1em; }
th, td { border-right: 1px solid #fff; border-bottom: 1px solid #fff; padding: 2px 4px; white-space: nowrap; }
thead th { position: sticky; top: 0; background: #eee; cursor: pointer; vertical-align: bottom; z-index: 2; }
thead th.param { writing-mode: vertical-rl; transform: rotate(180deg); text-align: left; }
thead th[aria-sort=ascending]::after { content: " \\25b2"; }
thead th[aria-sort=descending]::after { content: " \\25bc"; }
thead th .count { color: #b71c1c; font-weight: normal; }
tbody th { position: sticky; left: 0; background: #fafafa; text-align: left; font-weight: normal; z-index: 1; }
td.cell { min-width: 2.5em; text-align: center; font-size: 11px; }
.v-below-minimum { background: #d32f2f; color: #fff; }
.v-not-set { background: #f57c00; color: #fff; }
.v-wrong-privilege { background: #7b1fa2; color: #fff; }
.v-ok { background: #a5d6a7; color: #1b5e20; }
.v-na { background: #f0f0f0; }
.v-none { background: repeating-linear-gradient(45deg, #ddd 0 4px, #f7f7f7 4px 8px); }
.badge { display: inline-block; margin-left: .5em; padding: 0 4px; border-radius: 3px; font-size: 11px; color: #fff; }
tr.failed .badge, tr.no-report .badge { background: #000; }
tr.unreachable .badge, tr.not-collected .badge { background: #757575; }
tr.failed th, tr.no-report th { border-left: 4px solid #000; }
tr.unreachable th, tr.not-collected th { border-left: 4px solid #9e9e9e; }
"""

# Sorting: a heading's click orders the rows by its cells' data-sort (numbers, or host
# names in natural order), a second click reverses; #sort=[-]<heading> does the same on
# opening, so that a sorted view can be linked. Ties keep host order.
PAGE_SCRIPT = """
(function () {
  "use strict";
  var table = document.getElementById("fleet");
  var body = table.tBodies[0];
  var heads = table.tHead.rows[0].cells;
  var names = new Intl.Collator("en", {numeric: true});
  var current = -1, reversed = false;
  function key(row, col) {
    var cell = row.cells[col];
    return cell.hasAttribute("data-sort") ? cell.getAttribute("data-sort") : cell.textContent;
  }
  function sortBy(col, reverse) {
    var numeric = heads[col].getAttribute("data-kind") === "number";
    var rows = Array.prototype.slice.call(body.rows);
    rows.sort(function (a, b) {
      var x = key(a, col), y = key(b, col);
      var d = numeric ? Number(x) - Number(y) : names.compare(x, y);
      if (reverse) { d = -d; }
      return d || names.compare(a.getAttribute("data-host"), b.getAttribute("data-host"));
    });
    var list = document.createDocumentFragment();
    rows.forEach(function (row) { list.appendChild(row); });
    body.appendChild(list);
    for (var i = 0; i < heads.length; i++) { heads[i].removeAttribute("aria-sort"); }
    heads[col].setAttribute("aria-sort", reverse ? "descending" : "ascending");
    current = col;
    reversed = reverse;
  }
  function columnOf(name) {
    for (var i = 0; i < heads.length; i++) {
      if (heads[i].getAttribute("data-key") === name) { return i; }
    }
    return -1;
  }
  function fromFragment() {
    var match = /^#sort=(-?)(.+)$/.exec(location.hash);
    var col = match ? columnOf(decodeURIComponent(match[2])) : -1;
    if (col >= 0) { sortBy(col, match[1] === "-"); }
  }
  Array.prototype.forEach.call(heads, function (head, col) {
    head.addEventListener("click", function () {
      var reverse = current === col && !reversed;
      sortBy(col, reverse);
      try {
        history.replaceState(null, "", "#sort=" + (reverse ? "-" : "") +
                             encodeURIComponent(head.getAttribute("data-key")));
      } catch (e) { /* a browser that keeps file: pages' addresses as they are */ }
    });
  });
  window.addEventListener("hashchange", fromFragment);
  fromFragment();
}());
"""


def _attr(text):
    return html.escape(str(text), quote=True)


def _cell(result, column):
    """The td of one host and column: its class, short text, rank and hover text."""
    if result["state"] not in ("passed", "findings"):
        kind, verdicts, tip = "none", [], "%s: %s" % (result["host"], STATE_BADGE[result["state"]])
    else:
        rows = [r for r in result["requirements"] if column_of(r) == column]
        # A verdict the page does not know counts as the most severe.
        verdicts = sorted({str(v) for r in rows for v in r.get("verdict") or []},
                          key=lambda v: CELL_RANK.get(v, 0))
        kind = (verdicts[0] if verdicts[0] in CELL_RANK else "below-minimum") if verdicts else "na"
        tip = "\n\n".join(_cell_tip(result["host"], column, row) for row in rows) or \
            "%s, %s: does not apply" % (result["host"], column)
    text = "+".join(CELL_WORD.get(v, v) for v in verdicts)
    return '<td class="cell v-%s" data-sort="%d" title="%s">%s</td>' % (
        kind, CELL_RANK[kind], _attr(tip), html.escape(text))


def _cell_tip(host, column, row):
    lines = ["%s, %s" % (host, column), ", ".join(row.get("verdict") or ["?"]),
             "value: %s" % (shown(row.get("value_text"), row.get("value")) or "none")]
    where = [w for w in (row.get("current_privilege"), row.get("source")) if w]
    if where:
        lines[-1] += " (%s)" % ", ".join(str(w) for w in where)
    lines.append("minimum: %s" % (shown(row.get("minimum_text"), row.get("minimum")) or "none"))
    fix = row.get("fix") if isinstance(row.get("fix"), dict) else None
    if fix and fix.get("command"):
        lines.append("fix: %s" % fix["command"])
    return "\n".join(lines)


def _host_row(result, columns):
    state = result["state"]
    badge = ('<span class="badge">%s</span>' % STATE_BADGE[state]) if state in STATE_BADGE else ""
    tip = "\n".join(result["cause"] + result["notes"])
    count = len(result["findings"]) if state in ("passed", "findings") else None
    cells = ['<th data-sort="%s"%s>%s%s</th>' % (_attr(result["host"]),
                                                  ' title="%s"' % _attr(tip) if tip else "",
                                                  html.escape(result["host"]), badge),
             "<td>%s</td>" % html.escape(result["release"] or "-"),
             '<td data-sort="%d">%s</td>' % (STATE_RANK.get(state, 0), html.escape(result["status"])),
             '<td data-sort="%d">%s</td>' % (-count if count is not None else 1,
                                             "-" if count is None else count)]
    cells += [_cell(result, c) for c in columns]
    return '<tr class="%s" data-host="%s">%s</tr>' % (_attr(state), _attr(result["host"]), "".join(cells))


def fleet_page(results, title="kxsyfchk fleet"):
    """The fleet as one HTML page needing nothing else: hosts by parameters, each cell
    coloured by its verdict, the value and minimum on hover, sortable by any heading."""
    columns = sorted({column_of(r) for res in results for r in res["requirements"]})
    by_column = {c: (n, v) for c, n, v in parameter_counts(results)}
    counts = state_counts(results)
    told = ", ".join("%d %s" % (counts[s], STATE_WORDS[s]) for s in STATES if s in counts)
    heads = ['<th data-key="host">host</th>', '<th data-key="release">release</th>',
             '<th data-key="status" data-kind="number">status</th>',
             '<th data-key="findings" data-kind="number">findings</th>']
    for column in columns:
        hosts, verdicts = by_column.get(column, (0, {}))
        tip = "%s: %d host%s with findings" % (column, hosts, "" if hosts == 1 else "s")
        if verdicts:
            tip += " (%s)" % ", ".join("%d %s" % (verdicts[v], v) for v in FINDING_VERDICTS if v in verdicts)
        heads.append('<th class="param" data-key="%s" data-kind="number" title="%s">%s%s</th>' % (
            _attr(column), _attr(tip), html.escape(column),
            ' <span class="count">%d</span>' % hosts if hosts else ""))
    legend = "".join('<span class="v-%s">%s</span>' % (k, k) for k, _ in CELL_KINDS[:4])
    legend += '<span class="v-na">does not apply</span><span class="v-none">not checked</span>'
    return "\n".join([
        "<!DOCTYPE html>",
        '<html lang="en"><head><meta charset="utf-8">',
        # Nothing is fetched: the page works from a mail attachment or a file share.
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'unsafe-inline'; script-src 'unsafe-inline'\">",
        "<title>%s</title>" % html.escape(title),
        "<style>%s</style></head><body>" % PAGE_STYLE,
        "<h1>%s</h1>" % html.escape(title),
        '<p id="counts">%d host%s: %s</p>' % (len(results), "" if len(results) == 1 else "s",
                                              html.escape(told or "none")),
        '<p class="legend">%s</p>' % legend,
        '<p>Hover over a cell for its value, minimum and fix; click a heading to sort.</p>',
        '<table id="fleet"><thead><tr>%s</tr></thead><tbody>' % "".join(heads),
        "\n".join(_host_row(r, columns) for r in results),
        "</tbody></table>",
        "<script>%s</script></body></html>" % PAGE_SCRIPT,
        ""])


# --- Command line -------------------------------------------------------------------------


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    p_unpack = commands.add_parser("unpack", help="the collection step's output on stdin")
    p_unpack.add_argument("--dest", required=True, help="snapshot directory to (re)place")
    p_unpack.add_argument("--max-bytes", type=int, default=DEFAULT_MAX_BYTES)
    p_check = commands.add_parser("check", help="check a snapshot with the installed tool")
    p_check.add_argument("--bin", required=True, help="the installed kxsyfchk")
    p_check.add_argument("--snapshot", required=True, help="the host's snapshot directory")
    p_check.add_argument("--host", required=True, help="the host: names its files")
    p_check.add_argument("--report-dir", required=True, help="for <host>.json, .log and .trace")
    p_check.add_argument("--tool-dirs", required=True, help="for the hosts' own tool directories")
    p_check.add_argument("--lang", default="ja_JP.UTF-8", help="LANG and LC_ALL of the check")
    p_summary = commands.add_parser("summary", help="outcomes (JSON list) on stdin")
    p_summary.add_argument("--report-dir", required=True,
                           help="for summary.txt, %s, %s and %s" % (FINDINGS_CSV, FINDINGS_JSON, FLEET_PAGE))
    p_summary.add_argument("--fail-on-findings", action="store_true",
                           help="exit %d when a host has findings or was not checked" % STATUS_FINDINGS)
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
    if args.command == "check":
        # 0, 1 and 255 are the tool's; 2 says the helper could not run it.
        try:
            return check(args.bin, args.snapshot, args.report_dir, args.tool_dirs, args.host, args.lang)
        except (CheckError, OSError) as error:
            return _refuse(args.host, str(error), 2)
    outcomes = json.loads(sys.stdin.buffer.read().decode("utf-8", errors="replace"))
    results = [host_result(o) for o in outcomes]
    table = write_summary(results, args.report_dir)
    sys.stdout.write(table)
    if args.fail_on_findings and any(r["state"] != "passed" for r in results):
        return STATUS_FINDINGS
    return 0


def write_summary(results, report_dir):
    """Writes summary.txt and the files beside it, each replaced whole; the summary."""
    table = summary(results)
    stamp = time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())
    files = [("summary.txt", table), (FINDINGS_CSV, findings_csv(results)),
             (FINDINGS_JSON, json.dumps(findings_document(results), indent=1, ensure_ascii=False) + "\n"),
             (FLEET_PAGE, fleet_page(results, "kxsyfchk fleet, %s" % stamp))]
    for name, text in files:
        path = os.path.join(report_dir, name)
        with open(path + ".tmp", "w", encoding="utf-8", newline="") as stream:
            stream.write(text)
        os.replace(path + ".tmp", path)
    return table


def _refuse(host, message, status=1):
    print("kxfleet: %s: %s" % (host, message), file=sys.stderr)
    return status


if __name__ == "__main__":
    sys.exit(main())
