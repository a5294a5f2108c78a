#!/usr/bin/python3
"""A generated fleet of 300 hosts and more, each checked with the installed tool through
the helper: every document valid, each host's trace its own run, the summary and the
findings counting what the documents say, and the fleet page as headless Chromium shows
it (a screenshot is kept as BUILD_DIR/fleet-page.png).
Run with Debian's Python (jsonschema, selenium):
    /usr/bin/python3 tests/fleet/fleet_page_test.py TOOL_DIR BUILD_DIR"""

import concurrent.futures
import contextlib
import csv
import json
import os
import random
import re
import shutil
import sys
import tempfile
import unittest
import urllib.parse

import jsonschema
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(TOP, "contrib/ansible/files"))
import kxfleet  # noqa: E402

TOOL = BUILD = None  # from the command line
FLEET_SIZE = 300
SIMS = {"5.9": "sim/solaris9", "5.10": "sim/solaris10", "5.11": "sim/solaris11"}
# The resource controls the generated hosts give user.root, with a value that meets the
# product's needs and stays within the control's maximum.
RCTLS = {"project.max-shm-memory": 1 << 40, "project.max-shm-ids": 4096, "project.max-sem-ids": 4096,
         "process.max-sem-nsems": 4096, "project.max-msg-ids": 4096, "process.max-msg-qbytes": 1 << 24,
         "process.max-msg-messages": 1 << 20}
TUNABLES = {"msgsys:msginfo_msgmnb": 1 << 20, "msgsys:msginfo_msgtql": 1 << 16,
            "shmsys:shminfo_shmmax": 1 << 40, "shmsys:shminfo_shmmni": 4096,
            "semsys:seminfo_semmni": 4096, "semsys:seminfo_semmns": 1 << 16, "semsys:seminfo_semmsl": 4096}
# The worst verdict colours a cell; the test's own order, as an administrator reads it.
SEVERITY = ["below-minimum", "not-set", "wrong-privilege", "ok", "na", "none"]
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--no-first-run",
                  "--window-size=1600,1000"]
SHM = "project.max-shm-memory (user.root)"


def natural(name):
    return [int(t) if t.isdigit() else t for t in re.split(r"([0-9]+)", name)]


def write(path, text):
    with open(path, "w") as stream:
        stream.write(text)


def make_host(root, release, name, rnd=None, edit=None):
    """A host root from a simulated host: with rnd, other memory and settings drawn."""
    shutil.copytree(os.path.join(TOP, SIMS[release]), root, symlinks=True)
    write(os.path.join(root, "MANIFEST"), "host: %s\ncollected: 2026-03-14T08:00:00Z\n"
          "kxsnap_version: 1.1\nrelease: %s\n" % (name, release))
    if rnd:
        prtconf = os.path.join(root, "usr/sbin/prtconf")
        with open(prtconf) as stream:
            text = stream.read()
        write(prtconf, re.sub(r"Memory size: [0-9]+", "Memory size: %d" % rnd.choice([4096, 8192, 65536]), text))
        _vary(root, release, rnd)
    if edit:
        edit(root)


def _vary(root, release, rnd):
    """user.root's controls (on 5.9 the tunables of /etc/system) drawn: all met on a tuned
    host, else each met, short or missing, and some with a basic privilege."""
    tuned = rnd.random() < 0.3
    table, path, key = (TUNABLES, "etc/system", "set ") if release == "5.9" else (RCTLS, "etc/project", "user.root:")
    drawn = [(name, meets if tuned else rnd.choice([meets, meets, 64, None]),
              "priv" if tuned else rnd.choice(["priv", "priv", "privileged", "basic"]))
             for name, meets in table.items()]
    drawn = [d for d in drawn if d[1] is not None]
    with open(os.path.join(root, path)) as stream:
        lines = [l for l in stream.read().splitlines() if not l.startswith(key)]
    if release == "5.9":
        lines += ["set %s=%d" % (name, value) for name, value, _ in drawn]
    else:
        lines.append("user.root:1::::" + ";".join("%s=(%s,%d,deny)" % (n, p, v) for n, v, p in drawn))
    write(os.path.join(root, path), "\n".join(lines) + "\n")


def _edit(root, path, old, new):
    path = os.path.join(root, path)
    with open(path) as stream:
        text = stream.read()
    assert old in text, (path, old)
    write(path, text.replace(old, new))


def replace_command(path, output):
    write(path, "#!/bin/sh\necho '%s'\n" % output)


@contextlib.contextmanager
def quiet_stdout():
    """The tool's console, 300 times over, out of the test's output."""
    saved = os.dup(1)
    with open(os.devnull, "w") as null:
        os.dup2(null.fileno(), 1)
    try:
        yield
    finally:
        os.dup2(saved, 1)
        os.close(saved)


