#!/usr/bin/env bash
# scripts/release up to its build, with stand-ins for openssl and cmake on the PATH and a
# temporary folder of its own, watched from outside:
#  1. a run that reaches the configure: the build is given the signing certificate's
#     fingerprint followed by the --next-signer-fingerprint ones, and nothing is left in the
#     temporary folder;
#  2. a run ended by SIGTERM while it reads the key: no unencrypted private key is left there.
# usage: release_key_hygiene.sh SIGNER_DIR WORK_DIR   (SIGNER_DIR as made by make_test_signer.sh)
set -euo pipefail
signer=${1:?} work=${2:?}
root=$(cd "$(dirname "$(readlink -f "$0")")/../.." && pwd)
rm -rf "$work"
mkdir -p "$work/bin" "$work/tmp"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
real_openssl=$(command -v openssl)
next=ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789

# cmake: records its arguments and stops the release there.
cat >"$work/bin/cmake" <<STUB
#!/usr/bin/env bash
printf '%s\n' "\$@" >"$work/cmake.args"
exit 1
STUB
# openssl: with a kill file, the call that reads the key's public half first ends the release.
cat >"$work/bin/openssl" <<STUB
#!/usr/bin/env bash
if [ "\${1:-}" = pkey ] && [ -f "$work/kill.pid" ]; then
    kill -TERM "\$(cat "$work/kill.pid")"
    sleep 2
fi
exec "$real_openssl" "\$@"
STUB
chmod +x "$work/bin/cmake" "$work/bin/openssl"

# Run in a subshell of its own, which it replaces, so that its pid is the release's.
release() {
    PATH="$work/bin:$PATH" TMPDIR="$work/tmp" exec "$root/scripts/release" \
        --counter-url https://counter.example --site-url https://www.example \
        --sign-pfx "$signer/signer.pfx" --sign-password-file "$signer/password.txt" "$@"
}

# Unencrypted keys anywhere under the temporary folder.
leftover_keys() {
    grep -rlE -e "-----BEGIN (RSA |EC )?PRIVATE KEY-----" "$work/tmp" 2>/dev/null || true
}

(release --timestamp-url http://127.0.0.1:9 --next-signer-fingerprint "$next") >"$work/run1.log" 2>&1 || true
fingerprint=$(tr -d '\n' <"$signer/signer.sha256" | tr a-f A-F)
if grep -qx -- "-DTARNIVEX_UPDATE_SIGNERS=$fingerprint;$next" "$work/cmake.args" 2>/dev/null; then
    echo "ok       the build lists the signer and the next one"
else
    fail "the build was not given '$fingerprint;$next':"
    cat "$work/cmake.args" "$work/run1.log" 2>/dev/null || true
fi
[ -z "$(ls -A "$work/tmp")" ] || fail "the release left $(ls -A "$work/tmp") in its temporary folder"

(release) >"$work/run2.log" 2>&1 &
echo $! >"$work/kill.pid"
wait "$!" && fail "the interrupted release did not fail"
keys=$(leftover_keys)
if [ -n "$keys" ]; then
    fail "an interrupted release left an unencrypted key: $keys"
else
    echo "ok       an interrupted release left no key behind"
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
