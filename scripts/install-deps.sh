#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and nothing when it is all there already.
#
# A package mirror in the middle of a sync answers some index files with the wrong size until the
# sync ends, so one failed index must not stop set-up: the update is retried, and then whatever can
# be installed is. Only what nothing else can stand in for fails set-up; the rest has a fallback
# that make run and make test name when they use it.
set -uo pipefail

# Without these nothing builds or tests at all.
required=(cmake make g++ googletest libgtest-dev nlohmann-json3-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64
          python3)
# Each of these has a fallback: without wine32 the 64-bit stand-in runs the Windows suites, without
# Wine or Xvfb they are skipped with a message, without Chromium the browser checks are, and the
# rest serve single suites, benchmarks or the fuzzer, which say what they miss.
optional=(libbenchmark-dev wine wine32:i386 wine64 xvfb xauth xdotool fonts-wine imagemagick chromium clang
          libclang-rt-14-dev file e2fsprogs mount time osslsigncode openssl)
# QK_DEPS=build: only what builds the release package; QK_DEPS=run: only what make run uses.
if [ "${QK_DEPS:-all}" = build ]; then
    optional=(osslsigncode)
elif [ "${QK_DEPS:-all}" = run ]; then
    optional=(wine wine32:i386 wine64 xvfb xauth fonts-wine imagemagick)
fi

apt_get=${QK_APT_GET:-apt-get}
retries=${QK_APT_RETRIES:-3}
retry_wait=${QK_APT_RETRY_WAIT:-10}

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing_of() {
    local package
    for package in "$@"; do
        installed "$package" || echo "$package"
    done
}

mapfile -t missing_required < <(missing_of "${required[@]}")
mapfile -t missing_optional < <(missing_of "${optional[@]}")
missing=("${missing_required[@]}" "${missing_optional[@]}")
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
as_root() { $sudo "$@"; }

if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
fi

# apt-get update says "Failed to fetch" for each index it could not read, whatever its exit code.
update_log=$(mktemp)
trap 'rm -f "$update_log"' EXIT
for attempt in $(seq 1 "$retries"); do
    as_root "$apt_get" update -qq -o Acquire::Retries=3 >"$update_log" 2>&1
    update_status=$?
    if [ $update_status -eq 0 ] && ! grep -q 'Failed to fetch' "$update_log"; then
        break
    fi
    if [ "$attempt" -lt "$retries" ]; then
        echo "apt-get update failed (attempt $attempt of $retries); trying again in ${retry_wait} s"
        sleep "$retry_wait"
    else
        grep -o 'Failed to fetch [^ ]*' "$update_log" | sed 's/^Failed to fetch /  index not read: /' | sort -u
        echo "apt-get update still fails after $retries attempts; installing from the indexes that were read"
    fi
done

install() {
    DEBIAN_FRONTEND=noninteractive as_root "$apt_get" install -y -qq "$@"
}

# All at once first; when that fails, one package at a time, so one that cannot be installed
# keeps none of the others out.
failed=()
if ! install "${missing[@]}" >/dev/null 2>"$update_log"; then
    for package in "${missing[@]}"; do
        if ! install "$package" >/dev/null 2>"$update_log"; then
            reason=$(grep -E '^E: |Depends:' "$update_log" | head -1 | sed 's/^ *//')
            echo "Could not install $package: ${reason:-apt-get install failed}"
            failed+=("$package")
        fi
    done
fi

status=0
for package in "${failed[@]}"; do
    if printf '%s\n' "${missing_required[@]}" | grep -qxF "$package"; then
        echo "Set-up failed: $package is needed to build and test, and nothing stands in for it."
        status=1
    fi
done
for package in "${failed[@]}"; do
    case "$package" in
    wine32:i386) echo "Without wine32, make run and make test use the 64-bit build of the same sources under Wine." ;;
    chromium) echo "Without Chromium, the checks of the summary's page in a browser are skipped." ;;
    wine | wine64 | xvfb | xauth) echo "Without $package, the suites under Wine are skipped." ;;
    esac
done
exit $status
