#!/usr/bin/env python3
"""The control-node helper of the fleet playbook: what comes back from a host is
decoded exactly or refused, unpacks to the snapshot's known files only, and the summary
reads the tool's JSON report. Run: python3 tests/fleet/kxfleet_test.py"""

import csv
import html.parser
import io
import json
import os
import random
import resource
import shutil
import subprocess
import sys
import tarfile
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(TOP, "contrib/ansible/files"))
import kxfleet  # noqa: E402

KXFLEET = os.path.join(TOP, "contrib/ansible/files/kxfleet.py")
# The helper's address space in the hostile cases: a few times what it needs.
MEMORY_LIMIT = 128 << 20


def run(argv, data=b"", env=None):
    return subprocess.run(argv, input=data, stdout=subprocess.PIPE, check=True, env=env).stdout


def snapshot_tar(extra=()):
    """A small snapshot archive; extra: (TarInfo, bytes or None) added last."""
    buf = io.BytesIO()
    with tarfile.open(fileobj=buf, mode="w") as tar:
        files = [("MANIFEST", b"host: db1\nrelease: 5.10\n"),
                 ("etc/project", b"system:0::::\n"),
                 ("capture/sysdef.out", b"sysdef\n"), ("capture/sysdef.status", b"0\n")]
        for name, data in files:
            info = tarfile.TarInfo(name)
            info.size = len(data)
            tar.addfile(info, io.BytesIO(data))
        for info, data in extra:
            tar.addfile(info, io.BytesIO(data) if data is not None else None)
    return buf.getvalue()


def transcript(archive, name="db1.tar", encoding="uu", status=0, noise="", crlf=False,
               cksum=None):
    """What the collection step prints for an archive, as a host's tty may show it."""
    ck = cksum or run(["cksum"], archive).decode().split()
    if encoding == "uu":
        body = "begin 600 %s\n" % name
        for i in range(0, len(archive), 45):
            body += kxfleet.binascii.b2a_uu(archive[i:i + 45], backtick=True).decode()
        body += "`\nend\n"
    else:
        body = run(["od", "-b", "-"], archive).decode()
    text = ("%sKXSNAP-STATUS %d\nKXSNAP-STDERR-BEGIN\n\nKXSNAP-STDERR-END\n"
            "KXSNAP-ARCHIVE %s\nKXSNAP-CKSUM %s %s\nKXSNAP-DATA-BEGIN %s\n%sKXSNAP-DATA-END\n%s"
            % (noise, status, name, ck[0], ck[1], encoding, body, noise))
    return text.replace("\n", "\r\n") if crlf else text


def raw_member(name, kind=b"0", data=b"", fields=()):
    """A member as tarfile would not write it: fields (offset, bytes) patched into the
    header, the checksum made right again."""
    info = tarfile.TarInfo(name)
    info.size = len(data)
    block = bytearray(info.tobuf(tarfile.GNU_FORMAT))
    block[156:157] = kind
    for offset, value in fields:
        block[offset:offset + len(value)] = value
    block[148:156] = b" " * 8
    block[148:156] = b"%06o\0 " % sum(block)
    return bytes(block) + data + b"\0" * (-len(data) % 512)


def tar_of(*members):
    """A tar of the MANIFEST and the given members (raw bytes, or (TarInfo, bytes))."""
    buf = io.BytesIO()
    with tarfile.open(fileobj=buf, mode="w", format=tarfile.PAX_FORMAT) as tar:
        manifest = b"host: db1\nrelease: 5.10\n"
        info = tarfile.TarInfo("MANIFEST")
        info.size = len(manifest)
        tar.addfile(info, io.BytesIO(manifest))
        for member in members:
            if isinstance(member, bytes):
                tar.fileobj.write(member)
                tar.offset += len(member)
            else:
                tar.addfile(member[0], io.BytesIO(member[1]))
    return buf.getvalue()


