#!/usr/bin/env bash
# Keeps the tree's layering: a top folder includes only itself and the folders below it, as
# the table says. A folder the root CMakeLists.txt adds without a row here fails too, so a new
# subsystem gets its place in the map before it grows includes.
#   scripts/check-layering.sh [source-root]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}

# Each folder and the folders it may include besides itself; "*" for the test, benchmark and
# fuzzing trees, which may include anything.
declare -A below=(
    [platform]=""
    [settings]="platform"
    [xmlclient]="platform"
    [mail]="platform"
    [files]="platform xmlclient"
    [pictures]="platform xmlclient"
    [itempage]="platform xmlclient"
    [history]="platform xmlclient files"
    [notify]="platform settings xmlclient mail"
    [listing]="platform settings xmlclient"
    [watch]="platform settings xmlclient files pictures history notify itempage listing"
    [search]="platform settings xmlclient files pictures history notify listing"
    [settingsdlg]="platform settings xmlclient notify listing"
    [app]="platform settings xmlclient mail files pictures history notify itempage listing watch search settingsdlg"
    [tools]="platform"
    [dist]=""
    [tests]="*"
    [bench]="*"
    [fuzz]="*"
)

failed=0
if [[ -f "$root/CMakeLists.txt" ]]; then
    while read -r folder; do
        if [[ -z "${below[$folder]+set}" ]]; then
            echo "$folder: no row in scripts/check-layering.sh says what it may include"
            failed=1
        fi
    done < <(sed -nE 's/^[[:space:]]*add_subdirectory\(([^/)[:space:]]+).*/\1/p' "$root/CMakeLists.txt" | sort -u)
fi

checked=0
for folder in "${!below[@]}"; do
    [[ -d "$root/$folder" && "${below[$folder]}" != "*" ]] || continue
    allowed=" $folder ${below[$folder]} "
    while IFS=: read -r file line target; do
        checked=$((checked + 1))
        # Only includes that name a top folder are arrows; the rest are generated headers,
        # system headers or a folder's own sub-folders.
        top=${target%%/*}
        [[ "$top" == ".." || -n "${below[$top]+set}" ]] || continue
        if [[ "$allowed" != *" $top "* ]]; then
            echo "${file#"$root"/}:$line: $folder may not include $top ($target)"
            failed=1
        fi
    done < <(grep -rnE --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+/' \
                 "$root/$folder" | sed -E 's/^([^:]+):([0-9]+):[^"]*"([^"]+)".*/\1:\2:\3/')
done

if ((checked == 0)); then
    echo "no includes found under $root: nothing was checked"
    exit 1
fi
exit "$failed"
