#!/usr/bin/env bash
# The suites that need Windows: the unit tests cross-compiled, then the real program end to end.
# Runs inside Xvfb (started by the Makefile) with a fresh Wine prefix.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
cd "$root"

new_prefix
# Folders a crashed run left read-only would block their removal.
chattr -R -i "$QK_TEST_TMP" 2>/dev/null; rm -rf "$QK_TEST_TMP"/*
status=0
ctest --test-dir build/win32-tests --output-on-failure || status=1
ctest --test-dir build/native --output-on-failure -L wine || status=1
wineserver -w
exit $status