def sparse_pax(name, realsize):
    """A sparse file in the pax form of GNU tar 1.0: the map in the data, one empty block."""
    info = tarfile.TarInfo("GNUSparseFile.0/" + os.path.basename(name))
    info.pax_headers = {"GNU.sparse.major": "1", "GNU.sparse.minor": "0",
                        "GNU.sparse.name": name, "GNU.sparse.realsize": str(realsize)}
    data = b"1\n0\n0\n".ljust(512, b"\0")
    info.size = len(data)
    return info, data


def run_helper(text, dest, *args):
    """kxfleet.py unpack in a child of bounded memory: (status, standard error)."""
    def bounded():
        resource.setrlimit(resource.RLIMIT_AS, (MEMORY_LIMIT, MEMORY_LIMIT))
    data = text if isinstance(text, bytes) else text.encode("utf-8")
    child = subprocess.run([sys.executable, KXFLEET, "unpack", "--dest", dest] + list(args),
                           input=data, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           preexec_fn=bounded, timeout=120)
    return child.returncode, child.stderr.decode("utf-8", "replace")


class Transfer(unittest.TestCase):
    def test_archives_arrive_byte_for_byte(self):
        # The cksum the host sends is the real cksum command's: a match proves ours too.
        rnd = random.Random(7)
        blobs = {
            "empty": b"",
            "one byte": b"\x00",
            "odd length": bytes(range(256)) * 3 + b"\x01",
            # od prints a run of equal lines as "*"
            "long runs": b"\x00" * 5000 + b"x" + b"\xff" * 4096,
            "noise": bytes(rnd.getrandbits(8) for _ in range(70000)),
        }
        for label, blob in blobs.items():
            for encoding in ("uu", "od"):
                for crlf in (False, True):
                    with self.subTest(label=label, encoding=encoding, crlf=crlf):
                        text = transcript(blob, encoding=encoding, crlf=crlf,
                                          noise="Authorized uses only.\nShared connection closed.\n")
                        parsed = kxfleet.parse_transcript(text)
                        self.assertEqual(blob, kxfleet.archive_bytes(parsed))

    def test_refused_transfers_say_why(self):
        good = transcript(b"payload" * 100)
        cases = {
            "collector failed": (transcript(b"x", status=1).replace(
                "KXSNAP-STDERR-BEGIN\n", "KXSNAP-STDERR-BEGIN\nkxsnap: no such directory\n"),
                "no such directory"),
            "cut short": (good[:good.index("KXSNAP-DATA-END")], "cut short"),
            "damaged": (good.replace("KXSNAP-CKSUM ", "KXSNAP-CKSUM 1"), "damaged"),
            "no status": (good.replace("KXSNAP-STATUS 0\n", ""), "no status"),
            "host refused": ("KXSNAP-FAIL cannot create /var/tmp/kxsnap.1\n", "cannot create"),
            "unknown form": (good.replace("DATA-BEGIN uu", "DATA-BEGIN b64"), "unknown encoding"),
            "nothing": ("", "no status"),
        }
        for label, (text, message) in cases.items():
            with self.subTest(label):
                with self.assertRaises(kxfleet.UnpackError) as caught:
                    kxfleet.archive_bytes(kxfleet.parse_transcript(text))
                self.assertIn(message, str(caught.exception))


