#!/usr/bin/env bash
# usage: check_imports.sh program.exe
# Lists the DLLs the program imports and fails when one is not a Windows system DLL.
set -euo pipefail
exe=$1
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
exit $status
