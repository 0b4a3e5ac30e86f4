#!/bin/sh
# help2man's view of a program: runs PROGRAM ARGS... and, for --help, writes the usage lines the
# way help2man reads a synopsis. A usage line that --help wraps for the terminal (a line indented
# by six spaces or more, not an option) is joined to the line it continues, and another form of
# the command (such a line starting with the program's name) becomes "   or: ...". Every other
# line passes as it is, so the manual page says what --help says.
#
# Usage: help-view.sh PROGRAM ARGS...
set -eu
program=$1
shift
if [ "${1:-}" != --help ]; then
    exec "$program" "$@"
fi
help=$("$program" "$@")
printf '%s\n' "$help" | awk -v name="${program##*/}" '
    NR == 1 && /^Usage: / { usage = 1; line = $0; next }
    usage && /^      +[^ -]/ {
        sub(/^ +/, "")
        if (index($0, name " ") == 1 || $0 == name) {
            print line
            line = "   or: " $0
        } else {
            line = line " " $0
        }
        next
    }
    usage { print line; usage = 0 }
    { print }
    END { if (usage) print line }'
