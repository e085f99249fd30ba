#!/usr/bin/env bash
# Installs what Audimark needs on Debian, builds it, and then either starts it
# on the virtual meter (demo) or runs the whole test suite (test).
set -euo pipefail

mode=${1:-demo}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"

packages=(cmake make g++ pkg-config qt6-base-dev qt6-serialport-dev qt6-svg-dev
          libqcustomplot-dev xvfb xauth fonts-dejavu-core)

install_packages() {
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${packages[@]}"
}

build_all() {
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$build" -j"$(nproc)"
}

run_demo() {
    # The program starts its own virtual meter on a pseudo-terminal.
    "$build/app/audimark" --demo
}

run_tests() {
    cd "$build"
    # Tests that run the virtual meter against the real clock share a loaded
    # machine; one that misses its timing once is run once more.
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 --repeat until-pass:2
}

case "$mode" in
    demo) install_packages; build_all; run_demo ;;
    test) install_packages; build_all; run_tests ;;
    *) echo "usage: $0 demo|test" >&2; exit 2 ;;
esac
