#!/usr/bin/env bash
# The release package as anyone would rebuild it: made by `make dist` from a fresh copy of this
# tree at another path, and again from the trees the suites tested (build/win32, build/win64), the
# two byte for byte the same, its programs the very files that the suites test, and those programs
# passing the exe checks.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}"
read -r version <VERSION
zip="Quor-kelvra-$version.zip"
work="$root/build/repro"
rm -rf "$work"

# What git would commit, as the tree holds it now: tracked files that exist, and new ones.
fresh="$work/fresh/at a deeper path"
mkdir -p "$fresh"
git ls-files -z -co --exclude-standard | while IFS= read -r -d '' file; do
    [ -e "$file" ] && printf '%s\0' "$file"
done | tar --null -T - -cf - | tar -xf - -C "$fresh"
echo "== make dist in build/repro/fresh/at a deeper path"
make --no-print-directory -C "$fresh" dist >"$work/fresh.log" 2>&1 || { cat "$work/fresh.log"; exit 1; }
echo "== the package of the tested build/win32 and build/win64"
scripts/dist.sh build/win32 build/win64 "$work/tested" >"$work/tested.log" 2>&1 || { cat "$work/tested.log"; exit 1; }

failed=0
first="$fresh/dist"
second="$work/tested"
for file in "$zip" SHA256SUMS; do
    if cmp -s "$first/$file" "$second/$file"; then
        echo "same bytes: dist/$file"
    else
        echo "FAILED: dist/$file differs between the fresh build and the tested one"
        failed=1
    fi
done
[ "$(ls "$first")" = "$(ls "$second")" ] || { echo "FAILED: the two dist folders hold different files"; failed=1; }
(cd "$first" && sha256sum --quiet -c SHA256SUMS) || failed=1

unpacked="$work/unpacked"
mkdir -p "$unpacked"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$first/$zip" "$unpacked"
(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || failed=1
# package name, tested file
for pair in Quor-kelvra.exe:build/win32/Quor-kelvra.exe Quor-kelvra-summary.exe:build/win32/Quor-kelvra-summary.exe \
    Quor-kelvra-x64.exe:build/win64/Quor-kelvra.exe; do
    exe="${pair%%:*}" tested="${pair#*:}"
    if cmp -s "$unpacked/$exe" "$tested"; then
        echo "the package's $exe is the tested $tested"
    else
        echo "FAILED: the package's $exe differs from the tested $tested"
        failed=1
    fi
done
[ ! -e "$first/signatures" ] || { echo "FAILED: an unsigned package has a signatures folder"; failed=1; }
grep -q $'\r$' "$unpacked/README.txt" && ! grep -qv $'\r$' "$unpacked/README.txt" ||
    { echo "FAILED: README.txt does not end every line with CR LF"; failed=1; }
scripts/check-exe.sh "$unpacked" || failed=1
[ "$failed" -eq 0 ] && echo "release package $zip: reproducible, and what was tested"
exit "$failed"