class Unpack(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.dir)

    def test_only_known_regular_files_are_taken(self):
        def info(name, kind=tarfile.REGTYPE, size=0, link=""):
            i = tarfile.TarInfo(name)
            i.type, i.size, i.linkname = kind, size, link
            return i
        evil = b"#!/bin/sh\ntouch /tmp/owned\n"
        nul = info("etc/system.d/a", size=1)
        nul.pax_headers = {"path": "etc/system.d/a\0b"}  # no file can have that name
        hostile = [
            (info("../escaped", size=1), b"x"),
            (info("/etc/cron.d/x", size=1), b"x"),
            (info("etc/system", tarfile.SYMTYPE, link="/etc/shadow"), None),
            (info("opt/vestrel/etc/vestrel.reg", tarfile.LNKTYPE, link="etc/project"), None),
            (info("etc/system.d/fifo", tarfile.FIFOTYPE), None),
            (info("etc/system.d/.hidden", size=1), b"x"),
            (info("usr/sbin/sysdef", size=len(evil)), evil),
            (info("usr/bin/evil", size=len(evil)), evil),
            (nul, b"x"),
        ]
        for form in ("tar", "tar.gz", "tar.Z"):
            with self.subTest(form):
                archive = snapshot_tar(hostile)
                if form == "tar.gz":
                    archive = run(["gzip", "-c"], archive)
                elif form == "tar.Z":
                    archive = run(["compress", "-c"], archive)
                dest = os.path.join(self.dir, form, "db1")
                result = kxfleet.unpack(transcript(archive, name="db1." + form), dest)
                got = sorted(os.path.relpath(os.path.join(d, f), dest)
                             for d, _, fs in os.walk(dest) for f in fs)
                self.assertEqual(["MANIFEST", "capture/sysdef.out", "capture/sysdef.status",
                                  "etc/project", "usr/bin/grep", "usr/sbin/sysdef"], got)
                with open(os.path.join(dest, "usr/sbin/sysdef")) as stream:
                    self.assertEqual(kxfleet.REPLAY_COMMAND.format(name="sysdef"), stream.read())
                self.assertEqual(["../escaped", "/etc/cron.d/x", "etc/system",
                                  "opt/vestrel/etc/vestrel.reg", "etc/system.d/fifo",
                                  "etc/system.d/.hidden", "etc/system.d/a\0b"], result["ignored"])
                self.assertEqual("5.10", result["manifest"]["release"])
                self.assertEqual(["db1"], os.listdir(os.path.dirname(dest)))

    def test_replays_are_the_collectors(self):
        # The control node writes the replay commands itself; they must be the ones the
        # collector writes, or a snapshot would be checked differently here.
        out = os.path.join(self.dir, "out")
        os.mkdir(out)
        host = os.path.join(self.dir, "host")  # Solaris 11 in a zone
        shutil.copytree(os.path.join(TOP, "sim/solaris11"), host, symlinks=True)
        for path, text in (("usr/bin/zonename", "echo dbzone"),
                           ("usr/sbin/zonecfg", r"printf 'rctl:\n\tname: zone.max-shm-memory\n'")):
            with open(os.path.join(host, path), "w") as stream:
                stream.write("#!/bin/sh\n%s\n" % text)
            os.chmod(os.path.join(host, path), 0o755)
        env = dict(os.environ, KXSNAP_ROOT=host)
        path = run(["sh", os.path.join(TOP, "collect/kxsnap"), out], env=env).decode().split("\n")[-2]
        with open(path, "rb") as stream:
            archive = stream.read()
        theirs = os.path.join(self.dir, "theirs")
        os.mkdir(theirs)
        run(["tar", "-xf", "-", "-C", theirs], run(["gzip", "-dc"], archive))
        ours = os.path.join(self.dir, "ours")
        kxfleet.unpack(transcript(archive, name=os.path.basename(path)), ours)
        for name in ("usr/bin/uname", "usr/bin/id", "usr/bin/grep", "usr/sbin/sysdef",
                     "usr/sbin/prtconf", "usr/bin/zonename", "usr/sbin/zonecfg",
                     "capture/zonename.out", "capture/zonename.status",
                     "capture/zonecfg.out", "capture/zonecfg.status"):
            with self.subTest(name):
                with open(os.path.join(theirs, name), "rb") as a, open(os.path.join(ours, name), "rb") as b:
                    self.assertEqual(a.read(), b.read())
                self.assertEqual(name.startswith("usr/"), os.access(os.path.join(ours, name), os.X_OK))

    def test_a_new_snapshot_replaces_the_old_whole(self):
        dest = os.path.join(self.dir, "db1")
        kxfleet.unpack(transcript(snapshot_tar()), dest)
        with open(os.path.join(dest, "etc/stale"), "w") as stream:
            stream.write("left from last time")
        with self.assertRaises(kxfleet.UnpackError):
            kxfleet.unpack(transcript(b"not a tar"), dest)
        self.assertTrue(os.path.exists(os.path.join(dest, "etc/stale")), "a failed unpack keeps the old")
        kxfleet.unpack(transcript(snapshot_tar()), dest)
        self.assertFalse(os.path.exists(os.path.join(dest, "etc/stale")))
        self.assertEqual(["db1"], os.listdir(self.dir))

    def test_a_bomb_is_refused(self):
        archive = run(["gzip", "-c"], snapshot_tar([(tarfile.TarInfo("pad"), None)]) + b"\0" * 10**6)
        with self.assertRaises(kxfleet.UnpackError) as caught:
            kxfleet.unpack(transcript(archive, name="db1.tar.gz"), os.path.join(self.dir, "d"),
                           max_bytes=100000)
        self.assertIn("more than", str(caught.exception))


