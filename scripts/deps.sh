#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
set -euo pipefail
need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/gmock/gmock.h ] || need+=(libgmock-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
command -v ccache >/dev/null || need+=(ccache)
[ -d /usr/include/x86_64-linux-gnu/qt6/QtWidgets ] || [ -d /usr/include/qt6/QtWidgets ] || need+=(qt6-base-dev libxkbcommon-dev)
[ -d /usr/include/x86_64-linux-gnu/qt6/QtCharts ] || [ -d /usr/include/qt6/QtCharts ] || need+=(qt6-charts-dev)
[ -f /usr/include/prometheus/exposer.h ] || need+=(prometheus-cpp-dev)
command -v Xvfb >/dev/null || need+=(xvfb xauth)
command -v clang++ >/dev/null || need+=(clang)
command -v clang-format >/dev/null || need+=(clang-format)
command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev)
command -v file >/dev/null || need+=(file)
command -v groff >/dev/null || need+=(groff-base)
command -v desktop-file-validate >/dev/null || need+=(desktop-file-utils)
command -v systemd-analyze >/dev/null || need+=(systemd)
command -v lintian >/dev/null || need+=(lintian)
command -v help2man >/dev/null || need+=(help2man)
command -v appstreamcli >/dev/null || need+=(appstream)
command -v man >/dev/null || need+=(man-db)
[ -f /usr/share/bash-completion/bash_completion ] || need+=(bash-completion)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-dev)
if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${need[@]}"
fi
