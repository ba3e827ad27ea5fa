#!/usr/bin/env bash
# Test fixture: a throwaway signer in DIR/signer, then the release files of EXE in DIR/dist,
# signed and time-stamped by a local time-stamping authority (on a free port, for this run
# only), with the winget and Scoop manifests, and the signed uninstaller they embed in
# DIR/uninstall.exe.
# usage: package_signed.sh EXE DIR VERSION
set -euo pipefail
exe=${1:?usage: package_signed.sh EXE DIR VERSION}
dir=${2:?usage: package_signed.sh EXE DIR VERSION}
version=${3:?usage: package_signed.sh EXE DIR VERSION}
here=$(dirname "$(readlink -f "$0")")
rm -rf "$dir"
"$here/make_test_signer.sh" "$dir/signer"

python3 "$here/tsa_server.py" "$dir/signer" "$dir/tsa.port" &
tsa=$!
trap 'kill "$tsa" 2>/dev/null; wait "$tsa" 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$dir/tsa.port" ] && break; sleep 0.1; done
[ -s "$dir/tsa.port" ] || { echo "package_signed: the time-stamping authority did not start" >&2; exit 1; }

"$here/../../scripts/package" --exe "$exe" --out "$dir/dist" \
    --sign-pfx "$dir/signer/signer.pfx" --sign-password-file "$dir/signer/password.txt" \
    --timestamp-url "http://127.0.0.1:$(cat "$dir/tsa.port")" \
    --uninstaller-copy "$dir/uninstall.exe"
"$here/../../scripts/listings" --dist "$dir/dist" --version "$version" \
    --download-url-base https://downloads.example/tarnivex --homepage https://www.example
