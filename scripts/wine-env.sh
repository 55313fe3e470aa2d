# Sourced: the environment the program and its tests run in under Wine.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEARCH=win32
export WINEPREFIX="${WINEPREFIX:-$root/build/wine/default}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Pins Wine's locale to English, whatever the host says.
export LC_ALL=C
export QK_WIN32_DIR="$root/build/win32"
export QK_TEST_TMP="$root/build/tmp"
mkdir -p "$QK_TEST_TMP"

# A fresh 32-bit prefix; wineboot takes its time only here.
new_prefix() {
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    wineboot -i >/dev/null 2>&1
}
