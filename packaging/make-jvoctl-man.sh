#!/bin/sh
# Writes the jvoctl manual page from the program's own help texts (jvoctl --help and
# jvoctl COMMAND --help for each command it lists), so the page always describes the commands and
# options of the program it is installed with.
#
# Usage: make-jvoctl-man.sh JVOCTL OUT.1 VERSION
set -eu
if [ $# -ne 3 ]; then
    echo "usage: $0 JVOCTL OUT.1 VERSION" >&2
    exit 64
fi
jvoctl=$1
out=$2
version=$3

# Help text as literal roff lines: backslashes and minus signs escaped, and a line starting with
# a control character ('.' or "'") kept as text.
as_roff() {
    sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^[.']/\\\\\\&&/"
}

main_help=$("$jvoctl" --help)
# The commands are the lines indented by exactly two spaces under "Commands:".
commands=$(printf '%s\n' "$main_help" |
    sed -n '/^Commands:/,$ s/^  \([a-z][a-z0-9-]*\)\([ ].*\)\{0,1\}$/\1/p')
if [ -z "$commands" ]; then
    echo "$0: '$jvoctl --help' lists no commands" >&2
    exit 1
fi

tmp=$out.tmp
trap 'rm -f "$tmp"' EXIT
{
    printf '.TH JVOCTL 1 "" "jvo %s" "JVO service software"\n' "$version"
    # Fixed text goes through here-documents: the shell's echo may expand backslashes.
    cat <<'EOF'
.nh
.SH NAME
jvoctl \- command\-line service program for JVO units and their configuration files
.SH SYNOPSIS
.nf
EOF
    printf '%s\n' "$main_help" | sed -n '/^Usage:/,/^$/p' | sed -e '/^$/d' -e 's/^Usage: *//' \
        -e 's/^ *//' | as_roff
    cat <<'EOF'
.fi
.SH DESCRIPTION
.B jvoctl
checks and prints configuration files (*.jvo.cfg) and talks to a JVO power\-monitoring
unit over a serial port or through the proxy server: it identifies the unit, extracts
and installs its configuration and resets it, with the checks and questions of the
configuration tool. Each command is described below as
.B jvoctl
.I COMMAND
.B \-\-help
prints it.
.SH COMMANDS
EOF
    for command in $commands; do
        printf '.SS %s\n.nf\n' "$command"
        help=$("$jvoctl" "$command" --help)
        printf '%s\n' "$help" | as_roff
        printf '.fi\n'
    done
    cat <<'EOF'
.SH ENVIRONMENT
.TP
.B JVO_PORT_DIR
The port directory. An entry com\fIN\fR there (N = 1..32), normally a symbolic link to
a device such as one under /dev/serial/by\-id, pins COM port N to that device. Serial
devices that are not pinned take the lowest free numbers: /dev/ttyUSB*, then
/dev/ttyACM*, then /dev/ttyS*. Without the variable the port directory is
~/.config/jvo/ports. The services of this package use /etc/jvo/ports.
.SH FILES
.TP
.I ~/.config/jvo/ports
The port directory when JVO_PORT_DIR is not set.
.TP
.I /usr/share/doc/jvo/README.md
Serial ports, permissions, a USB adapter's latency, and troubleshooting.
.SH SEE ALSO
.BR jvo\-proxy " \-\-help, " jvo\-sim " \-\-help"
EOF
} >"$tmp"
mv "$tmp" "$out"
