#!/usr/bin/env bash
# Packs the shipped programs of the two build folders into OUT/Quor-kelvra-<version>.zip with a
# README.txt and the SHA-256 of each file, and writes OUT/SHA256SUMS beside it. The same commit
# gives the same bytes: the programs carry the commit's time, and so does every zip entry.
#   scripts/dist.sh WIN32-BUILD WIN64-BUILD OUT
#
# Signing, before the sums are taken (docs/signing.md):
#   QK_SIGN_PKCS12=FILE QK_SIGN_PASSWORD=...         the maker's key and certificate chain, or
#   QK_SIGN_PKCS11_MODULE=LIB QK_SIGN_PKCS11_KEY=ID  a token's key, with QK_SIGN_PKCS11_CERT=ID (or
#                                                    QK_SIGN_CERTS=FILE) and its PIN in QK_SIGN_PASSWORD
#   QK_SIGN_URL=URL                                  the page a signature's "more information" opens
#   QK_SIGN_TIMESTAMP_URL=URL                        an RFC 3161 time-stamp server (none: no time stamp)
# A signed package also gets OUT/signatures/<program>.sig, each program's signature alone;
#   QK_SIGNATURES=FOLDER                             attaches those to this build instead of signing,
# which gives the signed package byte for byte from the same commit, with no key.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
win32="$1"
win64="$2"
out="$3"
read -r version <"$root/VERSION"
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)}"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
programs=(Quor-kelvra.exe Quor-kelvra-x64.exe Quor-kelvra-summary.exe)
files=("${programs[@]}" README.txt)
cp "$win32/Quor-kelvra.exe" "$win32/Quor-kelvra-summary.exe" "$stage/"
cp "$win64/Quor-kelvra.exe" "$stage/Quor-kelvra-x64.exe"

description() {
    case "$1" in
    Quor-kelvra-summary.exe) echo "Quor-kelvra site summary" ;;
    Quor-kelvra-x64.exe) echo "Quor-kelvra (64-bit)" ;;
    *) echo "Quor-kelvra" ;;
    esac
}

# sign PROGRAM DIGEST [-nest]: one signature of the program in the stage, in place.
sign() {
    local program="$1" digest="$2" nest="${3:-}" key=() stamp=() link=()
    if [ -n "${QK_SIGN_PKCS12:-}" ]; then
        key=(-pkcs12 "$QK_SIGN_PKCS12")
    else
        key=(-pkcs11module "$QK_SIGN_PKCS11_MODULE" -key "$QK_SIGN_PKCS11_KEY")
        if [ -n "${QK_SIGN_CERTS:-}" ]; then key+=(-certs "$QK_SIGN_CERTS"); else key+=(-pkcs11cert "$QK_SIGN_PKCS11_CERT"); fi
        [ -n "${QK_SIGN_PKCS11_ENGINE:-}" ] && key+=(-pkcs11engine "$QK_SIGN_PKCS11_ENGINE")
    fi
    [ -n "${QK_SIGN_TIMESTAMP_URL:-}" ] && stamp=(-ts "$QK_SIGN_TIMESTAMP_URL")
    [ -n "${QK_SIGN_URL:-}" ] && link=(-i "$QK_SIGN_URL")
    # The password reaches osslsigncode through a pipe, never its command line (which ps shows).
    osslsigncode sign "${key[@]}" -readpass <(printf '%s' "${QK_SIGN_PASSWORD:-}") -h "$digest" $nest \
        "${stamp[@]}" -n "$(description "$program")" "${link[@]}" \
        -in "$stage/$program" -out "$stage/$program.signed" >"$stage/sign.log" 2>&1 ||
        { cat "$stage/sign.log" >&2; echo "could not sign $program" >&2; exit 1; }
    mv "$stage/$program.signed" "$stage/$program"
}

zip="Quor-kelvra-$version.zip"
mkdir -p "$out"
# An earlier package is gone before anything can fail: a failed run leaves no zip to be taken for its own.
rm -f "$out/$zip" "$out/SHA256SUMS"
if [ -n "${QK_SIGNATURES:-}" ]; then
    # Taken first: the folder may be this very OUT/signatures, which is made anew below.
    mkdir -p "$stage/signatures"
    cp "$QK_SIGNATURES"/*.sig "$stage/signatures/" 2>/dev/null || true
fi
rm -rf "$out/signatures"
if [ -n "${QK_SIGN_PKCS12:-}${QK_SIGN_PKCS11_MODULE:-}${QK_SIGNATURES:-}" ]; then
    command -v osslsigncode >/dev/null || { echo "signing needs osslsigncode (apt-get install osslsigncode)" >&2; exit 1; }
fi
if [ -n "${QK_SIGN_PKCS12:-}${QK_SIGN_PKCS11_MODULE:-}" ]; then
    [ -n "${QK_SIGNATURES:-}" ] && { echo "give either a key or QK_SIGNATURES, not both" >&2; exit 1; }
    [ -z "${QK_SIGN_TIMESTAMP_URL:-}" ] &&
        echo "NOTE: no QK_SIGN_TIMESTAMP_URL: the signatures carry no time stamp and stop verifying when the certificate expires." >&2
    mkdir -p "$out/signatures"
    for program in "${programs[@]}"; do
        # SHA-1 first, for Windows XP SP3, which verifies only the first; SHA-256 nested in it
        # for Windows 10 and 11.
        sign "$program" sha1
        sign "$program" sha256 -nest
        osslsigncode extract-signature -in "$stage/$program" -out "$out/signatures/$program.sig" >/dev/null
    done
elif [ -n "${QK_SIGNATURES:-}" ]; then
    mkdir -p "$out/signatures"
    for program in "${programs[@]}"; do
        signature="$stage/signatures/$program.sig"
        [ -f "$signature" ] || { echo "no signature for $program in $QK_SIGNATURES" >&2; exit 1; }
        # attach-signature verifies what it attached: a signature of another build (its digest is
        # not this program's) or of a certificate no authority in QK_SIGN_CAFILE vouches for is
        # refused, not shipped.
        osslsigncode attach-signature -sigin "$signature" -CAfile "${QK_SIGN_CAFILE:-/etc/ssl/certs/ca-certificates.crt}" \
            -in "$stage/$program" -out "$stage/$program.signed" >"$stage/attach.log" 2>&1 ||
            { cat "$stage/attach.log" >&2
              echo "$QK_SIGNATURES/$program.sig does not verify on this build's $program (another commit's, or no trusted authority in QK_SIGN_CAFILE)" >&2
              exit 1; }
        mv "$stage/$program.signed" "$stage/$program"
        cp "$signature" "$out/signatures/"
    done
fi
# For Notepad on Windows XP, which shows a file with LF alone on one line.
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$root/package/README.txt" >"$stage/README.txt"
(cd "$stage" && sha256sum "${files[@]}" >SHA256SUMS)

python3 "$root/scripts/make_zip.py" "$out/$zip" "$epoch" "$stage" "${files[@]}" SHA256SUMS
(cd "$out" && sha256sum "$zip" >SHA256SUMS)
echo "Package: $out/$zip"
sed 's/^/  /' "$stage/SHA256SUMS"
