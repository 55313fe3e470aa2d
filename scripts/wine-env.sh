# Sourced: the environment the program and its tests run in under Wine, and the machine profiles
# the tests shape Wine prefixes into.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Pins Wine's locale to English, whatever the host says.
export LC_ALL=C
export QK_WIN32_DIR="$root/build/win32"
export QK_TEST_TMP="$root/build/tmp"
mkdir -p "$QK_TEST_TMP"

# Wine starts every 32-bit Windows program through its 32-bit loader, a 32-bit Linux program. A
# kernel booted without 32-bit emulation ("32-bit emulation disabled" in its log) cannot run it,
# and then no 32-bit Windows program can run on the machine at all.
# Without Debian's wine32 there is no such loader: Debian's wine command then runs the 64-bit one.
wine_can_run() {
    wine --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

wine_unavailable_reason() {
    if [ ! -x /usr/lib/wine/wine ]; then
        echo "Wine cannot start 32-bit programs on this machine: wine32 (its 32-bit loader) is not installed"
        return
    fi
    echo "Wine cannot start 32-bit programs on this machine: its kernel runs no 32-bit Linux" \
        "programs (starting /usr/lib/wine/wine: $( (/usr/lib/wine/wine --version) 2>&1 | head -1 | sed "s/.*: //"))"
}

# On such a machine the tests run the same sources built as a 64-bit program (build/win64) with
# Wine's 64-bit loader. Debian's wine and wine-stable commands pick the 32-bit loader whenever it is
# installed, so a folder early on the PATH replaces them.
wine64_can_run() {
    [ -x /usr/lib/wine/wine64 ] && /usr/lib/wine/wine64 --version >/dev/null 2>&1
}

use_wine64() {
    local shim="$root/build/wine64-bin" name
    mkdir -p "$shim"
    for name in wine wine-stable; do
        printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$shim/$name"
        chmod +x "$shim/$name"
    done
    export PATH="$shim:$PATH"
    export QK_WIN32_DIR="$root/build/win64"
    export QK_WINE_BITS=64
}

# make_profile NAME: a fresh prefix in build/wine/NAME. wineboot takes its time only here.
#   win7-64  Windows 7 on 64-bit Windows (the program runs as a 32-bit process under WoW64)
#   xp-32    32-bit Windows XP with serial ports COM5 to COM7
#   desktop  win7-64 for a person's own display, whose window manager frames the dialog
# and, made from a copy of win7-64 (which must exist), Windows 8.1 and later on 64-bit Windows:
#   win81       Wine's own Windows 8.1 (6.3.9600)
#   win10-22h2  Windows 10 22H2 (10.0.19045), workstation
#   win11-23h2  Windows 11 23H2 (10.0.22631), workstation
#   server2022  Windows Server 2022 (10.0.20348), server
make_profile() {
    local name="$1" dir="$root/build/wine/$1"
    rm -rf "$dir"
    mkdir -p "$root/build/wine"
    case "$name" in
    win81 | win10-22h2 | win11-23h2 | server2022)
        # A copy of a booted prefix is ready at once; wineboot would take half a minute each.
        cp -a "$root/build/wine/win7-64" "$dir" || return 1
        WINEPREFIX="$dir" shape_version "$name"
        ;;
    win7-64 | desktop)
        # Wine 8's own default is Windows 7. Naming it in HKCU\Software\Wine would turn the
        # product type into a server's, so the default is left alone.
        WINEPREFIX="$dir" WINEARCH=win64 wineboot -i >/dev/null 2>&1
        ;;
    xp-32)
        WINEPREFIX="$dir" WINEARCH=win32 wineboot -i >/dev/null 2>&1
        WINEPREFIX="$dir" wine reg add 'HKCU\Software\Wine' /v Version /d winxp /f >/dev/null 2>&1
        # Ports listed here last across restarts and appear as \Device\Serial4 to 6.
        for port in 5 6 7; do
            WINEPREFIX="$dir" wine reg add 'HKLM\Software\Wine\Ports' /v "COM$port" /d /dev/null /f \
                >/dev/null 2>&1
        done
        ;;
    *)
        echo "unknown profile $name" >&2
        return 1
        ;;
    esac
    # Xvfb runs no window manager, and Wine waits two seconds for one at every window it hides
    # unless its windows are unmanaged.
    if [ "$name" != desktop ]; then
        WINEPREFIX="$dir" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        # A crash ends the process at once instead of waiting behind Wine's crash dialog.
        WINEPREFIX="$dir" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            >/dev/null 2>&1
    fi
    WINEPREFIX="$dir" wineserver -w
    [ -f "$dir/system.reg" ]
}

# shape_version PROFILE: the version record of a later Windows, in the prefix named by WINEPREFIX.
shape_version() {
    if [ "$1" = win81 ]; then
        wine reg add 'HKCU\Software\Wine' /v Version /d win81 /f >/dev/null 2>&1
        return
    fi
    local build product=WinNT
    case "$1" in
    win10-22h2) build=19045 ;;
    win11-23h2) build=22631 ;;
    server2022) build=20348 product=ServerNT ;;
    esac
    # With no version named in HKCU\Software\Wine, Wine reads it from here. A 32-bit program sees
    # the 32-bit view of HKLM\Software, so both views get it.
    local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion' view
    for view in 32 64; do
        wine reg add "$key" /v CurrentVersion /d 10.0 /f /reg:$view
        wine reg add "$key" /v CurrentMajorVersionNumber /t REG_DWORD /d 10 /f /reg:$view
        wine reg add "$key" /v CurrentMinorVersionNumber /t REG_DWORD /d 0 /f /reg:$view
        wine reg add "$key" /v CurrentBuildNumber /d $build /f /reg:$view
        wine reg add "$key" /v CurrentBuild /d $build /f /reg:$view
        # Windows 10 and later have no service pack.
        wine reg delete "$key" /v CSDVersion /f /reg:$view
    done >/dev/null 2>&1
    wine reg add 'HKLM\System\CurrentControlSet\Control\Windows' /v CSDVersion /t REG_DWORD /d 0 /f \
        >/dev/null 2>&1
    wine reg add 'HKLM\System\CurrentControlSet\Control\ProductOptions' /v ProductType /d $product /f \
        >/dev/null 2>&1
    wineserver -w
}

use_profile() {
    export WINEPREFIX="$root/build/wine/$1"
    export QK_PROFILE="$1"
    unset WINEARCH
}