class Fleet(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="kxfleet-page.")
        cls.reports = os.path.join(cls.dir, "fleet-report")
        os.mkdir(cls.reports)
        rnd = random.Random(2026)
        hosts = {"host-%d" % i: (rnd.choice(sorted(SIMS)), random.Random(i), None) for i in range(FLEET_SIZE)}
        hosts.update({
            "sim-sol9": ("5.9", None, None), "sim-sol10": ("5.10", None, None), "sim-sol11": ("5.11", None, None),
            "wrongpriv-sol10": ("5.10", None, lambda r: _edit(r, "etc/project", "(priv,1048576", "(basic,1048576")),
            "failed-notroot": ("5.10", None, lambda r: replace_command(os.path.join(r, "usr/bin/id"),
                                                                       "uid=100(kxadm) gid=10(staff)")),
            "failed-uname": ("5.11", None, lambda r: replace_command(os.path.join(r, "usr/bin/uname"), "5.x")),
        })
        outcomes = []
        for name, (release, host_rnd, edit) in hosts.items():
            make_host(os.path.join(cls.dir, "snapshots", name), release, name, host_rnd, edit)
            outcomes.append({"host": name, "state": "checked", "release": release,
                             "json": os.path.join(cls.reports, name + ".json"),
                             "trace": os.path.join(cls.reports, name + ".trace")})
        # The checks side by side, as the playbook runs them.
        with quiet_stdout(), concurrent.futures.ThreadPoolExecutor(4) as pool:
            rcs = pool.map(lambda o: kxfleet.check(os.path.join(TOOL, "bin/kxsyfchk"),
                                                   os.path.join(cls.dir, "snapshots", o["host"]),
                                                   cls.reports, os.path.join(cls.dir, "tool-dirs"),
                                                   o["host"], "ja_JP.UTF-8"), outcomes)
            for outcome, rc in zip(outcomes, list(rcs)):
                outcome["rc"] = rc
        cls.checked = [o["host"] for o in outcomes]
        outcomes += [{"host": "gone-1", "state": "unreachable", "message": "Connection refused"},
                     {"host": "gone-2", "state": "unreachable", "message": "Connection timed out"},
                     {"host": "nocollect-1", "state": "not-collected", "message": "kxsnap failed with status 1"}]
        rnd.shuffle(outcomes)
        cls.hosts = [o["host"] for o in outcomes]
        cls.results = [kxfleet.host_result(o) for o in outcomes]
        kxfleet.write_summary(cls.results, cls.reports)
        cls.docs = {}
        for name in cls.checked:
            with open(os.path.join(cls.reports, name + ".json"), encoding="utf-8") as stream:
                cls.docs[name] = json.load(stream)

        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for flag in CHROMIUM_FLAGS + ["--user-data-dir=" + os.path.join(cls.dir, "chromium")]:
            options.add_argument(flag)
        cls.browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.browser.set_page_load_timeout(60)
        cls.url = "file://" + os.path.join(cls.reports, kxfleet.FLEET_PAGE)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        shutil.rmtree(cls.dir)

    def findings(self):
        """{column: {host: [verdict...]}} of the rows not met, from the documents."""
        found = {}
        for name, doc in self.docs.items():
            for row in doc["requirements"]:
                if row["verdict"] != ["ok"]:
                    found.setdefault(kxfleet.column_of(row), {}).setdefault(name, []).extend(row["verdict"])
        return found

    def test_every_document_is_valid(self):
        with open(os.path.join(TOP, "schema/kxsyfchk-results.schema.json")) as stream:
            validator = jsonschema.Draft202012Validator(json.load(stream))
        for name, doc in self.docs.items():
            with self.subTest(name):
                self.assertEqual([], [e.message for e in validator.iter_errors(doc)])
        statuses = sorted(set(doc["exit_status"] for doc in self.docs.values()))
        self.assertEqual([0, 1, 255], statuses, "the fleet has passed, found and failed hosts")

    def test_each_trace_is_its_own_run(self):
        # Four checks at a time, each from its own tool directory: one run per trace,
        # reading its own snapshot only.
        for name in self.checked:
            with self.subTest(name):
                with open(os.path.join(self.reports, name + ".trace"), "rb") as stream:
                    trace = stream.read()
                self.assertEqual(1, trace.count(b"kxg_TraceMemAllc FILE="))
                self.assertEqual(1, trace.count(b"kxg_TraceMemFree"))
                roots = set(re.findall(rb"/snapshots/([^/\]]+)/", trace))
                self.assertEqual({name.encode()}, roots)

    def test_summary_counts_what_the_documents_say(self):
        with open(os.path.join(self.reports, "summary.txt"), encoding="utf-8") as stream:
            text = stream.read()
        statuses = [doc["exit_status"] for doc in self.docs.values()]
        self.assertEqual("%d hosts: %d passed, %d with findings, 2 failed, 1 not collected, 2 unreachable"
                         % (len(self.hosts), statuses.count(0), statuses.count(1)), text.splitlines()[0])
        table = text.split("Findings by parameter (hosts):\n")[1].split("\n\n")[0].splitlines()
        starts = [table[0].index(h) for h in ("hosts", "below-minimum", "not-set", "wrong-privilege")]
        got = {line[:starts[0]].strip(): [line[a:b].strip() for a, b in zip(starts, starts[1:] + [None])]
               for line in table[1:]}
        want = {column: [str(len(hosts))] + [str(sum(v in vs for vs in hosts.values()) or "")
                                              for v in ("below-minimum", "not-set", "wrong-privilege")]
                for column, hosts in self.findings().items()}
        self.assertEqual(want, got)
        rows = {line.split()[0]: line for line in text.splitlines() if line[:1].isalpha()}
        for name, doc in self.docs.items():
            with self.subTest(name):
                if doc["exit_status"] == 0:
                    self.assertNotIn(name, rows, "passed hosts are counted, not listed")
                elif doc["exit_status"] == 255:
                    # The release of a host whose check failed early is its snapshot's.
                    self.assertRegex(rows[name], r"^%s +5\.1[01] +255 +%s: .+ \(trace: %s\.trace\)$" % (
                        name, re.escape(doc["failure"]["step"]), name))
                else:
                    self.assertIn(name, rows)

    def test_findings_files_hold_every_finding_with_its_fix(self):
        with open(os.path.join(self.reports, kxfleet.FINDINGS_CSV), encoding="utf-8", newline="") as stream:
            rows = list(csv.DictReader(stream))
        want = sorted((name, row["parameter"], row["minimum_text"] or "", (row["fix"] or {}).get("command", ""))
                      for name, doc in self.docs.items() for row in doc["requirements"] if row["verdict"] != ["ok"])
        got = sorted((r["host"], r["parameter"], r["minimum"], r["fix"]) for r in rows if r["parameter"])
        self.assertEqual(want, got)
        unchecked = sorted(r["host"] for r in rows if not r["parameter"])
        self.assertEqual(["failed-notroot", "failed-uname", "gone-1", "gone-2", "nocollect-1"], unchecked)

    # --- The fleet page in headless Chromium, driven by chromedriver as a user would ---

    # The page's table in one call: per row its host, class and badge, per cell its
    # class, title and colour.
    READ_TABLE = """
        return Array.from(document.querySelectorAll("#fleet tbody tr")).map(function (row) {
          var badge = row.querySelector(".badge");
          return [row.getAttribute("data-host"), row.className, badge ? badge.textContent : "",
                  Array.from(row.querySelectorAll("td.cell")).map(function (cell) {
                    return [cell.className, cell.title, getComputedStyle(cell).backgroundColor];
                  })];
        });"""

    def open(self, fragment=""):
        self.browser.get("about:blank")
        self.browser.get(self.url + fragment)
        self.columns = [th.get_attribute("data-key") for th in
                        self.browser.find_elements(By.CSS_SELECTOR, "#fleet thead th")]
        return {row[0]: row[1:] for row in self.browser.execute_script(self.READ_TABLE)}

    def order(self):
        return self.browser.execute_script(
            'return Array.from(document.querySelectorAll("#fleet tbody tr")).map(r => r.getAttribute("data-host"));')

    def click(self, key):
        self.browser.find_element(By.CSS_SELECTOR, '#fleet thead th[data-key="%s"]' % key).click()

    def test_page_shows_each_host_and_cell(self):
        table = self.open()
        columns = self.columns[4:]
        self.assertEqual(len(self.hosts), len(table))
        self.assertEqual(len(self.hosts) * len(columns), sum(len(cells) for _, _, cells in table.values()))
        index = {c: i for i, c in enumerate(columns)}
        known = [("sim-sol10", SHM, "below-minimum", ["value: 4294967296", "minimum: 6442450944"]),
                 ("sim-sol10", "project.max-sem-ids (user.root)", "not-set", ["value: 128 (privileged, default)"]),
                 ("sim-sol10", "project.max-shm-ids (user.root)", "ok", ["value: 512", "minimum: 384"]),
                 ("wrongpriv-sol10", "process.max-msg-qbytes (user.root)", "wrong-privilege", ["(basic, /etc/project)"]),
                 ("sim-sol9", SHM, "na", []),
                 ("sim-sol9", "msgsys:msginfo_msgtql", "below-minimum", ["value: 1024", "minimum: 1316"]),
                 ("failed-uname", SHM, "none", []), ("gone-1", SHM, "none", [])]
        for host, column, kind, tips in known:
            with self.subTest(host=host, column=column):
                cell_class, title, _ = table[host][2][index[column]]
                self.assertEqual("cell v-" + kind, cell_class)
                for tip in tips:
                    self.assertIn(tip, title)
        # Every cell of every checked host: its document's worst verdict there.
        for name, doc in self.docs.items():
            verdicts = {}
            for row in doc["requirements"]:
                verdicts.setdefault(kxfleet.column_of(row), []).extend(row["verdict"])
            want = ["none" if doc["exit_status"] == 255 else min(verdicts.get(c, ["na"]), key=SEVERITY.index)
                    for c in columns]
            self.assertEqual(want, [cell[0].split("v-")[1] for cell in table[name][2]], name)
        # Each verdict in its legend's colour, four verdicts in four colours.
        legend = dict(self.browser.execute_script(
            'return Array.from(document.querySelectorAll(".legend span"))'
            '.map(s => [s.className, getComputedStyle(s).backgroundColor]);'))
        colours = {cls: colour for _, _, row in table.values() for cls, _, colour in row}
        self.assertEqual([legend["v-" + k] for k in SEVERITY[:4]], [colours["cell v-" + k] for k in SEVERITY[:4]])
        self.assertEqual(4, len(set(colours["cell v-" + k] for k in SEVERITY[:4])))
        marks = {host: (row_class, badge) for host, (row_class, badge, _) in table.items() if badge}
        self.assertEqual({"failed-notroot": ("failed", "failed"), "failed-uname": ("failed", "failed"),
                          "gone-1": ("unreachable", "unreachable"), "gone-2": ("unreachable", "unreachable"),
                          "nocollect-1": ("not-collected", "not collected")}, marks)

    def test_page_sorts_by_host_and_by_parameter(self):
        self.open()
        self.assertNotEqual(sorted(self.hosts, key=natural), self.order(), "the page starts unsorted")
        self.click("host")
        self.assertEqual(sorted(self.hosts, key=natural), self.order())
        self.click("host")
        self.assertEqual(sorted(self.hosts, key=natural, reverse=True), self.order())
        self.assertTrue(self.browser.current_url.endswith("#sort=-host"), self.browser.current_url)
        rank = {r["host"]: SEVERITY.index(min(
            [v for row in r["requirements"] if kxfleet.column_of(row) == SHM for v in row["verdict"]] or
            ["na" if r["state"] in ("passed", "findings") else "none"], key=SEVERITY.index)) for r in self.results}
        worst_first = sorted(self.hosts, key=lambda h: (rank[h], natural(h)))
        self.click(SHM)
        self.assertEqual(worst_first, self.order())
        # A link to a sorted view opens sorted.
        self.open("#sort=-" + urllib.parse.quote(SHM))
        self.assertEqual(sorted(self.hosts, key=lambda h: (-rank[h], natural(h))), self.order())
        self.open("#sort=host")
        self.assertEqual(sorted(self.hosts, key=natural), self.order())
        self.browser.save_screenshot(os.path.join(BUILD, "fleet-page.png"))


