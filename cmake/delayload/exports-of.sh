#!/bin/sh
# usage: exports-of.sh NM IMPORT_LIB DLL OUT_DEF
# Writes a module definition naming every function the import library imports from DLL.
set -eu
{
    echo "LIBRARY $3"
    echo "EXPORTS"
    "$1" -g "$2" | sed -n 's/.* I __imp_//p' | sort -u
} >"$4"
