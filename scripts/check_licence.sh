#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails when a source file of the repository lacks its licence line in its first three lines, so a
# new file cannot leave the project's MIT licence unsaid.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
while IFS= read -r file; do
    case $file in
        *.cpp | *.h | *.h.in | *.js | *.supp | *.css | *.html | *.cmake | *.sh | *.conf | *.service | *.acl | *.desktop | \
            *.1 | */CMakeLists.txt | CMakeLists.txt | .ci/run | bench/run | fuzz/run | bench/web_page | \
            packaging/gateway/p*) ;;
        *) continue ;;
    esac
    [ -f "$file" ] || continue
    if ! head -n 3 "$file" | grep -q 'SPDX-License-Identifier: MIT'; then
        echo "$file: no 'SPDX-License-Identifier: MIT' in its first three lines"
        status=1
    fi
done < <(git ls-files)
[ $status -eq 0 ] && echo "licence: every source file names it"
exit $status