class Trace(unittest.TestCase):
    def test_the_run_whole_and_alone(self):
        # Over 16 MiB of trace lines, moved to trace_01.log during the run, in a tool
        # directory whose trace and history an earlier run filled.
        with tempfile.TemporaryDirectory() as work:
            make_host(os.path.join(work, "db1"), "5.9", "db1", edit=lambda root: write(
                os.path.join(root, "etc/system"), "".join("set kx_pad_%d=1\n" % i for i in range(130000))))
            old = os.path.join(work, "tools/db1/trace")
            os.makedirs(old)
            for name in ("trace.log", "trace_01.log", "trace_02.log", "trace_03.log"):
                write(os.path.join(old, name), "stale line of another run\n" * 50000)
            with quiet_stdout():
                kxfleet.check(os.path.join(TOOL, "bin/kxsyfchk"), os.path.join(work, "db1"), work,
                              os.path.join(work, "tools"), "db1", "ja_JP.UTF-8")
            with open(os.path.join(work, "db1.trace"), "rb") as stream:
                trace = stream.read()
        self.assertEqual((1, 1, 0), (trace.count(b"kxg_TraceMemAllc FILE="), trace.count(b"kxg_TraceMemFree"),
                                     trace.count(b"stale line")))
        self.assertGreater(len(trace), 16 << 20)


if __name__ == "__main__":
    TOOL, BUILD = (os.path.abspath(a) for a in sys.argv[1:3])
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=1)
