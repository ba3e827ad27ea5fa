#!/usr/bin/env bash
# Checks what package_signed.sh made in DIR from EXE: the three release files and the listings
# and nothing else, each executable signed by the throwaway signer and verifying against its
# authority, also days after the signing certificate expired (time-stamped), a changed byte
# caught, the portable program being EXE itself, SHA256SUMS matching, and the winget and Scoop
# manifests keeping their rules (check_listings.py).
# usage: check_package.sh EXE DIR VERSION
set -euo pipefail
exe=${1:?} dir=${2:?} version=${3:?}
here=$(dirname "$(readlink -f "$0")")
dist=$dir/dist
setup=Tarnivex-$version-setup.exe
portable=Tarnivex-$version-portable.zip
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

listed=$(cd "$dist" && ls -A | sort | tr '\n' ' ')
expected=$(printf '%s\n' SHA256SUMS "$setup" "$portable" tarnivex.json winget | sort | tr '\n' ' ')
[ "$listed" = "$expected" ] || fail "dist holds '$listed', expected '$expected'"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$dist/$portable" -d "$work/portable"
[ "$(cd "$work/portable" && ls -A | sort | tr '\n' ' ')" = "README.txt Tarnivex.exe " ] ||
    fail "the zip holds $(ls -A "$work/portable")"

# verify FILE [osslsigncode options]
verify() {
    local file=$1
    shift
    osslsigncode verify -CAfile "$dir/signer/ca.pem" -TSA-CAfile "$dir/signer/ca.pem" "$@" \
        -in "$file" >"$work/verify.log" 2>&1
}
# Three days on, the one-day signing certificate has long expired.
later=$(($(date +%s) + 3 * 86400))
for file in "$work/portable/Tarnivex.exe" "$dist/$setup" "$dir/uninstall.exe"; do
    if verify "$file" && grep -q "Subject: /CN=Tarnivex Test Signer" "$work/verify.log"; then
        echo "ok       $(basename "$file")"
    else
        fail "$(basename "$file") does not verify:"
        cat "$work/verify.log"
    fi
    if verify "$file" -time "$later"; then
        echo "ok       $(basename "$file") after the certificate expired (time-stamped)"
    else
        fail "$(basename "$file") does not verify after the certificate expired:"
        cat "$work/verify.log"
    fi
done
# The dated check can fail: the same signature without a time-stamp ends with the certificate.
osslsigncode remove-signature -in "$work/portable/Tarnivex.exe" -out "$work/bare.exe" >/dev/null
"$here/../../scripts/sign-file" --pfx "$dir/signer/signer.pfx" \
    --password-file "$dir/signer/password.txt" "$work/bare.exe" "$work/untimed.exe"
verify "$work/untimed.exe" || fail "the signature without a time-stamp does not verify today"
if verify "$work/untimed.exe" -time "$later"; then
    fail "a signature without a time-stamp still verifies after the certificate expired"
fi

python3 "$here/check_listings.py" "$dist" "$version" || fail "the listings break their rules"

# The checks above can fail: a byte changed after signing must break the signature.
cp "$dist/$setup" "$work/changed.exe"
middle=$(($(stat -c %s "$work/changed.exe") / 2))
byte=$(od -An -tu1 -j "$middle" -N1 "$work/changed.exe")
printf "\\x$(printf %02x $((byte ^ 0xFF)))" |
    dd of="$work/changed.exe" bs=1 seek="$middle" conv=notrunc status=none
cmp -s "$dist/$setup" "$work/changed.exe" && fail "the byte was not changed"
if verify "$work/changed.exe"; then fail "a changed setup still verifies"; fi

# Signing added a signature and changed nothing else.
osslsigncode remove-signature -in "$work/portable/Tarnivex.exe" -out "$work/plain.exe" >/dev/null
cmp -s "$work/plain.exe" "$exe" || fail "the portable Tarnivex.exe is not the built program"

(cd "$dist" && sha256sum -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
[ "$(awk '{print $2}' "$dist/SHA256SUMS" | sort | tr '\n' ' ')" = "$(printf '%s\n' "$setup" "$portable" | sort | tr '\n' ' ')" ] ||
    fail "SHA256SUMS does not list exactly the setup and the zip"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all release files check out"
