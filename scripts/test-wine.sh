#!/usr/bin/env bash
# The suites that need Windows: the unit tests cross-compiled, then the real program end to end on
# each machine profile. Runs inside Xvfb (started by the Makefile) with fresh Wine prefixes.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
cd "$root"

profiles=(win7-64 xp-32)
if wine_can_run; then
    ran_against="the shipped 32-bit program, build/win32/Quor-kelvra.exe (SHA-256 $(sha256sum build/win32/Quor-kelvra.exe | cut -c1-64))"
elif wine64_can_run; then
    echo "NOTE: $(wine_unavailable_reason)."
    echo "  The Windows suites run the same sources built as a 64-bit program (build/win64); the"
    echo "  32-bit program itself is not started, and the 32-bit Windows XP profile is skipped."
    ran_against="the 64-bit stand-in build/win64/Quor-kelvra.exe, not the shipped 32-bit program: $(wine_unavailable_reason)"
    use_wine64
    profiles=(win7-64)
else
    # Said loudly, and an error where the Windows suites are required (QK_REQUIRE_WINE=1): a
    # run that skipped them has not tested the program itself.
    echo "SKIPPED: the Windows suites (unit tests under Wine, end to end on every profile)."
    echo "  $(wine_unavailable_reason)"
    echo "Windows suites: none ran; no Windows program was tested on this machine."
    [ "${QK_REQUIRE_WINE:-0}" = 1 ] && exit 1
    exit 0
fi
# The last line of make test, whatever the suites' outcome: which program they tested.
trap 'echo "Windows suites ran against $ran_against."' EXIT

# Folders a crashed run left read-only or mounted would block their removal.
grep -o " $QK_TEST_TMP/[^ ]*" /proc/mounts | xargs -r umount 2>/dev/null
chattr -R -i "$QK_TEST_TMP" 2>/dev/null
rm -rf "${QK_TEST_TMP:?}"/*

pids=()
for profile in "${profiles[@]}"; do
    make_profile "$profile" & pids+=($!)
done
for pid in "${pids[@]}"; do
    wait "$pid" || { echo "could not create the Wine prefixes"; exit 1; }
done
later_profiles=(win81 win10-22h2 win11-23h2 server2022)
for profile in "${later_profiles[@]}"; do
    make_profile "$profile" || { echo "could not create the Wine prefix $profile"; exit 1; }
done

status=0
use_profile win7-64
ctest --test-dir "build/win${QK_WINE_BITS:-32}" --output-on-failure || status=1
for profile in "${profiles[@]}" "${later_profiles[@]}"; do
    echo "== end to end on $profile"
    use_profile "$profile"
    # The import and the dialog's behaviour do not depend on the machine: they run on the default
    # profile only. The later systems check what they change: the version record, the OS rows,
    # the listing, the hardware rows and what the dialog shows of them.
    case "$profile" in
    win7-64) unset GTEST_FILTER ;;
    xp-32) export GTEST_FILTER='-ImportTest.*:DisplayScale.*' ;;
    *) export GTEST_FILTER='ProfileTest.*:WmiProbes.ReportWhatWinesWmiReports:ProgramTest.ListsAndWritesWhatThePlatformReports:ProgramTest.ShowsEachItemsValueListAndMark' ;;
    esac
    ctest --test-dir build/native --output-on-failure -L wine || status=1
    wineserver -w
done

# The signed program as a release ships it (left by scripts/check-signing.sh): its dialog, its
# report and its unattended run, as the program the suites tested. Signed programs of another
# build would prove nothing, so they are run only when their digest is this build's.
signed="$root/build/signing/$(basename "$QK_WIN32_DIR")"
tested_digest=$(python3 scripts/authenticode.py sha256 "$QK_WIN32_DIR/Quor-kelvra.exe")
if [ -f "$signed/Quor-kelvra.exe" ] && [ "$(python3 scripts/authenticode.py sha256 "$signed/Quor-kelvra.exe")" = "$tested_digest" ]; then
    echo "== end to end on win7-64, the signed program ($signed)"
    use_profile win7-64
    QK_WIN32_DIR="$signed" GTEST_FILTER='ProgramTest.ShowsEachItemsValueListAndMark:ProgramTest.ListsAndWritesWhatThePlatformReports:Unattended.SilentEndsByItselfWithOneAndWritesWhatTheDialogWrites:Unattended.ReportAndJsonGoWhereTheyAreToldAndHoldTheSameResults' \
        ctest --test-dir build/native --output-on-failure -L wine || status=1
    wineserver -w
else
    echo "NOTE: no signed program of this build in build/signing (make test-dist signs one); the signed program was not run."
fi
exit $status
