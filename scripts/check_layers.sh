#!/usr/bin/env bash
# Fails when a file of src/, sim/, trend/ or web/ includes against the rules in LAYERS: a project header
# of a folder it may not use, or a Qt module it may not use.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
declare -A allowed modules
set -f  # "*" in LAYERS means every folder, not the files here
while IFS= read -r line; do
    line=${line%%#*}
    [[ $line =~ ^([a-z]+):([^|]*)\|(.*)$ ]] || continue
    name=${BASH_REMATCH[1]} uses=${BASH_REMATCH[2]} qt=${BASH_REMATCH[3]}
    allowed[$name]=$(echo $uses)
    modules[$name]=$(echo $qt)
done < LAYERS
set +f

# The Qt module a header belongs to, by the include folder Qt installs it in.
qt_include_root=$(find /usr/include -maxdepth 3 -type d -name qt6 2>/dev/null | head -n1)
module_of() {
    local header=$1
    case $header in Qt*/*) echo "${header%%/*}" | sed 's/^Qt//'; return ;; esac
    [ -n "$qt_include_root" ] || return 0
    local hit
    hit=$(ls -d "$qt_include_root"/Qt*/"$header" 2>/dev/null | head -n1)
    if [ -n "$hit" ]; then basename "$(dirname "$hit")" | sed 's/^Qt//'; fi
}

for file in $(find src sim trend web -name '*.h' -o -name '*.cpp' | sort); do
    case $file in
        src/*) folder=$(echo "$file" | cut -d/ -f2) ;;
        *) folder=$(echo "$file" | cut -d/ -f1) ;;
    esac
    if [ -z "${allowed[$folder]+x}" ]; then
        echo "$file: folder '$folder' is not in LAYERS"
        status=1
        continue
    fi
    rules=" ${allowed[$folder]} "
    mods=" ${modules[$folder]} "
    while IFS= read -r include; do
        if [[ $include =~ ^\"([a-z_]+)/ ]]; then
            used=${BASH_REMATCH[1]}
            [ "$used" = "$folder" ] && continue
            [[ $rules == *" * "* || $rules == *" $used "* ]] && continue
            echo "$file: includes \"$used/...\", which $folder/ may not use"
            status=1
        elif [[ $include =~ ^\<(Q[A-Za-z/]+)\> ]]; then
            [[ $mods == *" * "* ]] && continue
            module=$(module_of "${BASH_REMATCH[1]}")
            [ -z "$module" ] && continue
            [[ $mods == *" $module "* ]] && continue
            echo "$file: includes <${BASH_REMATCH[1]}> of Qt $module, which $folder/ may not use"
            status=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*\([<"][^>"]*[>"]\).*/\1/p' "$file")
done
[ $status -eq 0 ] && echo "layer rules: every include follows LAYERS"
exit $status
