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
    echo '.nh'
    echo '.SH NAME'
    echo 'jvoctl \- command\-line service program for JVO units and their configuration files'
    echo '.SH SYNOPSIS'
    echo '.nf'
    printf '%s\n' "$main_help" | sed -n '/^Usage:/,/^$/p' | sed -e '/^$/d' -e 's/^Usage: *//' \
        -e 's/^ *//' | as_roff
    echo '.fi'
    echo '.SH DESCRIPTION'
    echo '.B jvoctl'
    echo 'checks and prints configuration files (*.jvo.cfg) and talks to a JVO power\-monitoring'
    echo 'unit over a serial port or through the proxy server: it identifies the unit, extracts'
    echo 'and installs its configuration and resets it, with the checks and questions of the'
    echo 'configuration tool. Each command is described below as'
    echo '.B jvoctl'
    echo '.I COMMAND'
    echo '.B \-\-help'
    echo 'prints it.'
    echo '.SH COMMANDS'
    for command in $commands; do
        printf '.SS %s\n' "$command"
        echo '.nf'
        help=$("$jvoctl" "$command" --help)
        printf '%s\n' "$help" | as_roff
        echo '.fi'
    done
    echo '.SH ENVIRONMENT'
    echo '.TP'
    echo '.B JVO_PORT_DIR'
    echo 'The port directory. An entry com\fIN\fR there (N = 1..32), normally a symbolic link to'
    echo 'a device such as one under /dev/serial/by\-id, pins COM port N to that device. Serial'
    echo 'devices that are not pinned take the lowest free numbers: /dev/ttyUSB*, then'
    echo '/dev/ttyACM*, then /dev/ttyS*. Without the variable the port directory is'
    echo '~/.config/jvo/ports. The services of this package use /etc/jvo/ports.'
    echo '.SH FILES'
    echo '.TP'
    echo '.I ~/.config/jvo/ports'
    echo 'The port directory when JVO_PORT_DIR is not set.'
    echo '.TP'
    echo '.I /usr/share/doc/jvo/README.md'
    echo 'Serial ports, permissions, a USB adapter'"'"'s latency, and troubleshooting.'
    echo '.SH SEE ALSO'
    echo '.BR jvo\-proxy " \-\-help, " jvo\-sim " \-\-help"'
} >"$tmp"
mv "$tmp" "$out"
