#!/usr/bin/env bash
# Measures the program and writes the figures to docs/performance.md (and prints them).
# Runs inside Xvfb (started by the Makefile).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
cd "$root"
# The figures are meant to be the shipped 32-bit program's. Where the kernel runs no 32-bit code,
# the same sources built as a 64-bit program stand in (its list items and pointers are twice the
# size), and the machine line says so.
build_used="the 32-bit program"
if ! wine_can_run; then
    wine64_can_run || { wine_unavailable_reason >&2; exit 1; }
    use_wine64
    build_used="the 64-bit build of the same sources under Wine's 64-bit loader ($(wine_unavailable_reason))"
fi

[ -f build/wine/win7-64/system.reg ] || make_profile win7-64
use_profile win7-64
runs="${QK_BENCH_RUNS:-9}"

native=$(build/bench/native_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null |
         grep -E '_median' | sed -E 's/ +/ /g')
wine_table=$(QK_BENCH_RUNS=$runs build/bench/wine_bench 2>/dev/null)
summary_table=$(python3 scripts/bench_summary.py build/release/quor-kelvra-summary "$QK_TEST_TMP")
wineserver -w

machine="$(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GiB, $(lscpu | sed -n 's/^Model name: *//p' | head -1); $(wine --version), Xvfb; $build_used"

cat > docs/performance.md <<DOC
# Performance

