#!/usr/bin/env bash
# Builds the release preset and the Debian packages (jvo-tools, jvo-proxy, jvo-exporter,
# jvo-desktop and the transitional jvo), checks them with lintian, shows that the proxy server
# and the exporter need no Qt library, installs jvo-exporter alone and then all four with apt,
# checks what they installed (every program answers --version and --help from /usr/bin, the
# completion, desktop entries, AppStream data, manual pages and service units are valid), purges
# them and checks that nothing of them is left. With JVO_FORMER_PACKAGE naming the former single
# package's .deb (jvo 0.1.0) it also checks the upgrade from it.
#
# Needs root (apt-get and dpkg), as on the CI machine; elsewhere it uses sudo. The release build
# directory build/release is reused, so a second run only rebuilds what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
preset=${JVO_RELEASE_PRESET:-release}  # CI passes ci-release (warnings as errors)
build=$root/build/$preset

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "package-test: needs root or sudo" >&2; exit 1; }
    sudo="sudo"
fi
apt_get() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get -y -q "$@"; }

# Tools the packages and their checks need, with the Debian packages that hold them.
tools_missing=()
for need in dpkg-shlibdeps:dpkg-dev file:file readelf:binutils desktop-file-validate:desktop-file-utils \
    systemd-analyze:systemd groff:groff-base man:man-db apt-get:apt lintian:lintian help2man:help2man \
    appstreamcli:appstream; do
    command -v "${need%%:*}" >/dev/null || tools_missing+=("${need#*:}")
done
[ -f /usr/share/bash-completion/bash_completion ] || tools_missing+=(bash-completion)
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

echo "=== release build and packages ==="
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
rm -f "$build"/jvo*_*.deb
if ! (cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1); then
    cat "$build/cpack.log" >&2
    echo "FAIL cpack -G DEB" >&2
    exit 1
fi
version=$(sed -n 's/^jvo (\([^)]*\)).*/\1/p;q' packaging/debian/changelog)

# The package of each program; the programs this build tree has no target for are skipped, and
# so is a package left with none.
declare -A package_of=([jvoctl]=jvo-tools [jvo-sim]=jvo-tools [jvo-proxy]=jvo-proxy
    [jvo-exporter]=jvo-exporter [jvo-config]=jvo-desktop [jvo-monitor]=jvo-desktop)
programs=(jvoctl jvo-sim jvo-proxy jvo-exporter jvo-config jvo-monitor)
targets=$(ninja -C "$build" -t targets all)
built=()
declare -A deb_of=()
for p in "${programs[@]}"; do
    if ! grep -q "^$p: phony" <<<"$targets"; then
        echo "SKIP $p: not built in this tree (no target), so not packaged"
        continue
    fi
    pkg=${package_of[$p]}
    deb=$(ls "$build/${pkg}_${version}_"*.deb 2>/dev/null || true)
    if [ -z "$deb" ]; then
        fail "$p: package $pkg not made"
    elif dpkg-deb -c "$deb" | awk '{print $NF}' | grep -qx "./usr/bin/$p"; then
        built+=("$p")
        deb_of[$pkg]=$deb
    else
        fail "$p: built but missing from $pkg"
    fi
done
packages=()
for pkg in jvo-tools jvo-proxy jvo-exporter jvo-desktop; do
    [ -n "${deb_of[$pkg]:-}" ] && packages+=("$pkg") && echo "package: ${deb_of[$pkg]#"$root"/}"
