#!/usr/bin/env bash
# Runs the program once in build/run, saves a screenshot of its dialog and prints its report.
# On the user's display the dialog stays until the user closes it; on Xvfb it is closed for them.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
cd "$root"
if ! wine_can_run; then
    wine64_can_run || { wine_unavailable_reason >&2; exit 1; }
    echo "NOTE: $(wine_unavailable_reason); running the 64-bit build of the same sources." >&2
    use_wine64
fi

# Only the program and the driver that reads its dialog, in the tree of the architecture that runs.
case "$QK_WIN32_DIR" in
*/win64) toolchain=cmake/mingw-x86_64.cmake ;;
*) toolchain=cmake/mingw-i686.cmake ;;
esac
cmake -S . -B "$QK_WIN32_DIR" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DQK_TESTS=ON >/dev/null
cmake --build "$QK_WIN32_DIR" -j"$(nproc)" --target Quor-kelvra qk-driver >/dev/null

profile=desktop
[ "${QK_HEADLESS:-0}" = 1 ] && profile=win7-64
[ -f "$root/build/wine/$profile/system.reg" ] || make_profile "$profile"
use_profile "$profile"
rm -rf build/run && mkdir -p build/run
driver="$QK_WIN32_DIR/qk-driver.exe"
(cd build/run && wine "$QK_WIN32_DIR/Quor-kelvra.exe") &
program=$!
wine "$driver" dump 60000 >/dev/null
wine "$driver" screenshot build/screenshot.bmp
convert build/screenshot.bmp build/screenshot.png && rm -f build/screenshot.bmp
echo "Screenshot: build/screenshot.png"
if [ "${QK_HEADLESS:-0}" = 1 ]; then
    wine "$driver" press 1 >/dev/null
else
    echo "Close the Quor-kelvra dialog (OK) to see its report."
fi
wait "$program" || true
# Xvfb must outlive every Wine process.
wineserver -w
echo "Report build/run/Quor-kelvra.vkh:"
iconv -f UTF-16LE -t UTF-8 build/run/Quor-kelvra.vkh | tr -d '\r'
