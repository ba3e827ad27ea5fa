#!/usr/bin/env bash
# usage: check_layers.sh COMPILER LAYERS_DIR
# Each layer compiles with a view of its own folder and the folders below it. This proves the
# views keep working that way: a header of the same or a lower layer is found, one of a higher
# layer is not, so an upward include breaks the build.
set -euo pipefail
# The compiler's messages are matched below: keep them in English whatever the locale.
export LC_ALL=C LANGUAGE=
cxx=$1
layers=$2
# A quoted include from standard input is looked for in the working directory first.
cd "$(mktemp -d)"
trap 'rmdir "$PWD"' EXIT

# Whether the layer's view finds the header. Other compile errors do not count as "not found".
finds() {  # layer header
    local out
    out=$(echo "#include \"$2\"" | "$cxx" -std=c++20 -DUNICODE -D_UNICODE -fsyntax-only \
        -I "$layers/$1" -x c++ - 2>&1 || true)
    [[ $out != *"$2: No such file"* ]]
}

status=0
expect() {  # yes|no layer header
    if finds "$2" "$3"; then got=yes; else got=no; fi
    if [ "$got" = "$1" ]; then
        echo "ok    $2 includes $3: $got"
    else
        echo "WRONG $2 includes $3: $got, expected $1"
        status=1
    fi
}

expect yes framework framework/scoped.h
expect no  framework settings/settings_store.h
expect yes settings  framework/user_text.h
expect no  settings  notify/toast.h
expect no  notify    settings/settings_store.h
expect no  notify    engine/tcp_tuning.h
expect yes engine    notify/toast.h
expect no  engine    online/update_reply.h
expect no  engine    ui/tarnivex_dlg.h
expect yes online    settings/decimal_text.h
expect no  online    engine/optimisation_pass.h
expect no  online    ui/tarnivex_dlg.h
expect yes ui        engine/optimisation_pass.h
expect yes ui        online/update_check.h
expect no  ui        app/tarnivex_app.h
exit $status
