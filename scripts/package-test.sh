#!/usr/bin/env bash
# Builds the release preset and the Debian package, installs the package with apt, checks what it
# installed (every program answers --help from /usr/bin, the desktop entries, service units and
# manual page are valid), purges it and checks that nothing of it is left.
#
# Needs root (apt-get and dpkg), as on the CI machine; elsewhere it uses sudo. The release build
# directory build/release is reused, so a second run only rebuilds what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
preset=${JVO_RELEASE_PRESET:-release}  # CI passes ci-release (warnings as errors)
build=$root/build/$preset
package=jvo

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "package-test: needs root or sudo" >&2; exit 1; }
    sudo="sudo"
fi

# Tools the package and its checks need, with the Debian packages that hold them.
tools_missing=()
for need in dpkg-shlibdeps:dpkg-dev file:file readelf:binutils desktop-file-validate:desktop-file-utils \
    systemd-analyze:systemd groff:groff-base apt-get:apt; do
    command -v "${need%%:*}" >/dev/null || tools_missing+=("${need#*:}")
done
if [ ${#tools_missing[@]} -gt 0 ]; then
    echo "package-test: missing tools; install the packages: ${tools_missing[*]}" >&2
    exit 1
fi

failures=0
pass() { echo "PASS $*"; }
fail() {
    echo "FAIL $*" >&2
    failures=$((failures + 1))
}

echo "=== release build and package ==="
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
rm -f "$build"/${package}_*.deb
if ! (cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1); then
    cat "$build/cpack.log" >&2
    echo "FAIL cpack -G DEB" >&2
    exit 1
fi
debs=("$build"/"$package"_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL cpack made no single .deb" >&2; exit 1; }
deb=${debs[0]}
echo "package: ${deb#"$root"/}"

# The programs this build tree has targets for must be in the package; the others are skipped.
programs=(jvoctl jvo-sim jvo-proxy jvo-exporter jvo-config jvo-monitor)
targets=$(ninja -C "$build" -t targets all)
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
built=()
for p in "${programs[@]}"; do
    if ! grep -q "^$p: phony" <<<"$targets"; then
        echo "SKIP $p: not built in this tree (no target), so not in the package"
    elif grep -qx "./usr/bin/$p" <<<"$contents"; then
        built+=("$p")
    else
        fail "$p: built but missing from the package"
    fi
done

echo "=== install ==="
if dpkg -s $package >/dev/null 2>&1; then
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q $package >/dev/null
fi
# Which of the package's paths exist before it is installed (directories such as /usr/bin).
preexisting=$(while read -r path; do
    path=${path#.}
    [ -n "$path" ] && [ "$path" != / ] || continue
    if [ -e "$path" ] || [ -L "$path" ]; then echo "${path%/}"; fi
done <<<"$contents")
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >/dev/null
dpkg -s $package | grep -q '^Status: install ok installed' && pass "apt-get install" ||
    fail "apt-get install: package not installed"
installed=$(dpkg -L $package)

echo "=== installed programs ==="
for p in "${built[@]}"; do
    case $p in
    jvo-config | jvo-monitor) env_run=(env QT_QPA_PLATFORM=offscreen) ;;
    *) env_run=(env) ;;
    esac
    if out=$(cd / && timeout 30 "${env_run[@]}" "/usr/bin/$p" --help 2>&1) && [ -n "$out" ]; then
        pass "/usr/bin/$p --help"
    else
        fail "/usr/bin/$p --help (exit status or empty output): $out"
    fi
done

echo "=== desktop entries, icons, manual page, units ==="
for p in jvo-config jvo-monitor; do
    entry=/usr/share/applications/$p.desktop
    [[ " ${built[*]} " == *" $p "* ]] || continue
    if [ ! -f "$entry" ]; then
        fail "$entry missing"
        continue
    fi
    out=$(desktop-file-validate "$entry" 2>&1) && [ -z "$out" ] && pass "desktop-file-validate $entry" ||
        fail "desktop-file-validate $entry: $out"
    icon=$(sed -n 's/^Icon=//p' "$entry")
    exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    [ -f "/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] && pass "icon $icon" ||
        fail "$entry: icon $icon not installed"
    [ -x "/usr/bin/$exec" ] && pass "Exec $exec" || fail "$entry: Exec $exec not installed"
done
if [[ " ${built[*]} " == *" jvoctl "* ]]; then
    man=/usr/share/man/man1/jvoctl.1.gz
    # Every command jvoctl lists has its section, and groff reads the page without warnings.
    commands=$(/usr/bin/jvoctl --help | sed -n '/^Commands:/,$ s/^  \([a-z][a-z0-9-]*\).*/\1/p')
    page=$(zcat "$man") || page=""
    missing=""
    for c in $commands; do
        grep -qx "\.SS $c" <<<"$page" || missing+=" $c"
    done
    warnings=$(groff -man -Tutf8 -ww -z 2>&1 <<<"$page") || warnings+=" (groff failed)"
    # groff takes stray control characters (a shell's echo turning \f into a form feed) silently.
    if LC_ALL=C grep -qP '[\x00-\x08\x0b-\x1f\x7f]' <<<"$page"; then
        warnings+=" control characters in the page"
    fi
    if [ -n "$commands" ] && [ -z "$missing" ] && [ -z "$warnings" ]; then
        pass "manual page jvoctl(1)"
    else
        fail "manual page jvoctl(1): commands missing:${missing:- none}; groff: ${warnings:-ok}"
    fi
fi
for p in jvo-proxy jvo-exporter; do
    [[ " ${built[*]} " == *" $p "* ]] || continue
    unit=/usr/lib/systemd/system/$p.service
    if ! grep -qxF "$unit" <<<"$installed"; then
        fail "$unit not installed"
    elif out=$(systemd-analyze verify --man=no "$unit" 2>&1) && [ -z "$out" ]; then
        pass "systemd-analyze verify $unit"
    else
        fail "systemd-analyze verify $unit: $out"
    fi
done
grep -q '^/usr/lib/udev/rules.d/.*\.rules$' <<<"$installed" && pass "udev rule installed" ||
    fail "no udev rule installed"

echo "=== purge ==="
$sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q $package >/dev/null
if dpkg -s $package >/dev/null 2>&1; then
    fail "apt-get purge: package still known to dpkg"
fi
left=""
while read -r path; do
    [ -n "$path" ] && [ "$path" != /. ] || continue
    [ -e "$path" ] || [ -L "$path" ] || continue
    # A directory that was there before the package (such as /usr/bin) stays; anything else
    # the package installed must be gone.
    if [ -d "$path" ] && [ ! -L "$path" ] && grep -qxF "$path" <<<"$preexisting"; then
        continue
    fi
    left+=" $path"
done <<<"$installed"
[ -z "$left" ] && pass "apt-get purge left nothing" || fail "left after purge:$left"

if [ $failures -ne 0 ]; then
    echo "package-test: $failures failure(s)" >&2
    exit 1
fi
echo "package-test: all passed"
