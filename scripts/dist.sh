#!/usr/bin/env bash
# Packs the two shipped programs of a build folder into OUT/Quor-kelvra-<version>.zip with a
# README.txt and the SHA-256 of each file, and writes OUT/SHA256SUMS beside it. The same commit
# gives the same bytes: the programs carry the commit's time, and so does every zip entry.
#   scripts/dist.sh BUILD OUT
# QK_SIGN, when set, is a command that signs one program in place (called as `$QK_SIGN FILE`)
# before the sums are taken: a signed release needs the maker's certificate, which is not here.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$1"
out="$2"
read -r version <"$root/VERSION"
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)}"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
files=(Quor-kelvra.exe Quor-kelvra-summary.exe README.txt)
cp "$build/Quor-kelvra.exe" "$build/Quor-kelvra-summary.exe" "$stage/"
if [ -n "${QK_SIGN:-}" ]; then
    $QK_SIGN "$stage/Quor-kelvra.exe"
    $QK_SIGN "$stage/Quor-kelvra-summary.exe"
fi
# For Notepad on Windows XP, which shows a file with LF alone on one line.
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$root/package/README.txt" >"$stage/README.txt"
(cd "$stage" && sha256sum "${files[@]}" >SHA256SUMS)

mkdir -p "$out"
zip="Quor-kelvra-$version.zip"
rm -f "$out/$zip" "$out/SHA256SUMS"
python3 "$root/scripts/make_zip.py" "$out/$zip" "$epoch" "$stage" "${files[@]}" SHA256SUMS
(cd "$out" && sha256sum "$zip" >SHA256SUMS)
echo "Package: $out/$zip"
sed 's/^/  /' "$stage/SHA256SUMS"
