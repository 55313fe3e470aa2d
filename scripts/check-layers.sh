#!/usr/bin/env bash
# The folders' includes, one arrow per pair with its count, and a failure for any arrow that is not
# allowed: each layer includes only the layers below it (docs/design.md); and a failure for any
# handle freed by hand outside the owners' header. Run by make test.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
    [text]=""
    [framework]="text"
    [platform]="text framework"
    [report]="text platform"
    [probes]="text platform"
    [check]="text platform report probes"
    [app]="text framework platform report probes check"
    [summary]="text framework platform report"
)

status=0
declare -A arrows=()
for layer in "${!allowed[@]}"; do
    while IFS= read -r line; do
        file=${line%%:*}
        target=${line#*#include \"}
        target=${target%%/*}
        [ "$target" = "$layer" ] && continue
        [ -n "${allowed[$target]+set}" ] || continue
        arrows["$layer -> $target"]=$(( ${arrows["$layer -> $target"]:-0} + 1 ))
        if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
            echo "layers: $file includes $target/, which $layer/ must not reach"
            status=1
        fi
    done < <(grep -rH '^#include "[a-z_]*/' "$layer" --include='*.h' --include='*.cpp' || true)
done
printf '%s\n' "${!arrows[@]}" | sort | while IFS= read -r arrow; do
    echo "  $arrow (${arrows[$arrow]} includes)"
done
if [ "$status" = 0 ]; then
    echo "layers: every include runs down, no circle"
fi

# Handles are freed by their owners alone (framework/owners.h): memory, DCs, menus and icons
# everywhere, tests included; kernel handles and registry keys in the program's own code.
freed=$( (grep -rnE '\b(GlobalFree|LocalFree|ReleaseDC|DestroyMenu|DestroyIcon)\(' \
              app framework platform summary check report probes text tests --include='*.h' --include='*.cpp'
          grep -rnE '\b(CloseHandle|RegCloseKey)\(' \
              app framework platform summary check report probes text --include='*.h' --include='*.cpp') |
        grep -v '^framework/owners.h:' || true)
if [ -n "$freed" ]; then
    echo "owners: freed by hand outside framework/owners.h:"
    echo "$freed"
    status=1
fi
exit $status
