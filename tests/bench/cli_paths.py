#!/usr/bin/python3
"""Whole-process benchmarks of audimark-cli's file paths, each paired with a
competitor and a floor in one run:

  stats   `audimark-cli stats` of a 99,999-row CSV of the graph export,
          beside stats_numpy.py (numpy.loadtxt, LAeq, L10, L50, L90) and
          `cat` of the same file;
  export  `audimark-cli export --format csv` of a set of 31,992 samples,
          beside export_python.py (a plain Python writer of the same bytes,
          checked with cmp) and `cp` of the written file;
  start   `audimark-cli --version` and every command's start but report's
          (`COMMAND --help`, and sets/export/stats of a file that is not
          there), beside bench_cli_plain, a QtCore-only program.

Each pair runs in turn, A then B, then B then A, for several rounds after a
warm-up; a round's ratio is A's figure over B's, and what is quoted is the
median of the rounds' ratios (so a drift in the machine's speed cancels),
with their minimum and maximum. CPU is user + system time of the finished
process as the kernel counts it (wait4); wall is the time from start to
reaping. The machine's load average is printed before and after.

Usage: cli_paths.py BUILD_DIR [--rounds N] [--only stats,export,start] [--cli PATH]
(--cli: another audimark-cli to time, e.g. one built from an earlier commit.)
Needs /usr/bin/python3 with Debian's python3-numpy. Times nothing in CTest."""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"


def run_once(argv, stdout=subprocess.DEVNULL):
    """(cpu seconds, wall seconds, exit status) of one whole process."""
    started = time.perf_counter()
    process = subprocess.Popen(argv, stdout=stdout, stderr=subprocess.DEVNULL,
                               stdin=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - started
    process.returncode = os.waitstatus_to_exitcode(status)
    return usage.ru_utime + usage.ru_stime, wall, process.returncode


class Pair:
    """A against B, in turn, round by round."""

    def __init__(self, name, a, b, rounds):
        self.name = name
        self.a = a
        self.b = b
        self.rounds = rounds
        self.cpu_ratios = []
        self.wall_ratios = []
        self.a_cpu = []
        self.b_cpu = []
        self.statuses = set()

    def run(self):
        run_once(self.a)  # warm-up: caches, the dynamic loader's
        run_once(self.b)
        for r in range(self.rounds):
            first, second = (self.a, self.b) if r % 2 == 0 else (self.b, self.a)
            one = run_once(first)
            two = run_once(second)
            a, b = (one, two) if r % 2 == 0 else (two, one)
            self.statuses.add((a[2], b[2]))
            self.a_cpu.append(a[0])
            self.b_cpu.append(b[0])
            # A process too short for the clock's tick counts as one tick.
            self.cpu_ratios.append(max(a[0], 1e-3) / max(b[0], 1e-3))
            self.wall_ratios.append(a[1] / b[1])
        return self

    def line(self):
        def spread(values):
            return "%.2f (%.2f..%.2f)" % (statistics.median(values), min(values), max(values))
        return ("%-44s cpu %s  wall %s  [A %.1f ms, B %.1f ms cpu; exit %s]" % (
            self.name, spread(self.cpu_ratios), spread(self.wall_ratios),
            1000 * statistics.median(self.a_cpu), 1000 * statistics.median(self.b_cpu),
            ",".join("%d/%d" % s for s in sorted(self.statuses))))


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build")
    parser.add_argument("--rounds", type=int, default=11)
    parser.add_argument("--only", default="stats,export,start")
    parser.add_argument("--cli", help="the audimark-cli to time (default: the build's)")
    args = parser.parse_args()
    only = set(args.only.split(","))

    cli = args.cli or os.path.join(args.build, "tools", "cli", "audimark-cli")
    bench = os.path.join(args.build, "tests", "bench")
    plain = os.path.join(bench, "bench_cli_plain")
    work = tempfile.mkdtemp(prefix="cli-paths-")
    csv = os.path.join(work, "stats.csv")
    rec = os.path.join(work, "export.rec")
    out_a = os.path.join(work, "a.csv")
    out_b = os.path.join(work, "b.csv")
    out_c = os.path.join(work, "c.csv")
    subprocess.run([os.path.join(bench, "bench_cli_stats_data"), csv], check=True)
    subprocess.run([os.path.join(bench, "bench_cli_export_data"), rec], check=True)

    print("machine: %d cores, load average %s; %d rounds a pair, ratios A/B as median (min..max)"
          % (os.cpu_count(), load(), args.rounds))
    pairs = []
    if "stats" in only:
        a = [cli, "stats", csv]
        numpy = [PYTHON, os.path.join(HERE, "stats_numpy.py"), csv]
        print("stats: audimark-cli says")
        subprocess.run(a + ["--format", "text"], check=True)
        print("stats: numpy says")
        subprocess.run(numpy, check=True)
        pairs.append(Pair("stats 99,999 rows / numpy script", a, numpy, args.rounds))
        pairs.append(Pair("stats 99,999 rows / cat", a, ["cat", csv], args.rounds))
    if "export" in only:
        a = [cli, "export", rec, "--set", "1", "--format", "csv", "--out", out_a]
        python = [PYTHON, os.path.join(HERE, "export_python.py"), out_b]
        subprocess.run(a, check=True)
        subprocess.run(python, check=True)
        same = subprocess.run(["cmp", out_a, out_b]).returncode == 0
        print("export: the Python writer's bytes are %s audimark-cli's (cmp)"
              % ("the same as" if same else "NOT the same as"))
        if not same:
            return 1
        pairs.append(Pair("export 31,992 samples / Python writer", a, python, args.rounds))
        pairs.append(Pair("export 31,992 samples / cp", a, ["cp", out_a, out_c], args.rounds))
    if "start" in only:
        pairs.append(Pair("--version / QtCore-only --version",
                          [cli, "--version"], [plain, "--version"], args.rounds))
        for command in ("live", "download", "sets", "export", "stats", "autoload", "info",
                        "set-clock", "set-interval", "erase"):
            pairs.append(Pair("%s --help / QtCore-only --help" % command,
                              [cli, command, "--help"], [plain, "--help"], args.rounds))
        missing = os.path.join(work, "missing")
        for command in (["sets", missing + ".rec"],
                        ["export", missing + ".rec", "--set", "1", "--format", "csv"],
                        ["stats", missing + ".csv"]):
            pairs.append(Pair("%s (no such file) / QtCore-only --version" % command[0],
                              [cli] + command, [plain, "--version"], args.rounds))
    for pair in pairs:
        print(pair.run().line(), flush=True)
    print("load average after: %s" % load())
    return 0


if __name__ == "__main__":
    sys.exit(main())