Measured by \`make bench\` on $(date -u +%Y-%m-%d): $machine.
Every figure is a median; the Wine figures over $runs runs each, the native ones over 5 repetitions.
To reproduce: \`make bench\` (\`QK_BENCH_RUNS=N make bench\` for more runs). The table below is
rewritten by each run.

## Under Wine

$wine_table

- The check run is timed from the process start until its report holds all 28 lines; the report
  is closed right after the last line. The floor (\`tests/bench/floor.cpp\`) makes the same platform
  calls in the same order (common controls, the dialog on the same template and the calls of its
  initialisation, then the report file, images, version and system records, product info, the
  native machine, the Windows folder, the four WMI query sequences (every disk, and where there
  are several the system drive's partitions on the same connection), the serial map, memory, list
  entries, control texts, mark images, locale and 28 writes) through a bare dialog procedure with constant texts, and nothing else:
  no framework, no text formatting, no decisions. Both start as fresh Wine processes in a warm
  wineserver, alternating, so process start-up is in both.
- An unattended run (\`/silent\`) is timed from the process start until it has ended; its floor is
  \`qk-floor /silent\`, the same check-run calls with no window at all.
- The dialog comes first and the check run starts once it is painted, so "start to report" holds
  the first paint, in the program and in its floor alike (the floor shows and paints, then makes
  the calls on the window's thread; the program's run goes on a thread of its own, so the
  tooltips and the paint of what it shows overlap with it). "Start to the dialog's first paint" is timed until the dialog is visible and neither
  it nor any of its controls has anything left to paint (an empty update region), as
  \`qk-driver first-paint\` sees it: started before the program, under the same wineserver, it
  looks every millisecond or so through the server, where polling from Linux started a process
  for each look and took cores from the program it timed. Beside it, \`qk-floor /show\`, which
  shows the same template and does nothing else; the program shows and paints at once from its
  own posted message, the bare template when the dialog manager gets to it, so the program can
  come out ahead. The phases split the program's start-up: a process started and ended under Wine
  (\`qk-floor /exit\`); the program's own image, runtime and static initialisers (\`/silent /?\`,
  which prints its usage and ends); the dialog's initialisation until its first paint; and the
  check run until the report is in place. Timed inside
  the program once (not part of the bench), the dialog's initialisation takes about 9 ms under
  Wine (4 of them the two window icons), the dialog manager shows the window some 16 ms later, and
  the first paint of the whole dialog takes 55 to 60 ms. Tooltips are made after the first paint,
  and comdlg32 and shell32 are loaded only when Import File or a command line needs them.
- An import is timed from confirming the path in the open-file dialog until the program is idle
  again with the report shown. The Cancel row is the dialog's own share; subtracting it, the time
  per line of the two file sizes shows whether any step of ours grows faster than the file.
- The one-character rows are the shapes the sorted list is worst at: the most lines a 1 MiB report
  holds (262,144, a character and a line feed each), ascending, descending, all alike and in random
  order.
- Ctrl+C is pressed by the driver (\`SendInput\`, so the program reads a real Ctrl key) and timed
  until the clipboard holds Unicode text: once on the 28 lines of a run, once on the list the
  random-order import left, which is read back from the list box line by line.

## Site summary (Linux, Release build)

| figure | median | goal |
|---|---|---|
$summary_table

- Reports generated by \`scripts/bench_summary.py\` in twenty sub-folders (28 lines each, as the
  program writes them), read once to warm the file cache, then timed writing the CSV, the JSON and
  the HTML page at once to files (the median of 5 runs, 3 for 1,000,000, which \`BENCH_LARGE=1\`
  adds), and again with \`--since\` an earlier summary of the same site (the program's own
  \`--json\` of it, so every PC is met again and compared). Each output is written beside its
  name, flushed to the disk and moved into place at the end, and those flushes are in the figures.
  Peak memory is the largest resident set of any run, as GNU time reports it: the program reads
  and parses the reports on every core, a batch at a time, writes the CSV and the JSON rows as
  they come and keeps only the 10,000 rows the page lists, so its memory is that of the largest
  folder's listing (each entry's name and what the system said of it), of the identities met (8
  bytes a file) and, with \`--since\`, of the earlier PCs (32 bytes each beside their names).
- The floor is \`qk-read-floor\` (\`tests/bench/read_floor.cpp\`), run alternately with the
  program: it walks the site as the summary's walk does, one lstat an entry, and reads every
  report whole on every core, its readers starting while the walk goes on (with \`--also\` the
  earlier summary too), and parses and writes nothing.

## What measuring changed

- The import used to add each line to the visible list one at a time, and Wine repainted the
  list after every line: 4.4 ms a line (2,000 lines took 8.7 s; a 1 MiB report did not finish
  within ten minutes). The list is now filled with its redraw suspended and its storage reserved,
  then repainted once.
- A report of 262,144 one-character lines froze the window while the list was filled: 1.7 s in
  ascending order, 20.2 s descending, 9.0 s all alike and 9.7 s in random order (medians of 3, the
  64-bit build). Each LB_ADDSTRING finds its place by binary search with CompareStringW, then moves
  every item after that place, and an equal line is placed beside the one the search meets, in
  the middle of its run; so descending or repeated lines cost the square of their number. The
  import now orders the lines itself first, by one sort key a line (LCMapStringW with the list
  box's locale and NORM_IGNORECASE, checked pair by pair against CompareStringW), and inserts
  each at the end with LB_INSERTSTRING, which does not search; the list box keeps its LBS_SORT
  style for the lines the check run adds. That left 1.4 to 1.9 s, most of it in Wine's list box:
  it gives back what LB_INITSTORAGE reserved at the next insertion and regrows its item array
  sixteen items at a time, copying it to fresh pages each time it outgrows them (about 1 s for
  262,144 items on its own). Reserving again once the array is a large heap block, whose pages
  Wine keeps when it shrinks, made those regrowths free.
- Once the result list was subclassed to give it an accessible name, a 1 MiB report took 1.4 s to
  import, 262,144 one-character lines 11 s and copying them 23 s: the subclass found its object
  through a window property on every message, and under Wine each GetProp is a round trip to the
  wineserver. Subclassed controls now find their owner in a table of their thread's own: 0.16 s,
  0.3 to 0.4 s and 0.23 s again (medians of 3, the 64-bit build).
- Every dialog that closed under Xvfb took 2 s: Wine waited for a window manager to withdraw the
  window, and Xvfb runs none. The test and benchmark prefixes make Wine's windows unmanaged; the
  program itself never waited.
- The floor first left out the dialog the program must create before its check run; as a plain
  list of probe calls it ran in about 150 ms against the program's 225 ms. The dialog, its
  controls and their fonts are platform calls the program makes before its report is closed, so
  the floor now makes them too, through a bare dialog procedure on the same template.
- The site summary of 200,000 reports took 3.5 s against 2.2 s to read the files, most of it
  in parsing: each report's text was cut into a copy of every line and every token, and each
  line's label measured again against every known one. Lines and tokens are now views into the
  text, and only the values kept are copied: 2.7 s. A million reports kept 81 MB resident: a
  table of identities as pairs (24 MB, 40 MB while it grew), a folder's 50,000 entries as whole
  paths (18 MB), and glibc keeping freed large blocks in its heap once its threshold for mapping
  them had risen (58 MB resident for 38 MB in use). Identities are now kept per device as single
  numbers, a listing as names, and large blocks always mapped: 39 MB.

## Native (Release build, Google Benchmark)

\`\`\`
$native
\`\`\`

- \`ParseReport1MiB/N\`: the report text and its two passes for an N-byte report of short lines.
- \`CheckRunAgainstFakes\`: one whole check run against the fake platform and dialog.
DOC
cat docs/performance.md
