#!/usr/bin/env bash
# Guards the rooms of src/: the options file and the dialogs' logic never reach into the
# running of models (src/runs), nothing that scenario sets (src/sets) build on reaches into
# them, and only the ui/ folders and src/app see Qt.
# Usage: check-rooms.sh SOURCE_DIR
set -uo pipefail
cd "$1/src" || exit 2
status=0

# An #include of a header of src/runs.
runs=$(grep -rnE '^\s*#\s*include\s*[<"]runs/' optionsfile editors advanced)
if [ -n "$runs" ]; then
    echo "These files of the options file or the dialogs include a header of src/runs:"
    printf '%s\n' "$runs" | sed 's/^/    /'
    status=1
fi

# An #include of a header of src/sets from a room it builds on.
# Their ui/ folders are forms, which may show what sets make.
sets=$(grep -rnE --exclude-dir=ui '^\s*#\s*include\s*[<"]sets/' optionsfile editors advanced shell runs)
if [ -n "$sets" ]; then
    echo "These files of the rooms that scenario sets build on include a header of src/sets:"
    printf '%s\n' "$sets" | sed 's/^/    /'
    status=1
fi

# An #include of a Qt header (<QString>, <QtCore/...>, <qglobal.h>) outside ui/ and app/.
qt=$(find . -path ./app -prune -o -path '*/ui' -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) \
        -print0 | xargs -0 grep -nE '^\s*#\s*include\s*[<"](Q[A-Za-z]*|Qt[A-Za-z]*/[^>"]*|q[a-z]+\.h)[>"]')
if [ -n "$qt" ]; then
    echo "These files outside a ui/ folder and src/app include a Qt header:"
    printf '%s\n' "$qt" | sed 's/^/    /'
    status=1
fi

[ "$status" -eq 0 ] && echo "the rooms of src/ keep to their includes"
exit "$status"