done
[ ${#packages[@]} -gt 0 ] || { echo "FAIL no package made" >&2; exit 1; }
[ -f "$build/jvo_${version}_all.deb" ] || fail "transitional package jvo not made"
debs=()
for pkg in "${packages[@]}"; do debs+=("${deb_of[$pkg]}"); done
all_debs=("${debs[@]}" "$build"/jvo_"${version}"_all.deb)

echo "=== lintian ==="
# Every error and warning fails; information and pedantic notes are shown. Overrides, each with
# its reason, are in packaging/debian/lintian-overrides.
hints=$(lintian -I -E --pedantic "${all_debs[@]}" 2>&1 | grep -v 'with root privileges') || true
[ -z "$hints" ] || printf '%s\n' "$hints"
if grep -qE '^[EW]: ' <<<"$hints"; then
    fail "lintian: $(grep -cE '^[EW]: ' <<<"$hints") error(s) or warning(s)"
else
    pass "lintian -I -E --pedantic: no error or warning in ${packages[*]} jvo (transitional)"
fi

echo "=== no Qt for the proxy server and the exporter ==="
# apt's answer for a bare host: with an empty package status, everything the package needs
# would be installed, so the list shows all it pulls in.
empty_status=$(mktemp)
trap 'rm -f "$empty_status"' EXIT
for pkg in jvo-exporter jvo-proxy; do
    [ -n "${deb_of[$pkg]:-}" ] || continue
    if ! plan=$(apt-get -o Dir::State::status="$empty_status" install --simulate -q \
        "${deb_of[$pkg]}" 2>&1); then
        fail "apt-get install --simulate $pkg: $plan"
        continue
    fi
    coming=$(grep -c '^Inst ' <<<"$plan" || true)
    qt=$(grep '^Inst ' <<<"$plan" | awk '{print $2}' | grep -iE 'qt|libxcb|libx11|libgl' || true)
    if [ -z "$qt" ] && [ "$coming" -gt 0 ]; then
        pass "apt-get install --simulate $pkg alone on a bare host: $coming packages, none of Qt or X"
    else
        fail "apt-get install --simulate $pkg alone would bring: ${qt:-nothing at all}"
    fi
done

echo "=== install ==="
mapfile -t known < <(dpkg-query -W -f '${Package} ${db:Status-Status}\n' jvo jvo-tools jvo-proxy \
    jvo-exporter jvo-desktop 2>/dev/null | awk '$2 != "not-installed" {print $1}')
[ ${#known[@]} -eq 0 ] || apt_get purge "${known[@]}" >/dev/null
# Which of the packages' paths exist before they are installed (directories such as /usr/bin).
contents=$(for deb in "${debs[@]}"; do dpkg-deb -c "$deb"; done | awk '{print $NF}' | sort -u)
preexisting=$(while read -r path; do
    path=${path#.}
    [ -n "$path" ] && [ "$path" != / ] || continue
    if [ -e "$path" ] || [ -L "$path" ]; then echo "${path%/}"; fi
done <<<"$contents")

status_of() { dpkg-query -W -f '${db:Status-Status}' "$1" 2>/dev/null || echo not-installed; }
if [ -n "${deb_of[jvo-exporter]:-}" ]; then
    apt_get install "${deb_of[jvo-exporter]}" >/dev/null
    others=""
    for pkg in "${packages[@]}"; do
        [ "$pkg" = jvo-exporter ] || [ "$(status_of "$pkg")" = not-installed ] || others+=" $pkg"
    done
    if [ "$(status_of jvo-exporter)" = installed ] && [ -z "$others" ] &&
        /usr/bin/jvo-exporter --version >/dev/null; then
        pass "jvo-exporter installed alone and runs"
    else
        fail "jvo-exporter alone: status $(status_of jvo-exporter), also installed:${others:- none}"
    fi
fi
apt_get install "${debs[@]}" >/dev/null
for pkg in "${packages[@]}"; do
    [ "$(status_of "$pkg")" = installed ] && pass "apt-get install $pkg" || fail "$pkg not installed"
done
installed=$(dpkg -L "${packages[@]}" | sort -u)

echo "=== installed programs ==="
for p in "${built[@]}"; do
    run=(env QT_QPA_PLATFORM=offscreen "/usr/bin/$p")
    out=$(cd / && timeout 30 "${run[@]}" --version 2>&1) || out="(exit status $?) $out"
    if [ "$(head -n1 <<<"$out")" = "$p (JVO service software) $version" ]; then
        pass "/usr/bin/$p --version: $(tr '\n' ' ' <<<"$out")"
    else
        fail "/usr/bin/$p --version: '$out', not '$p (JVO service software) $version'"
    fi
    if out=$(cd / && timeout 30 "${run[@]}" --help 2>&1) && [ -n "$out" ]; then
        pass "/usr/bin/$p --help"
    else
        fail "/usr/bin/$p --help (exit status or empty output): $out"
    fi
done

echo "=== completion, desktop entries, AppStream data, manual pages, units ==="
if [[ " ${built[*]} " == *" jvoctl "* ]]; then
    completion=/usr/share/bash-completion/completions/jvoctl
    if ! out=$(bash -n "$completion" 2>&1); then
        fail "bash -n $completion: $out"
    else
        # The completion as bash-completion loads it: the commands, and the COM number of a
        # simulated unit pinned in a port directory of our own.
        ports=$(mktemp -d)
        JVO_PORT_DIR=$ports /usr/bin/jvo-sim --com 29 >/dev/null 2>&1 &
        sim=$!
        for _ in $(seq 100); do [ -e "$ports/com29" ] && break; sleep 0.1; done
        complete_words() {
            JVO_PORT_DIR=$ports bash -c '. /usr/share/bash-completion/bash_completion
                . "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
                COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}; _jvoctl jvoctl; echo "${COMPREPLY[*]}"' \
                _ "$completion" "$@"
        }
        commands=$(complete_words jvoctl "")
        coms=$(complete_words jvoctl info --com "")
        options=$(complete_words jvoctl extract --a)
        kill "$sim" 2>/dev/null || true
        wait "$sim" 2>/dev/null || true
        rm -rf "$ports"
        if [[ " $commands " == *" extract "* && " $commands " == *" record "* &&
            " $coms " == *" 29 "* && " $options " == *" --as-is "* ]]; then
            pass "bash completion of jvoctl: commands, COM numbers, options"
        else
            fail "bash completion: commands '$commands', --com '$coms', extract --a '$options'"
        fi
    fi
fi
for p in jvo-config jvo-monitor; do
    [[ " ${built[*]} " == *" $p "* ]] || continue
    entry=/usr/share/applications/$p.desktop
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
    metainfo=$(grep -l "<launchable type=\"desktop-id\">$p.desktop<" /usr/share/metainfo/*.xml 2>/dev/null ||
        true)
    if [ -z "$metainfo" ]; then
        fail "no AppStream data launches $p.desktop"
    elif out=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1); then
        pass "appstreamcli validate --no-net $metainfo"
    else
        fail "appstreamcli validate $metainfo: $out"
    fi
done
for p in "${built[@]}"; do
    man=/usr/share/man/man1/$p.1.gz
    if [ ! -f "$man" ]; then
        fail "manual page $man missing"
        continue
    fi
    # man reads the page without a warning from groff, and it is not empty.
    warnings=$(MANWIDTH=80 man -l --warnings "$man" 2>&1 >/dev/null) || warnings+=" (man failed)"
    text=$(MANWIDTH=80 man -l "$man" 2>/dev/null || true)
    # groff takes stray control characters (a shell's echo turning \f into a form feed) silently.
    if LC_ALL=C zcat "$man" | grep -qP '[\x00-\x08\x0b-\x1f\x7f]'; then
        warnings+=" control characters in the page"
    fi
    missing=""
    if [ "$p" = jvoctl ]; then
        # Every command jvoctl lists has its section.
        for c in $(/usr/bin/jvoctl --help | sed -n '/^Commands:/,$ s/^  \([a-z][a-z0-9-]*\).*/\1/p'); do
            zcat "$man" | grep -qx "\.SS $c" || missing+=" $c"
        done
    fi
    if [ -z "$warnings" ] && [ -z "$missing" ] && grep -q -- '--help' <<<"$text"; then
        pass "man -l $man"
    else
        fail "man -l $man: ${warnings:-no warnings}; commands missing:${missing:- none}"
    fi
done
for p in jvo-proxy jvo-exporter; do
    [[ " ${built[*]} " == *" $p "* ]] || continue
    unit=/usr/lib/systemd/system/$p.service
    if ! grep -qxF "$unit" <<<"$installed"; then
        fail "$unit not installed"
        continue
    fi
    out=$(systemd-analyze verify --man=no "$unit" 2>&1) && [ -z "$out" ] &&
        pass "systemd-analyze verify $unit" || fail "systemd-analyze verify $unit: $out"
    grep -qx 'ProcSubset=pid' "$unit" || fail "$unit: no ProcSubset=pid"
    # Overall exposure at most 2.0 (the threshold counts tenths).
    out=$(systemd-analyze security --offline=true --threshold=20 --no-pager "$unit" 2>&1) &&
        pass "systemd-analyze security $unit: $(grep -o 'exposure level.*' <<<"$out")" ||
        fail "systemd-analyze security $unit: $(tail -n1 <<<"$out")"
done
grep -q '^/usr/lib/udev/rules.d/.*\.rules$' <<<"$installed" && pass "udev rule installed" ||
    fail "no udev rule installed"

# Purges the packages and checks that nothing they installed is left, nor links, masks or the
# state of deb-systemd-helper for the services.
purge_and_check() {  # label
    apt_get purge "${packages[@]}" >/dev/null
    for pkg in "${packages[@]}"; do
        [ "$(status_of "$pkg")" = not-installed ] || fail "$1: $pkg still known to dpkg"
    done
    local left="" path
    while read -r path; do
        [ -n "$path" ] && [ "$path" != /. ] || continue
        [ -e "$path" ] || [ -L "$path" ] || continue
        # A directory that was there before the packages (such as /usr/bin) stays; anything
        # else they installed must be gone.
        if [ -d "$path" ] && [ ! -L "$path" ] && grep -qxF "$path" <<<"$preexisting"; then
            continue
        fi
        left+=" $path"
    done <<<"$installed"
    left+=$(find /etc/systemd/system /var/lib/systemd/deb-systemd-helper-enabled \
        /var/lib/systemd/deb-systemd-helper-masked -name 'jvo-*' -printf ' %p' 2>/dev/null || true)
    [ -z "$left" ] && pass "$1 left nothing" || fail "$1: left behind:$left"
}

echo "=== purge ==="
# An administrator's enabling of a service is undone by the purge too.
for p in jvo-proxy jvo-exporter; do
    [[ " ${built[*]} " == *" $p "* ]] && $sudo systemctl enable "$p.service" >/dev/null 2>&1 || true
done
purge_and_check "apt-get purge"

# With JVO_FORMER_PACKAGE=path/to/jvo_0.1.0_amd64.deb: the former single package, with a changed
# setting and an enabled service, is upgraded to the transitional package jvo; the setting and
# the enabling survive that and the removal of jvo.
former=${JVO_FORMER_PACKAGE:-}
transitional=$(ls "$build/jvo_${version}_all.deb" 2>/dev/null || true)
if [ -n "$former" ] && [ -n "$transitional" ] && [ -n "${deb_of[jvo-proxy]:-}" ]; then
    echo "=== upgrade from ${former##*/} ==="
    apt_get install "$former" >/dev/null
    echo '# changed by package-test' | $sudo tee -a /etc/jvo/proxy.conf >/dev/null
    $sudo systemctl enable jvo-proxy.service >/dev/null 2>&1
    wants=/etc/systemd/system/multi-user.target.wants/jvo-proxy.service
    apt_get install "$transitional" "${debs[@]}" >/dev/null
    kept() { grep -qx '# changed by package-test' /etc/jvo/proxy.conf && [ -L "$wants" ]; }
    if [ "$(dpkg-query -W -f '${Version}' jvo)" = "$version" ] && kept &&
        [ -z "$(find /etc/jvo -name '*.dpkg-*')" ]; then
        pass "jvo upgraded to the transitional package; changed setting and enabling kept"
    else
        fail "upgrade from ${former##*/}: jvo $(dpkg-query -W -f '${Version}' jvo), setting or link lost"
    fi
    apt_get purge jvo >/dev/null
    kept && pass "purging jvo kept the setting and the enabling" ||
        fail "purging jvo lost the changed setting or the enabling"
    installed=$(dpkg -L "${packages[@]}" | sort -u)
    purge_and_check "apt-get purge after the upgrade"
fi

if [ $failures -ne 0 ]; then
    echo "package-test: $failures failure(s)" >&2
    exit 1
fi
echo "package-test: all passed"
