#!/usr/bin/env bash
# A signed release as the maker would make it and a user would check it, with a throwaway
# certificate authority made here: `make dist` with a PKCS#12 key signs every program twice (SHA-1,
# then SHA-256 nested in it), both signatures verify against that authority, each signed program's
# Authenticode digest is the tested program's and removing its signatures gives the tested bytes
# back, and the detached signatures attached to the same build by `make dist QK_SIGNATURES=...`
# give the signed package byte for byte. The signed programs are left in build/signing/win32 and
# build/signing/win64 beside the tested trees' other files, for the end-to-end suite to run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}"
unset QK_SIGN_PKCS12 QK_SIGN_PKCS11_MODULE QK_SIGNATURES QK_SIGN_TIMESTAMP_URL
read -r version <VERSION
zip="Quor-kelvra-$version.zip"
work="$root/build/signing"
rm -rf "$work"
mkdir -p "$work/ca"
command -v osslsigncode >/dev/null || { echo "FAILED: osslsigncode is not installed (scripts/install-deps.sh installs it)"; exit 1; }

# The throwaway authority and a code-signing certificate it issued, valid for two days.
ca="$work/ca"
cat >"$ca/openssl.cnf" <<'EOF'
[req]
distinguished_name = name
[name]
[authority]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF
{
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$ca/ca.key" -out "$ca/ca.pem" -days 2 \
        -subj "/CN=Quor-kelvra throwaway test authority" -config "$ca/openssl.cnf" -extensions authority
    openssl req -newkey rsa:2048 -nodes -keyout "$ca/signer.key" -out "$ca/signer.csr" \
        -subj "/CN=Quorkelvra test signer" -config "$ca/openssl.cnf"
    openssl x509 -req -in "$ca/signer.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial \
        -out "$ca/signer.pem" -days 2 -extfile "$ca/openssl.cnf" -extensions signer
    openssl pkcs12 -export -inkey "$ca/signer.key" -in "$ca/signer.pem" -certfile "$ca/ca.pem" \
        -out "$ca/signer.p12" -passout pass:throwaway
} >"$ca/log" 2>&1 || { cat "$ca/log"; exit 1; }

url="https://example.invalid/quor-kelvra"
echo "== make dist with the throwaway key"
make --no-print-directory dist DIST="$work/signed" QK_SIGN_PKCS12="$ca/signer.p12" QK_SIGN_PASSWORD=throwaway \
    QK_SIGN_URL="$url" >"$work/signed.log" 2>&1 || { cat "$work/signed.log"; exit 1; }
echo "== make dist with the detached signatures and no key"
make --no-print-directory dist DIST="$work/attached" QK_SIGNATURES="$work/signed/signatures" QK_SIGN_CAFILE="$ca/ca.pem" \
    >"$work/attached.log" 2>&1 || { cat "$work/attached.log"; exit 1; }

failed=0
fail() { echo "FAILED: $*"; failed=1; }
unpacked="$work/unpacked"
mkdir -p "$unpacked"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$work/signed/$zip" "$unpacked"
(cd "$unpacked" && sha256sum --quiet -c SHA256SUMS) || fail "the signed package's sums"