class Hostile(unittest.TestCase):
    """What a host may send to harm the control node: each is refused in bounded memory
    with one line naming the host, and the snapshot of the last run stays."""

    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)

    def test_refused_in_one_line(self):
        good = transcript(snapshot_tar())
        deflated = bytearray(run(["gzip", "-c"], snapshot_tar([(tarfile.TarInfo("pad"), None)])))
        deflated[40:60] = bytes(20)
        negative = raw_member("etc/project", fields=[(124, b"\xff" * 12)])
        cases = {
            "a sparse file of 4 GiB in 10 KB": (transcript(tar_of(raw_member(
                "etc/system", b"S", fields=[(483, b"%011o\0" % (4 << 30))])), "db1.tar"), "sparse"),
            "a sparse file in the pax form": (transcript(tar_of(sparse_pax("etc/system", 4 << 30))),
                                              "sparse"),
            "od repeats up to a far offset": (transcript(b"").replace(
                "KXSNAP-DATA-BEGIN uu\nbegin 600 db1.tar\n`\nend\n",
                "KXSNAP-DATA-BEGIN od\n0000000 001\n*\n7777777777777777\n"), "more than"),
            "corrupt deflate data": (transcript(bytes(deflated), name="db1.tar.gz"), "cannot uncompress"),
            "a status of a superscript digit": (good.replace("KXSNAP-STATUS 0", "KXSNAP-STATUS \u00b2"),
                                                "status that is no number"),
            "a status of an Arabic-Indic zero": (good.replace("KXSNAP-STATUS 0", "KXSNAP-STATUS \u0660"),
                                                 "status that is no number"),
            "a cksum of a superscript digit": (good.replace("KXSNAP-CKSUM ", "KXSNAP-CKSUM \u00b2"),
                                               "cksum that is no pair of numbers"),
            "a uuencode line with a byte beyond ASCII": (good.replace("begin 600 db1.tar\n",
                                                                      "begin 600 db1.tar\nM\u00e9\n"),
                                                         "bad uuencode line"),
            "a size below zero": (transcript(tar_of(negative)), "size below zero"),
            "a pax record past its header": (transcript(tar_of(raw_member(
                "PaxHeader", b"x", b"99 path=etc/system\n"))), "bad pax record"),
            "a line of a megabyte in the archive's text": (good.replace(
                "begin 600 db1.tar\n", "begin 600 db1.tar\n" + "M" * (1 << 20) + "\n"), "a line of more"),
        }
        for label, (text, message) in cases.items():
            with self.subTest(label):
                dest = os.path.join(self.dir, label, "db1")
                os.makedirs(os.path.join(dest, "etc"))
                status, err = run_helper(text, dest)
                self.assertEqual(1, status, err)
                self.assertEqual(1, len(err.splitlines()), err)
                self.assertTrue(err.startswith("kxfleet: db1: "), err)
                self.assertIn(message, err)
                self.assertEqual(["etc"], os.listdir(dest), "the last snapshot stays")

    def test_a_large_archive_is_refused_in_bounded_memory(self):
        # Far more than the helper may hold, and every form of archive text.
        blob = random.Random(11).randbytes(64 << 20)
        for encoding in ("uu", "od"):
            with self.subTest(encoding):
                text = transcript(blob if encoding == "uu" else blob[:8 << 20], encoding=encoding)
                status, err = run_helper(text, os.path.join(self.dir, "db1"), "--max-bytes", str(1 << 20))
                self.assertEqual((1, "kxfleet: db1: the archive is more than 1048576 bytes\n"),
                                 (status, err))

    def test_damaged_archives_are_refused_never_crash(self):
        # Each byte damaged in turn, the cksum made to match: the decompressors and the
        # tar reader must each say what is wrong or take what is whole.
        forms = {"tar": lambda t: t, "tar.gz": lambda t: run(["gzip", "-c"], t),
                 "tar.Z": lambda t: run(["compress", "-c"], t)}
        rnd = random.Random(3)
        for form, pack in forms.items():
            archive = pack(snapshot_tar([(tarfile.TarInfo("etc/system.d/x" * 9), b"")]))
            for n in range(120):
                damaged = bytearray(archive)
                for _ in range(1 + n % 4):
                    damaged[rnd.randrange(len(damaged))] = rnd.randrange(256)
                with self.subTest(form=form, n=n):
                    try:
                        kxfleet.unpack(transcript(bytes(damaged), name="db1." + form),
                                       os.path.join(self.dir, "%s.%d" % (form, n)))
                    except kxfleet.UnpackError:
                        pass


