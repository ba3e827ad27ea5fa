#!/usr/bin/env bash
# usage: check_imports.sh program.exe [delay-loaded.dll ...]
# Lists the DLLs the program imports and fails when one is not a Windows system DLL. The DLLs
# given after the program are meant to be delay-loaded: each must be a system DLL too, named in
# the program (its delay-import descriptor holds the name), and absent from the import table, so
# that start-up does not load it.
set -euo pipefail
exe=$1
shift
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}

dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr 'A-Z' 'a-z' | tr -d '\r')
if [ -z "$dlls" ]; then
    echo "no import table found in $exe" >&2
    exit 1
fi

system='^(kernel32|kernelbase|user32|gdi32|gdiplus|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|wininet|urlmon|msvcrt|ucrtbase|ntdll|combase|version|ws2_32|iphlpapi|uxtheme|dwmapi|bcrypt|crypt32|secur32|winhttp|imm32|rpcrt4|setupapi|userenv|netapi32|wtsapi32|psapi|wintrust|dbghelp|mpr|winmm|propsys|runtimeobject|api-ms-win-[a-z0-9-]+|ext-ms-win-[a-z0-9-]+)\.dll$'
status=0
while read -r dll; do
    if [[ $dll =~ $system ]]; then
        echo "ok       $dll"
    else
        echo "FOREIGN  $dll"
        status=1
    fi
done <<<"$dlls"

for delayed in "$@"; do
    lower=$(tr 'A-Z' 'a-z' <<<"$delayed")
    if ! [[ $lower =~ $system ]]; then
        echo "FOREIGN  $lower (delay-loaded)"
        status=1
    elif grep -qx "$lower" <<<"$dlls"; then
        echo "EAGER    $lower is in the import table: loaded at start-up"
        status=1
    elif ! grep -qaF "$delayed" "$exe"; then
        echo "MISSING  $lower is not named in the program"
        status=1
    else
        echo "delayed  $lower"
    fi
done
exit $status
