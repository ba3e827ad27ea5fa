#!/usr/bin/env bash
# A build for real hosts must name its update signers: configuring one without
# TARNIVEX_UPDATE_SIGNERS stops with a message that says how, and "none" is accepted.
# usage: configure_refuses.sh SOURCE_DIR WORK_DIR
set -euo pipefail
src=${1:?} work=${2:?}
rm -rf "$work"
mkdir -p "$work"
configure() {
    cmake -S "$src" -B "$work/$1" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
        -DTARNIVEX_TESTS=OFF -DTARNIVEX_COUNTER_URL=https://counter.example \
        -DTARNIVEX_SITE_URL=https://127.0.0.1:8443 "${@:2}" >"$work/$1.log" 2>&1
}
failures=0
if configure without; then
    echo "FAIL: a real host without update signers configured"
    failures=$((failures + 1))
elif ! grep -q "TARNIVEX_UPDATE_SIGNERS=none" "$work/without.log"; then
    echo "FAIL: the refusal does not say how to pass the list:"
    cat "$work/without.log"
    failures=$((failures + 1))
else
    echo "ok       refused without signers"
fi
if configure none -DTARNIVEX_UPDATE_SIGNERS=none; then
    echo "ok       accepted with TARNIVEX_UPDATE_SIGNERS=none"
else
    echo "FAIL: TARNIVEX_UPDATE_SIGNERS=none was refused:"
    cat "$work/none.log"
    failures=$((failures + 1))
fi
rm -rf "$work"
[ "$failures" -eq 0 ]
