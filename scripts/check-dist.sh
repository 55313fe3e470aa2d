#!/usr/bin/env bash
# The release package as anyone would rebuild it: made twice from this tree in two fresh folders
# at different paths, the two byte for byte the same, its programs the very files that the suites
# test (build/win32), and those programs passing the exe checks.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}"
read -r version <VERSION
zip="Quor-kelvra-$version.zip"
work="$root/build/repro"
rm -rf "$work"

copies=(first "second/at a deeper path")
# What git would commit, as the tree holds it now: tracked files that exist, and new ones. Both
# copies are taken at once, so they hold the same sources whatever changes meanwhile.
mkdir -p "$work/first"
git ls-files -z -co --exclude-standard | while IFS= read -r -d '' file; do
    [ -e "$file" ] && printf '%s\0' "$file"
done | tar --null -T - -cf - | tar -xf - -C "$work/first"
mkdir -p "$(dirname "$work/${copies[1]}")"
cp -a "$work/first" "$work/${copies[1]}"
for copy in "${copies[@]}"; do
    echo "== make dist in build/repro/$copy"
    make --no-print-directory -C "$work/$copy" dist >"$work/${copy%%/*}.log" 2>&1 ||
        { cat "$work/${copy%%/*}.log"; exit 1; }
done

failed=0
first="$work/first/dist"
second="$work/${copies[1]}/dist"
for file in "$zip" SHA256SUMS; do
    if cmp -s "$first/$file" "$second/$file"; then
        echo "same bytes: dist/$file"
    else
        echo "FAILED: dist/$file differs between the two builds"
        failed=1
    fi
done
[ "$(ls "$first")" = "$(ls "$second")" ] || { echo "FAILED: the two dist folders hold different files"; failed=1; }
(cd "$first" && sha256sum --quiet -c SHA256SUMS) || failed=1

unpacked="$work/unpacked"
mkdir -p "$unpacked"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$first/$zip" "$unpacked"
(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || failed=1
for exe in Quor-kelvra.exe Quor-kelvra-summary.exe; do
    if cmp -s "$unpacked/$exe" "build/win32/$exe"; then
        echo "the package's $exe is the tested build/win32/$exe"
    else
        echo "FAILED: the package's $exe differs from the tested build/win32/$exe"
        failed=1
    fi
done
grep -q $'\r$' "$unpacked/README.txt" && ! grep -qv $'\r$' "$unpacked/README.txt" ||
    { echo "FAILED: README.txt does not end every line with CR LF"; failed=1; }
scripts/check-exe.sh "$unpacked" || failed=1
[ "$failed" -eq 0 ] && echo "release package $zip: reproducible, and what was tested"
exit "$failed"