class Summary(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.dir)
        self.sample = os.path.join(HERE, "report-sample.json")
        self.failed = os.path.join(self.dir, "failed.json")
        with open(self.failed, "w") as stream:
            json.dump({"format": 2, "tool": "kxsyfchk", "os": None, "release": None, "exit_status": 255,
                       "failure": {"code": -1, "step": "OS取得エラー",
                                   "cause": "kxg_getSUNOSVer \\nuname -r: 5.x\\n\\n"},
                       "trace": "/srv/kx/tool-dirs/db2/trace/trace.log", "requirements": []}, stream)
        self.trace = os.path.join(self.dir, "db2.trace")
        with open(self.trace, "w") as stream:
            stream.write("the run's trace\n")

    def outcomes(self):
        return {
            "db1": {"host": "db1", "state": "checked", "rc": 1, "json": self.sample, "release": "5.9"},
            "db2": {"host": "db2", "state": "checked", "rc": 255, "json": self.failed, "release": "5.10",
                    "trace": self.trace},
            "db3": {"host": "db3", "state": "checked", "rc": 1, "json": "/nonexistent.json", "release": "5.8"},
            "db4": {"host": "db4", "state": "unreachable", "message": "Connection refused"},
            "db5": {"host": "db5", "state": "not-collected", "message": "kxsnap failed\nno such directory",
                    "release": ""},
            "db6": {"host": "db6", "state": "checked", "rc": 255, "json": self.failed, "release": "5.10",
                    "notes": "kxsnap: warning: not run as root"},
            # the helpers' lines name the host, which the row names already
            "db7": {"host": "db7", "state": "not-collected", "message": "db7: bad tar: cut short"},
            # Ansible may pass the status as a text; the check itself did not end
            "db8": {"host": "db8", "state": "checked", "rc": "2", "json": "/nonexistent.json",
                    "message": "db8: kxsyfchk was killed by signal 9"},
        }

    def test_hosts(self):
        shm = "project.max-shm-memory (user.root)"
        cases = {
            "db1": ("findings", "1", "5.10", [("process.max-msg-messages (user.root)",
                                               ["below-minimum", "wrong-privilege"]),
                                              (shm, ["below-minimum"]), (shm, ["below-minimum"]),
                                              ("project.max-sem-ids (user.root)", ["not-set"]),
                                              ("rlim_fd_max", ["not-set"])], []),
            "db2": ("failed", "255", "5.10", [], ["OS取得エラー: kxg_getSUNOSVer uname -r: 5.x"]),
            "db3": ("no-report", "1", "5.8", [], ["no JSON report (/nonexistent.json)"]),
            "db4": ("unreachable", "unreachable", None, [], ["Connection refused"]),
            "db5": ("not-collected", "not-collected", None, [], ["kxsnap failed", "no such directory"]),
            "db6": ("failed", "255", "5.10", [], ["OS取得エラー: kxg_getSUNOSVer uname -r: 5.x"]),
            "db7": ("not-collected", "not-collected", None, [], ["bad tar: cut short"]),
            "db8": ("failed", "2", None, [], ["no JSON report (/nonexistent.json)",
                                              "kxsyfchk was killed by signal 9"]),
        }
        for host, outcome in self.outcomes().items():
            with self.subTest(host):
                got = kxfleet.host_result(outcome)
                self.assertEqual(cases[host], (got["state"], got["status"], got["release"],
                                               [(f["column"], f["verdict"]) for f in got["findings"]],
                                               got["cause"]))
        self.assertEqual(["kxsnap: warning: not run as root"], kxfleet.host_result(self.outcomes()["db6"])["notes"])

    def test_findings_and_counts(self):
        outcomes = self.outcomes()
        results = [kxfleet.host_result(outcomes[h]) for h in ("db1", "db2", "db4")]
        rows = list(csv.reader(io.StringIO(kxfleet.findings_csv(results))))
        fix = "projmod -s -K '%s=(priv,%d,deny)' user.root"
        self.assertEqual([
            ["host", "release", "parameter", "project", "value", "minimum", "verdict", "source", "fix",
             "apply_now", "reboot"],
            ["db1", "5.10", "process.max-msg-messages", "user.root", "8192", "16384", "below-minimum,wrong-privilege",
             "/etc/project", fix % ("process.max-msg-messages", 16384), "", "no"],
            ["db1", "5.10", "project.max-shm-memory", "user.root", "4294967296", "6442450944", "below-minimum",
             "/etc/project", fix % ("project.max-shm-memory", 6442450944), "", "no"],
            ["db1", "5.10", "project.max-shm-memory", "user.root", "4294967296", "8589934592", "below-minimum",
             "/etc/project", fix % ("project.max-shm-memory", 8589934592), "", "no"],
            ["db1", "5.10", "project.max-sem-ids", "user.root", "128", "384", "not-set", "default",
             fix % ("project.max-sem-ids", 384), "", "no"],
            ["db1", "5.10", "rlim_fd_max", "", "", "65536", "not-set", "", "set rlim_fd_max=65536", "", "yes"],
            ["db2", "5.10", "", "", "", "", "failed", "", "", "", ""],
            ["db4", "", "", "", "", "", "unreachable", "", "", "", ""]], rows)
        hosts = kxfleet.findings_document(results)["hosts"]
        self.assertEqual([("db1", 1, 5, None), ("db2", 255, None, self.trace), ("db4", None, None, None)],
                         [(h["host"], h["exit_status"], h["findings"], h["trace"]) for h in hosts])
        # A host counts once per parameter and verdict, however many rows it has there.
        self.assertEqual([("process.max-msg-messages (user.root)", 1, {"below-minimum": 1, "wrong-privilege": 1}),
                          ("project.max-sem-ids (user.root)", 1, {"not-set": 1}),
                          ("project.max-shm-memory (user.root)", 1, {"below-minimum": 1}),
                          ("rlim_fd_max", 1, {"not-set": 1})], kxfleet.parameter_counts(results))

    def test_the_page_shows_what_hosts_send_as_text(self):
        # Collector messages and causes come from the hosts: never markup on the page.
        hostile = '"><script>alert(1)</script><img src=x onerror=alert(2)>'
        results = [kxfleet.host_result({"host": "db<b>9", "state": "not-collected", "message": hostile}),
                   kxfleet.host_result(dict(self.outcomes()["db1"], notes=hostile))]
        page = Page()
        page.feed(kxfleet.fleet_page(results, title=hostile))
        self.assertEqual((["script"], ["db<b>9", "db1"]), (page.marked, page.hosts))


class Page(html.parser.HTMLParser):
    """What a page could run or fetch (scripts, images, handlers, URLs), and its hosts."""

    def __init__(self):
        super().__init__()
        self.marked, self.hosts = [], []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.marked += [tag] if tag in ("script", "img", "iframe", "object", "link") else []
        self.marked += [a for a, v in attrs.items() if a.startswith("on") or a in ("src", "href")]
        self.hosts += [attrs["data-host"]] if "data-host" in attrs else []


if __name__ == "__main__":
    unittest.main(verbosity=1)
