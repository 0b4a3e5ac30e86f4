#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
#
#   scripts/deps.sh [GROUP...]    groups: build (the programs and their tests), test (what the test
#                                 stages use beyond that), xvfb (a virtual display), windows (the
#                                 cross build for Windows, Wine to run it, NSIS for its
#                                 installer); default: build test
set -euo pipefail
groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(build test)
want() { [[ " ${groups[*]} " == *" $1 "* ]]; }
need=()
if want build; then
    command -v cmake >/dev/null || need+=(cmake)
    command -v ninja >/dev/null || need+=(ninja-build)
    command -v g++ >/dev/null || need+=(g++)
    command -v pkg-config >/dev/null || need+=(pkg-config)
    command -v ccache >/dev/null || need+=(ccache)
    [ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
    [ -f /usr/include/gmock/gmock.h ] || need+=(libgmock-dev)
    [ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
    [ -d /usr/include/x86_64-linux-gnu/qt6/QtWidgets ] || [ -d /usr/include/qt6/QtWidgets ] ||
        need+=(qt6-base-dev libxkbcommon-dev libgl-dev)
    [ -d /usr/include/x86_64-linux-gnu/qt6/QtCharts ] || [ -d /usr/include/qt6/QtCharts ] ||
        need+=(qt6-charts-dev)
    [ -f /usr/include/prometheus/exposer.h ] || need+=(prometheus-cpp-dev)
    # jvo-exporter: the web configuration (YAML), bcrypt checks, TLS and its HTTP server.
    [ -f /usr/include/yaml-cpp/yaml.h ] || need+=(libyaml-cpp-dev)
    [ -f /usr/include/crypt.h ] || need+=(libcrypt-dev)
    [ -f /usr/include/openssl/ssl.h ] || need+=(libssl-dev)
    [ -f /usr/include/event2/bufferevent_ssl.h ] || need+=(libevent-dev)
    [ -f /usr/include/zlib.h ] || need+=(zlib1g-dev)
fi
if want test || want xvfb; then
    command -v Xvfb >/dev/null || need+=(xvfb xauth)
fi
if want test; then
    command -v clang++ >/dev/null || need+=(clang)
    command -v clang-format >/dev/null || need+=(clang-format)
    ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
        need+=(libclang-rt-dev)
    command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev)
    command -v file >/dev/null || need+=(file)
    command -v groff >/dev/null || need+=(groff-base)
    command -v desktop-file-validate >/dev/null || need+=(desktop-file-utils)
    command -v systemd-analyze >/dev/null || need+=(systemd)
    command -v openssl >/dev/null || need+=(openssl)
    # The exporter's journey and lint tests run a real Prometheus and promtool (about 95 MB).
    [ -x /usr/bin/prometheus ] || need+=(prometheus)
    # The package test: lintian, the manual pages from --help, AppStream data, the completion.
    command -v lintian >/dev/null || need+=(lintian)
    command -v help2man >/dev/null || need+=(help2man)
    command -v appstreamcli >/dev/null || need+=(appstream)
    command -v man >/dev/null || need+=(man-db)
    [ -f /usr/share/bash-completion/bash_completion ] || need+=(bash-completion)
fi
if want windows; then
    # Debian's mingw-w64 (g++ 12 with posix threads), 64-bit Wine 8 and NSIS 3.
    command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(mingw-w64)
    command -v wine64 >/dev/null || need+=(wine wine64)
    command -v makensis >/dev/null || need+=(nsis)
    command -v zip >/dev/null || need+=(zip)
    command -v unzip >/dev/null || need+=(unzip)
    command -v rsvg-convert >/dev/null || need+=(librsvg2-bin)  # the icons of the .exe files
    command -v python3 >/dev/null || need+=(python3)  # scripts/png-count.py reads screenshots
    command -v Xvfb >/dev/null || need+=(xvfb xauth)
fi
if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${need[@]}"
fi
