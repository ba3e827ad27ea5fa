#!/usr/bin/env bash
# Test fixture: a throwaway signer in DIR/signer, then the release files of EXE in DIR/dist and
# the signed uninstaller they embed in DIR/uninstall.exe.
# usage: package_signed.sh EXE DIR
set -euo pipefail
exe=${1:?usage: package_signed.sh EXE DIR}
dir=${2:?usage: package_signed.sh EXE DIR}
here=$(dirname "$(readlink -f "$0")")
rm -rf "$dir"
"$here/make_test_signer.sh" "$dir/signer"
"$here/../../scripts/package" --exe "$exe" --out "$dir/dist" \
    --sign-pfx "$dir/signer/signer.pfx" --sign-password-file "$dir/signer/password.txt" \
    --uninstaller-copy "$dir/uninstall.exe"
