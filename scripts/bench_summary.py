#!/usr/bin/env python3
"""Times the site summary on 2,000, 20,000 and 200,000 generated reports (and 1,000,000 with
BENCH_LARGE=1), warm file cache, all three outputs at once, beside reading the files alone, and
reads its peak memory; prints Markdown table rows. Usage: bench_summary.py SUMMARY-PROGRAM
SCRATCH-FOLDER"""

import os
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


def read_alone(folder):
    """Seconds to open and read every report, and nothing else: the floor of any summary."""
    start = time.perf_counter()
    for directory, _, names in os.walk(folder):
        for name in names:
            with open(os.path.join(directory, name), "rb") as report_file:
                report_file.read()
    return time.perf_counter() - start


def peak_of(command):
    """Seconds and peak resident set (KiB) of one run, through GNU time's own figure."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, check=True,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - start
    return seconds, int(result.stderr.strip().splitlines()[-1])


def measure(program, folder, outputs, runs):
    """Median seconds and largest peak (KiB) writing CSV, JSON and HTML at once, warm cache."""
    command = [program, "--csv", os.path.join(outputs, "s.csv"), "--json", os.path.join(outputs, "s.json"),
               "--html", os.path.join(outputs, "s.html"), folder]
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)  # warms the file cache
    times, peaks = [], []
    for _ in range(runs):
        seconds, peak = peak_of(command)
        times.append(seconds)
        peaks.append(peak)
    reading = statistics.median(read_alone(folder) for _ in range(runs))
    return statistics.median(times), max(peaks), reading


def main():
    program, scratch = sys.argv[1], sys.argv[2]
    goals = {2000: "", 20000: "under 1 s", 200000: "within 1.5 of reading, under 48 MB"}
    # A million reports take a minute to make and 1.4 GB of disk: only when asked.
    if os.environ.get("BENCH_LARGE") == "1":
        goals[1000000] = "under 64 MB"
    results = {}
    outputs = os.path.join(scratch, "summary-out")
    os.makedirs(outputs, exist_ok=True)
    for count in goals:
        folder = os.path.join(scratch, "site-%d" % count)
        make_site(folder, count)
        results[count] = measure(program, folder, outputs, 3 if count >= 200000 else 5)
        shutil.rmtree(folder, ignore_errors=True)
    shutil.rmtree(outputs, ignore_errors=True)
    for count, (seconds, peak, reading) in results.items():
        print("| site summary of %d reports, CSV, JSON and HTML at once, warm cache | %.0f ms, peak %.1f MB | %s |"
              % (count, seconds * 1000, peak / 1024, goals[count]))
        print("| reading those %d files alone (open and read each) | %.0f ms; ratio %.1f | |"
              % (count, reading * 1000, seconds / reading))
    print("| ratio 200,000 / 20,000 | %.1f | about 10: linear |" % (results[200000][0] / results[20000][0]))


if __name__ == "__main__":
    main()
