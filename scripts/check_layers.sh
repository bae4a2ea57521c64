#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails when a file of src/, sim/, trend/ or web/ includes against the rules in LAYERS: a project header
# of a folder it may not use, or a Qt module it may not use.
#   check_layers.sh [ROOT]   ROOT: the tree to check (default: this repository)
# QT6_INCLUDE_DIR names Qt's include folder where it is not under /usr/include.
set -euo pipefail
root=$(realpath "${1:-$(dirname "$0")/..}")
cd "$root"
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

# The Qt module a header belongs to, by the include folder Qt installs it in. Without that folder
# no bare <QWidget> could be judged, so the check cannot pass.
qt_include_root=${QT6_INCLUDE_DIR:-$(find /usr/include -maxdepth 3 -type d -name qt6 2>/dev/null | head -n1)}
if [ -z "$qt_include_root" ] || ! ls -d "$qt_include_root"/QtCore > /dev/null 2>&1; then
    echo "check_layers: Qt 6's include folder (with QtCore/) not found; set QT6_INCLUDE_DIR" >&2
    exit 2
fi
module_of() {
    local header=$1
    case $header in Qt*/*) echo "${header%%/*}" | sed 's/^Qt//'; return ;; esac
    local hit
    hit=$(ls -d "$qt_include_root"/Qt*/"$header" 2>/dev/null | head -n1)
    if [ -n "$hit" ]; then basename "$(dirname "$hit")" | sed 's/^Qt//'; fi
}

# The layered folder a path of the tree belongs to; nothing for a path outside them.
folder_of() {
    case $1 in
        src/*/*) echo "$1" | cut -d/ -f2 ;;
        sim/* | trend/* | web/*) echo "$1" | cut -d/ -f1 ;;
    esac
}

# Checks one include of `file`, in `folder`, against the rules.
check_include() {
    local file=$1 folder=$2 include=$3 used=""
    if [[ $include =~ ^\"(.*)\"$ ]]; then
        local path=${BASH_REMATCH[1]}
        # As the compiler does: beside the including file first, then from an include root.
        if [ -e "$(dirname "$file")/$path" ]; then
            local resolved
            resolved=$(realpath -m --relative-to=. "$(dirname "$file")/$path")
            used=$(folder_of "$resolved")
            if [ -z "$used" ]; then
                echo "$file: includes \"$path\", which is outside the layered folders"
                return 1
            fi
        elif [[ $path =~ ^([a-z_]+)/ ]]; then
            used=${BASH_REMATCH[1]}
        elif [[ $path =~ ^Q ]]; then
            include="<$path>"
        fi
    elif [[ $include =~ ^\<([a-z_]+)/ ]] && [ -n "${allowed[${BASH_REMATCH[1]}]+x}" ]; then
        used=${BASH_REMATCH[1]}
    fi
    if [ -n "$used" ]; then
        [ "$used" = "$folder" ] && return 0
        [[ $rules == *" * "* || $rules == *" $used "* ]] && return 0
        echo "$file: includes \"$used/...\", which $folder/ may not use"
        return 1
    fi
    if [[ $include =~ ^\<(Q[A-Za-z/]+)\> ]]; then
        [[ $mods == *" * "* ]] && return 0
        local module
        module=$(module_of "${BASH_REMATCH[1]}")
        [ -z "$module" ] && return 0
        [[ $mods == *" $module "* ]] && return 0
        echo "$file: includes <${BASH_REMATCH[1]}> of Qt $module, which $folder/ may not use"
        return 1
    fi
    return 0
}

dirs=()
for d in src sim trend web; do [ -d "$d" ] && dirs+=("$d"); done
for file in $(find "${dirs[@]}" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' \
    -o -name '*.cc' \) | sort); do
    folder=$(folder_of "$file")
    if [ -z "$folder" ] || [ -z "${allowed[$folder]+x}" ]; then
        echo "$file: folder '${folder:-$(dirname "$file")}' is not in LAYERS"
        status=1
        continue
    fi
    rules=" ${allowed[$folder]} "
    mods=" ${modules[$folder]} "
    while IFS= read -r include; do
        check_include "$file" "$folder" "$include" || status=1
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*\([<"][^>"]*[>"]\).*/\1/p' "$file")
done
[ $status -eq 0 ] && echo "layer rules: every include follows LAYERS"
exit $status
