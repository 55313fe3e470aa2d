#!/usr/bin/env python3
"""Times the site summary on 2,000 and 20,000 generated reports (warm file cache) and reads its
peak memory; prints Markdown table rows. Usage: bench_summary.py SUMMARY-PROGRAM SCRATCH-FOLDER"""

import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

LABELS = ["Operating System", "Operating System Version", "System Manufacturer", "Processor Speed",
          "BIOS Version", "Locale", "Username", "Total Physical Memory",
          "Available Physical Memory", "Hard Drive Size", "Serial Ports Detected"]


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


def measure(program, folder, runs=5):
    times = []
    peak_kib = 0
    for _ in range(runs + 1):  # the first run warms the file cache
        start = time.perf_counter()
        subprocess.run([program, "--csv", os.devnull, folder], check=True)
        times.append(time.perf_counter() - start)
        peak_kib = max(peak_kib, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
    return statistics.median(times[1:]), peak_kib


def main():
    program, scratch = sys.argv[1], sys.argv[2]
    results = {}
    for count in (2000, 20000):
        folder = os.path.join(scratch, "site-%d" % count)
        make_site(folder, count)
        results[count] = measure(program, folder)
        shutil.rmtree(folder, ignore_errors=True)
    for count, (seconds, peak) in results.items():
        goal = "under 2 s, under 100 MB" if count == 20000 else ""
        print("| site summary of %d reports (CSV), warm cache | %.0f ms, peak %.1f MB | %s |"
              % (count, seconds * 1000, peak / 1024, goal))
    print("| ratio 20,000 / 2,000 | %.1f | about 10: linear |" % (results[20000][0] / results[2000][0]))


if __name__ == "__main__":
    main()
