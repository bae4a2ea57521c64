#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The layer check on small trees: a clean one passes; each tree that breaks one rule once fails,
# and the check names the offending file and why.
#   tst_check_layers.sh CHECK_LAYERS_SCRIPT
set -uo pipefail
check=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# Qt's include folder as Qt lays it out, with a header of each module the rules name.
qt=$work/qt6
mkdir -p "$qt/QtCore" "$qt/QtWidgets"
touch "$qt/QtCore/QString" "$qt/QtWidgets/QWidget" "$qt/QtWidgets/QLabel" "$qt/QtWidgets/QtWidgets"

put() {  # put FILE LINE...: a file of the tree with these lines
    mkdir -p "$(dirname "$1")"
    local file=$1
    shift
    printf '%s\n' "$@" > "$file"
}

# low/ may use Qt Core; high/ may use low/ and Qt Widgets; sim/ stands for a folder beside src/.
clean_tree() {
    local t=$1
    put "$t/LAYERS" "# folder  may include | Qt modules" \
        "low:              | Core" "high:   low      | Core Widgets" "sim:    low | Core"
    put "$t/src/low/a.h" "#pragma once" "#include <QString>" '#include "low/b.h"' '#include "b.h"'
    put "$t/src/low/b.h" "#pragma once" "#include <vector>"
    put "$t/src/high/c.h" "#pragma once" '#include "low/a.h"' "#include <QWidget>"
    put "$t/src/high/c.cpp" '#include "high/c.h"' '#include "../low/a.h"' '#include "./c.h"' \
        "#include <QtWidgets/QLabel>" "  #  include <QtWidgets>" '#include "version.h"' \
        '#include "c.moc"'
    put "$t/sim/plant.cpp" '#include "low/a.h"' "#include <QString>"
}

expect() {  # expect NAME STATUS EXPECTED_TEXT [ENV...]: runs the check on $tree
    local name=$1 want=$2 text=$3
    shift 3
    local out rc
    out=$(env QT6_INCLUDE_DIR="$qt" "$@" bash "$check" "$tree" 2>&1)
    rc=$?
    if { [ "$want" = pass ] && [ $rc -ne 0 ]; } || { [ "$want" = fail ] && [ $rc -eq 0 ]; } ||
        [[ $out != *"$text"* ]]; then
        echo "FAIL $name: exit $rc, expected to $want saying \"$text\"; it said:"
        sed 's/^/    /' <<< "$out"
        failures=$((failures + 1))
    else
        echo "PASS $name"
    fi
}

tree=$work/clean
clean_tree "$tree"
expect "clean tree" pass "every include follows LAYERS"
expect "no Qt include folder" fail "Qt 6's include folder" QT6_INCLUDE_DIR="$work/none"

# One offence per row: the file, its one line, and what the check must say.
rows=(
    "src/extra/x.h|#include <QString>|src/extra/x.h: folder 'extra' is not in LAYERS"
    "src/x.cpp|#include <QString>|src/x.cpp: folder 'src' is not in LAYERS"
    'src/low/up.h|#include "high/c.h"|src/low/up.h: includes "high/...", which low/ may not use'
    'src/low/rel.h|#include "../high/c.h"|src/low/rel.h: includes "high/...", which low/ may not use'
    'src/low/ang.h|#include <high/c.h>|src/low/ang.h: includes "high/...", which low/ may not use'
    'sim/up.cpp|#include "high/c.h"|sim/up.cpp: includes "high/...", which sim/ may not use'
    'src/low/out.h|#include "../../tests/t.h"|src/low/out.h: includes "../../tests/t.h", which is outside'
    "src/low/w.h|#include <QWidget>|src/low/w.h: includes <QWidget> of Qt Widgets, which low/ may not"
    "src/low/l.h|#include <QtWidgets/QLabel>|src/low/l.h: includes <QtWidgets/QLabel> of Qt Widgets"
    'src/low/q.h|#include "QWidget"|src/low/q.h: includes <QWidget> of Qt Widgets'
    "src/low/m.cc|#include <QtWidgets>|src/low/m.cc: includes <QtWidgets> of Qt Widgets"
)
for row in "${rows[@]}"; do
    IFS='|' read -r file line said <<< "$row"
    tree=$work/case
    rm -rf "$tree"
    clean_tree "$tree"
    put "$tree/tests/t.h" "#pragma once"
    put "$tree/$file" "$line"
    expect "$file: $line" fail "$said"
done

[ $failures -eq 0 ] && echo "layer check: every rule caught" || echo "$failures case(s) failed"
exit $((failures > 0))
