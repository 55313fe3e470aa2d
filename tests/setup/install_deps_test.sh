#!/usr/bin/env bash
# Set-up against a package mirror that fails in the ways real ones do, through a fake apt-get,
# dpkg and dpkg-query on PATH: which packages are asked for, what is said, and the exit code.
set -uo pipefail

script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

# Nothing is installed; the i386 architecture is there already.
cat >"$work/bin/dpkg-query" <<'EOF'
#!/bin/sh
exit 1
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/bin/sh
[ "$1" = --print-foreign-architectures ] && echo i386
EOF
cat >"$work/bin/sudo" <<'EOF'
#!/bin/sh
exec "$@"
EOF
# FAKE_APT: "index" fails one index on every update, "package" refuses wine32:i386 (whether alone
# or among others), "everything" fails every update and every install.
cat >"$work/bin/apt-get" <<'EOF'
#!/bin/bash
echo "$*" >>"$FAKE_APT_LOG"
case "$FAKE_APT:$1" in
index:update)
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (376004 != 375996). Mirror sync in progress?"
    exit 100 ;;
everything:update)
    echo "E: Failed to fetch http://deb.debian.org/debian/dists/bookworm/InRelease  Temporary failure resolving 'deb.debian.org'"
    exit 100 ;;
everything:install)
    echo "E: Unable to locate package ${*: -1}" >&2
    exit 100 ;;
package:install)
    if [[ " $* " == *" wine32:i386 "* ]]; then
        echo " wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed" >&2
        echo "E: Unable to correct problems, you have held broken packages." >&2
        exit 100
    fi ;;
esac
exit 0
EOF
chmod +x "$work/bin"/*

failures=0
fail() {
    echo "FAIL ($case): $1"
    echo "--- said:"; cat "$work/out"
    echo "--- apt-get was called with:"; cat "$work/apt.log"
    failures=$((failures + 1))
}
run() {
    case=$1
    : >"$work/apt.log"
    PATH="$work/bin:$PATH" FAKE_APT=$1 FAKE_APT_LOG="$work/apt.log" QK_APT_RETRY_WAIT=0 QK_DEPS=${2:-all} \
        bash "$script" >"$work/out" 2>&1
    status=$?
}
said() { grep -qF -- "$1" "$work/out" || fail "did not say: $1"; }
not_said() { ! grep -qF -- "$1" "$work/out" || fail "said: $1"; }
asked() { grep -qxF -- "$1" "$work/apt.log" || fail "apt-get was not called with: $1"; }
exits() { [ "$status" -eq "$1" ] || fail "exit code $status, not $1"; }

run index
exits 0
[ "$(grep -c '^update' "$work/apt.log")" -eq 3 ] || fail "the update was not tried three times"
said "index not read: http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"
said "installing from the indexes that were read"
grep -q '^install -y -qq cmake .* wine32:i386 ' "$work/apt.log" || fail "not everything was asked for at once"
not_said "Could not install"

run package
exits 0
said "Could not install wine32:i386: wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4)"
said "Without wine32, make run and make test use the 64-bit build"
asked "install -y -qq g++-mingw-w64-i686"
asked "install -y -qq chromium"
[ "$(grep -c 'Could not install' "$work/out")" -eq 1 ] || fail "more than wine32 was said to fail"
not_said "Set-up failed"

run everything
exits 1
said "apt-get update still fails after 3 attempts"
said "Could not install cmake: E: Unable to locate package cmake"
said "Set-up failed: g++-mingw-w64-i686 is needed to build and test"
said "Without Chromium, the checks of the summary's page in a browser are skipped."
not_said "Set-up failed: chromium"

# The release package needs only its build tools and the signing tool: no Wine, no browser.
run package build
exits 0
not_said "wine32"
grep -q 'chromium\|xvfb' "$work/apt.log" && fail "asked for what only the tests need"
asked "install -y -qq cmake make g++ googletest libgtest-dev nlohmann-json3-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 python3 osslsigncode"

[ $failures -eq 0 ] && echo "install-deps.sh: every case passed"
exit $((failures > 0))
