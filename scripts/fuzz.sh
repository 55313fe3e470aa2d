#!/usr/bin/env bash
# Runs one fuzzer from the inputs the repository keeps for it.
#   fuzz.sh short FUZZ-BUILD FUZZER SECONDS   from the kept corpus, in a scratch copy of it: what a
#                                             short run finds is not kept, but a crash is saved
#   fuzz.sh long FUZZ-BUILD FUZZER SECONDS    on both cores (FUZZ_JOBS), then the kept corpus
#                                             re-minimised (-merge=1) with what the run found
# Every input that breaks a check is saved as tests/fuzz/regressions/FUZZER/crash-<hash>, which the
# native suite runs from then on.
set -uo pipefail

mode=$1 build=$2 fuzzer=$3 seconds=$4
root=$(cd "$(dirname "$0")/.." && pwd)
kept="$root/tests/fuzz/corpus/$fuzzer"
regressions="$root/tests/fuzz/regressions/$fuzzer"
program="$build/${fuzzer}_fuzzer"
work="$build/work-$fuzzer"
case "$fuzzer" in
command_line) max_len=1024 ;;
*) max_len=4096 ;;
esac

rm -rf "$work" && mkdir -p "$work/corpus" "$work/crashes" "$kept"
cp "$kept"/* "$work/corpus/" 2>/dev/null
cp "$regressions"/* "$work/corpus/" 2>/dev/null
options=(-max_len="$max_len" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/crashes/")

save_crashes() {
    local crash found=1
    for crash in "$work"/crashes/*; do
        [ -e "$crash" ] || continue
        mkdir -p "$regressions"
        cp "$crash" "$regressions/"
        echo "$fuzzer: an input broke a check; saved as tests/fuzz/regressions/$fuzzer/$(basename "$crash")"
        found=0
    done
    return $found
}

if [ "$mode" = short ]; then
    "$program" "${options[@]}" "$work/corpus" >"$work/log" 2>&1
    status=$?
    grep -E 'stat::number_of_executed_units|stat::average_exec_per_sec|ERROR|SUMMARY|fuzz check failed' "$work/log" |
        sed "s/^/$fuzzer: /"
    if [ $status -ne 0 ]; then
        save_crashes
        tail -40 "$work/log"
        exit 1
    fi
    exit 0
fi

# Both cores, each in processes of its own, going on past a crash so that one finding does not
# end the run; then the smallest set of inputs that reaches every edge the run reached. Edges, not
# libFuzzer's hit-count features: those keep several times the inputs (the --since reader's JSON
# kept 1,090 inputs, 673 KB, against 268 and 93 KB for the same edges), and a short run finds them
# again from the kept inputs within seconds.
"$program" "${options[@]}" -fork="${FUZZ_JOBS:-2}" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 "$work/corpus" >"$work/log" 2>&1
grep -E '^#[0-9]+: .*(cov|exec/s)' "$work/log" | tail -1 | sed "s/^/$fuzzer: /"
mkdir -p "$work/merged"
"$program" -merge=1 -use_counters=0 -max_len="$max_len" "$work/merged" "$kept" "$work/corpus" >"$work/merge.log" 2>&1 ||
    { tail -20 "$work/merge.log"; exit 1; }
rm -f "$kept"/*
cp "$work/merged"/* "$kept/"
echo "$fuzzer: kept corpus of $(ls "$kept" | wc -l) inputs, $(( $(cat "$kept"/* | wc -c) / 1024 )) KB"
grep -E 'MERGE-OUTER: [0-9]+ new files|cov:' "$work/merge.log" | tail -2 | sed "s/^/$fuzzer: /"
if save_crashes; then
    exit 1
fi
exit 0