# package name, tested file, description
for entry in "Quor-kelvra.exe:build/win32/Quor-kelvra.exe:Quor-kelvra" \
    "Quor-kelvra-x64.exe:build/win64/Quor-kelvra.exe:Quor-kelvra (64-bit)" \
    "Quor-kelvra-summary.exe:build/win32/Quor-kelvra-summary.exe:Quor-kelvra site summary"; do
    IFS=: read -r exe tested description <<<"$entry"
    signed="$unpacked/$exe"
    osslsigncode verify -CAfile "$ca/ca.pem" -in "$signed" >"$work/$exe.verify" 2>&1 ||
        fail "$exe: its signatures do not verify against the throwaway authority"
    grep -q '^Number of verified signatures: 2' "$work/$exe.verify" || fail "$exe: not two verified signatures"
    # The primary signature first (all Windows XP SP3 reads), then the nested one.
    algorithms=$(sed -n 's/^Message digest algorithm  *: //p' "$work/$exe.verify" | tr -d ' ' | paste -sd,)
    [ "$algorithms" = "SHA1,SHA256" ] || fail "$exe: signature digests $algorithms, not SHA1 then SHA256"
    digests=$(sed -n 's/^Current message digest *: //p' "$work/$exe.verify" | tr -d ' ' | paste -sd,)
    expected="$(python3 scripts/authenticode.py sha1 "$tested"),$(python3 scripts/authenticode.py sha256 "$tested")"
    [ "$digests" = "$expected" ] || fail "$exe: signed digests $digests are not the tested $tested's $expected"
    [ "$(grep -c "Text description: $description\$" "$work/$exe.verify")" = 2 ] || fail "$exe: both signatures named \"$description\""
    [ "$(grep -c "URL description: $url\$" "$work/$exe.verify")" = 2 ] || fail "$exe: both signatures link $url"
    osslsigncode remove-signature -in "$signed" -out "$work/$exe.unsigned" >/dev/null 2>&1 &&
        cmp -s "$work/$exe.unsigned" "$tested" || fail "$exe: without its signatures it is not the tested $tested"
    [ -s "$work/signed/signatures/$exe.sig" ] || fail "$exe: no detached signature dist/signatures/$exe.sig"
done
for file in "$zip" SHA256SUMS signatures/Quor-kelvra.exe.sig signatures/Quor-kelvra-x64.exe.sig signatures/Quor-kelvra-summary.exe.sig; do
    cmp -s "$work/signed/$file" "$work/attached/$file" || fail "dist/$file: the signatures attached do not give the signed package's bytes"
done
[ "$(cd "$work/signed" && find . | sort)" = "$(cd "$work/attached" && find . | sort)" ] || fail "the attached package's folder holds other files than the signed one's"

# A signature is refused on a program it was not made for, and nothing is packed then.
mkdir -p "$work/swapped"
cp "$work/signed/signatures/"*.sig "$work/swapped/"
cp "$work/swapped/Quor-kelvra.exe.sig" "$work/swapped/Quor-kelvra-x64.exe.sig"
mkdir -p "$work/refused"
cp "$work/signed/$zip" "$work/refused/"  # an earlier package there must not survive the failure
if make --no-print-directory dist DIST="$work/refused" QK_SIGNATURES="$work/swapped" QK_SIGN_CAFILE="$ca/ca.pem" \
    >"$work/refused.log" 2>&1 || [ -e "$work/refused/$zip" ]; then
    fail "the 32-bit program's signature was attached to the 64-bit program"
fi
grep -q "does not verify on this build's Quor-kelvra-x64.exe" "$work/refused.log" || fail "a refused signature is not named: $(tail -1 "$work/refused.log")"

# The signed programs where the end-to-end suite finds them, with the rest of their tested tree.
for bits in 32 64; do
    mkdir -p "$work/win$bits"
    for file in build/win$bits/*.exe build/win$bits/*.dll; do
        ln -s "$root/$file" "$work/win$bits/"
    done
    rm "$work/win$bits/Quor-kelvra.exe" "$work/win$bits/Quor-kelvra-summary.exe"
done
cp "$unpacked/Quor-kelvra.exe" "$unpacked/Quor-kelvra-summary.exe" "$work/win32/"
cp "$unpacked/Quor-kelvra-x64.exe" "$work/win64/Quor-kelvra.exe"
ln -s "$root/build/win64/Quor-kelvra-summary.exe" "$work/win64/"

[ "$failed" -eq 0 ] && echo "signed release: both signatures verify, the digests are the tested programs', the detached signatures give it back byte for byte"
exit "$failed"
