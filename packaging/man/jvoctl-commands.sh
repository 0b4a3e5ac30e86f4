#!/bin/sh
# Writes the COMMANDS section of the jvoctl manual page for help2man (--include): for each
# command that `jvoctl --help` lists, the text `jvoctl COMMAND --help` prints, so the page shows
# every command's options exactly as the program describes them.
#
# Usage: jvoctl-commands.sh JVOCTL OUT
set -eu
if [ $# -ne 2 ]; then
    echo "usage: $0 JVOCTL OUT" >&2
    exit 64
fi
jvoctl=$1
out=$2

# Help text as literal roff lines: backslashes and minus signs escaped, and a line starting with
# a control character ('.' or "'") kept as text.
as_roff() {
    sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^[.']/\\\\\\&&/"
}

# The commands are the lines indented by exactly two spaces under "Commands:".
commands=$("$jvoctl" --help | sed -n '/^Commands:/,$ s/^  \([a-z][a-z0-9-]*\)\([ ].*\)\{0,1\}$/\1/p')
if [ -z "$commands" ]; then
    echo "$0: '$jvoctl --help' lists no commands" >&2
    exit 1
fi

tmp=$out.tmp
trap 'rm -f "$tmp"' EXIT
{
    printf '[COMMANDS]\n'
    for command in $commands; do
        help=$("$jvoctl" "$command" --help)
        printf '.SS %s\n.nf\n' "$command"
        printf '%s\n' "$help" | as_roff
        printf '.fi\n'
    done
} >"$tmp"
mv "$tmp" "$out"
