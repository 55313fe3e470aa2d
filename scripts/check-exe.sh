#!/usr/bin/env bash
# Checks the shipped programs as a Windows loader and a user would meet them: the two 32-bit ones
# in a folder (build/win32 unless named) and the 64-bit one (the folder's Quor-kelvra-x64.exe, as
# the package holds it, or the file named second): PEs of their architecture that import only
# system DLLs (so they start on a bare PC), nothing newer than Windows XP by import, every resource
# compiled in, a complete version resource and the commit's time as their time stamp.
#   scripts/check-exe.sh [FOLDER [X64-PROGRAM]]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="${1:-build/win32}"
exe="$dir/Quor-kelvra.exe"
summary="$dir/Quor-kelvra-summary.exe"
x64="${2:-$dir/Quor-kelvra-x64.exe}"
read -r version <"$root/VERSION"
# The version resource's strings write the minor number with two digits: 1.7.0.0 is "1.07.0.0".
IFS=. read -r major minor patch tweak <<<"$version"
version_text="$major.$(printf %02d "$minor").$patch.$tweak"
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"
passed=0
failed=0
check() {  # check "what" command...
    local what="$1"; shift
    if "$@" >/dev/null 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
    fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# check_program EXE TOOLS FILE-TYPE ARCHITECTURE: the main program of one architecture, read with
# the MinGW tools of that architecture (TOOLS: i686-w64-mingw32 or x86_64-w64-mingw32).
check_program() {
    local exe="$1" tools="$2" type="$3" arch="$4" name resources manifest
    name=$(basename "$exe")
    "$tools-objdump" -p "$exe" >"$work/headers"
    grep 'DLL Name:' "$work/headers" | awk '{print tolower($3)}' >"$work/imports"
    "$tools-windres" -i "$exe" -O rc >"$work/resources"
    grep -A40 'RT_MANIFEST' "$work/resources" >"$work/manifest"
    resources=$(cat "$work/resources")
    manifest=$(cat "$work/manifest")

    check "$name: $type" grep -q "$type" <<<"$(file "$exe")"
    check "$name: imports only system DLLs (got: $(echo $(cat "$work/imports")))" \
        bash -c '! grep -qvE "$1" "$2"' _ "$allowed" "$work/imports"
    local symbol
    for symbol in GetNativeSystemInfo GetProductInfo; do
        check "$name: $symbol is looked up at run time, not imported" bash -c '! grep -qw "$1" "$2"' _ "$symbol" "$work/headers"
    done
    check "$name: main dialog template 102" grep -q '^102 DIALOGEX 0, 0, 334, 329' <<<"$resources"
    check "$name: About box template 100" grep -q '^100 DIALOGEX 0, 0, 235, 55' <<<"$resources"
    # Each image at 100 % and in the sets drawn for 125, 150 and 200 % display scale.
    local id
    for id in 131 132 138 139 1131 1132 1138 1139 2131 2132 2138 2139 3131 3132 3138 3139; do
        check "$name: bitmap $id" grep -q "^$id 2 /\* RT_BITMAP \*/" <<<"$resources"
    done
    check "$name: icon 153" grep -q '^153 14 /\* RT_GROUP_ICON \*/' <<<"$resources"
    check "$name: string 101" grep -q '101, "&About Quor-kelvra..."' <<<"$resources"
    check "$name: the event log's message table" grep -q '^1 11 /\* RT_MESSAGETABLE \*/' <<<"$resources"
    check "$name: manifest names the $arch architecture" grep -q "processorArchitecture=\"\"$arch\"\" name=\"\"Quorkelvra.Quor-kelvra" <<<"$manifest"
    check "$name: manifest asks for common controls 6 of its architecture" \
        grep -qzE "Microsoft.Windows.Common-Controls\"\" version=\"\"6.0.0.0\"\"[^>]*processorArchitecture=\"\"$arch\"\"" <<<"$manifest"
    check "$name: manifest runs as invoker" grep -q 'level=""asInvoker""' <<<"$manifest"
    # Every system from Vista to Windows 10/11, so that GetVersionExW reports the true version.
    for id in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
        4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
        check "$name: manifest declares supported OS $id" grep -qi "supportedOS Id=\"\"{$id}" <<<"$manifest"
    done
    check "$name: manifest declares DPI awareness" grep -q 'dpiAware xmlns=""http://schemas.microsoft.com/SMI/2005/WindowsSettings"">true<' <<<"$manifest"
}

# check_version EXE NAME DESCRIPTION [TOOLS]: every field Explorer's Details tab shows, NAME as the
# file's original name, and the time stamp.
check_version() {
    local exe="$1" name="$2" description="$3" tools="${4:-i686-w64-mingw32}" resources stamp
    resources=$("$tools-windres" -i "$exe" -O rc 2>/dev/null)
    check "$name: file and product version $version" \
        grep -qzE "FILEVERSION $major, $minor, $patch, $tweak.*PRODUCTVERSION $major, $minor, $patch, $tweak" <<<"$resources"
    local field
    for field in "FileVersion\", \"$version_text" "ProductVersion\", \"$version_text" "FileDescription\", \"$description" \
        "CompanyName\", \"Quorkelvra" "ProductName\", \"Quor-kelvra" "LegalCopyright\", \"Copyright (C) 2009-2026 Quorkelvra" \
        "OriginalFilename\", \"$name" "InternalName\", \"$name"; do
        check "$name: version string $field\"" grep -qF "VALUE \"$field\"" <<<"$resources"
    done
    # As the linker wrote it, read back by objdump: the commit's time, not the time of the build.
    stamp=$(TZ=UTC "$tools-objdump" -p "$exe" | sed -n 's/^Time\/Date[[:space:]]*//p')
    check "$name: time stamp $stamp is the commit's ($(TZ=UTC date -d "@$epoch"))" \
        test "$stamp" = "$(TZ=UTC LC_ALL=C date -d "@$epoch" '+%a %b %e %H:%M:%S %Y')"
}
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|advapi32|ole32|oleaut32|shell32|msvcrt)\.dll$'
check_program "$exe" i686-w64-mingw32 'PE32 executable (GUI) Intel 80386' x86
check "Quor-kelvra.exe: not large-address-aware" bash -c '! grep -q "large address aware" "$1"' _ "$work/headers"
check_version "$exe" Quor-kelvra.exe "Quor-kelvra: checks a PC for Zonfir-plus"
if [ -f "$x64" ]; then
    check_program "$x64" x86_64-w64-mingw32 'PE32+ executable (GUI) x86-64' amd64
    check_version "$x64" Quor-kelvra-x64.exe "Quor-kelvra: checks a PC for Zonfir-plus (64-bit)" x86_64-w64-mingw32
else
    check "the 64-bit program $x64 is there" false
fi

i686-w64-mingw32-objdump -p "$summary" >"$work/summary-headers"
check "summary: PE32 console program for i386" grep -q 'PE32 executable (console) Intel 80386' <<<"$(file "$summary")"
check "summary: imports only system DLLs" bash -c '! grep "DLL Name:" "$2" | awk "{print tolower(\$3)}" | grep -qvE "$1"' \
    _ "$allowed" "$work/summary-headers"
check_version "$summary" Quor-kelvra-summary.exe "Quor-kelvra site summary: many reports in one table"

echo "exe checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
