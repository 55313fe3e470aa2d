#!/usr/bin/env python3
"""Times the site summary on 2,000, 20,000 and 200,000 generated reports (and 1,000,000 with
BENCH_LARGE=1), warm file cache, all three outputs at once, with and without --since an earlier
summary of the same site, each beside its floor, and reads its peak memory; prints Markdown table
rows. Usage: bench_summary.py SUMMARY-PROGRAM SCRATCH-FOLDER

The floor is qk-read-floor (tests/bench/read_floor.cpp): the walk and the reads alone, on every
core. It is taken from QK_READ_FLOOR, else from the build folders (build/bench, then the summary
program's own folder, then build/native)."""

import os
import shutil
import statistics
import subprocess
import sys
import time

LABELS = ["Operating System", "Operating System Version", "System Manufacturer", "Processor Speed",
          "BIOS Version", "Locale", "Username", "Total Physical Memory",
          "Available Physical Memory", "Hard Drive Size", "Serial Ports Detected"]

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def report(index):
    lines = ["Number of Processors:  2"] * 17
    for n, label in enumerate(LABELS):
        lines.append("%s: value %d of PC %d:%d" % (label, n, index, (index + n) % 3 != 0))
    return "".join(line + "\r\n" for line in lines).encode("utf-16-le")


def make_site(folder, count):
    shutil.rmtree(folder, ignore_errors=True)
    for index in range(count):
        sub = os.path.join(folder, "floor-%d" % (index % 20))
        os.makedirs(sub, exist_ok=True)
        with open(os.path.join(sub, "PC-%05d.vkh" % index), "wb") as out:
            out.write(report(index))


def find_floor(program):
    """The floor program: QK_READ_FLOOR, or the first build folder that holds one."""
    named = os.environ.get("QK_READ_FLOOR")
    if named:
        if not os.access(named, os.X_OK):
            sys.exit("bench_summary.py: QK_READ_FLOOR=%s is no program" % named)
        return named
    for folder in (os.path.join(ROOT, "build", "bench"), os.path.dirname(os.path.abspath(program)),
                   os.path.join(ROOT, "build", "native")):
        candidate = os.path.join(folder, "qk-read-floor")
        if os.access(candidate, os.X_OK):
            return candidate
    sys.exit("bench_summary.py: no qk-read-floor: build it (cmake --build build/bench --target qk-read-floor) "
             "or name it in QK_READ_FLOOR")


def timed(command):
    """Seconds and peak resident set (KiB) of one run, through GNU time's own figure."""
    # What the last run wrote goes to the disk now, not during the next run's timing.
    os.sync()
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, check=True,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - start
    return seconds, int(result.stderr.strip().splitlines()[-1])


def measure(program, floor, runs):
    """Median seconds and largest peak (KiB) of the program, and the floor's median seconds: the
    two alternate, so that whatever else the machine does falls on both alike."""
    subprocess.run(program, check=True, stdout=subprocess.DEVNULL)  # warms the file cache
    subprocess.run(floor, check=True, stdout=subprocess.DEVNULL)
    times, peaks, floors = [], [], []
    for _ in range(runs):
        seconds, peak = timed(program)
        times.append(seconds)
        peaks.append(peak)
        floors.append(timed(floor)[0])
    return statistics.median(times), max(peaks), statistics.median(floors)


def main():
    program, scratch = sys.argv[1], sys.argv[2]
    floor = find_floor(program)
    near = "within 1.3x of the floor, under 64 MB"
    goals = {2000: ("", ""), 20000: ("under 1 s", "under 1 s"), 200000: (near, near)}
    # A million reports take minutes to make and some 6 GB of disk with their summaries: only when asked.
    if os.environ.get("BENCH_LARGE") == "1":
        goals[1000000] = ("under 64 MB", "under 64 MB")
    results = {}
    outputs = os.path.join(scratch, "summary-out")
    os.makedirs(outputs, exist_ok=True)
    three = ["--csv", os.path.join(outputs, "s.csv"), "--json", os.path.join(outputs, "s.json"),
             "--html", os.path.join(outputs, "s.html")]
    earlier = os.path.join(outputs, "earlier.json")
    for count in goals:
        folder = os.path.join(scratch, "site-%d" % count)
        make_site(folder, count)
        runs = 3 if count >= 1000000 else 5
        plain = measure([program] + three + [folder], [floor, folder], runs)
        # The earlier summary is the site's own, so every PC is met again: each row is compared.
        subprocess.run([program, "--json", earlier, folder], check=True, stdout=subprocess.DEVNULL)
        since = measure([program, "--since", earlier] + three + [folder], [floor, "--also", earlier, folder], runs)
        results[count] = (plain, since)
        shutil.rmtree(folder, ignore_errors=True)
        os.remove(earlier)
    shutil.rmtree(outputs, ignore_errors=True)
    for count, cases in results.items():
        for (seconds, peak, reading), what, goal, floor_does in zip(
                cases, ("CSV, JSON and HTML at once", "--since an earlier summary of it, CSV, JSON and HTML"),
                goals[count], ("walk and read every file", "the same and read the earlier summary")):
            print("| site summary of %d reports, %s, warm cache | %.0f ms, peak %.1f MB | %s |"
                  % (count, what, seconds * 1000, peak / 1024, goal))
            print("| its floor: %s on every core (qk-read-floor) | %.0f ms; ratio %.2f | |"
                  % (floor_does, reading * 1000, seconds / reading))
    for case, what in enumerate(("", " --since")):
        print("| ratio 200,000 / 20,000%s | %.1f | about 10: linear |"
              % (what, results[200000][case][0] / results[20000][case][0]))


if __name__ == "__main__":
    main()
