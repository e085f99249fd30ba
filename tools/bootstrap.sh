#!/usr/bin/env bash
# Installs what Audimark needs on Debian, builds it, and then either starts it
# on the virtual meter (demo) or runs the whole test suite (test).
#
# test runs, after the normal build and its tests, the sanitizer stage: the
# core tests (those that need no display) built with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-san and run there, then each fuzz
# target for a while from its seed corpus. Any sanitizer report fails it.
set -euo pipefail

mode=${1:-demo}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
san_build="$root/build-san"
cores=$(nproc)

# Seconds each fuzz target runs in the sanitizer stage.
fuzz_seconds=${AUDIMARK_FUZZ_SECONDS:-30}

# fonts-wqy-microhei: the Traditional Chinese status texts of the logger setup.
packages=(cmake make g++ pkg-config qt6-base-dev qt6-serialport-dev qt6-svg-dev
          libqcustomplot-dev xvfb xauth fonts-dejavu-core fonts-wqy-microhei
          libqt6sql6-sqlite libqt6sql6-psql libmosquitto-dev)
# The sanitizer stage: clang with its sanitizer and libFuzzer run-time. The
# package tests: cpack's Debian generator (dpkg-shlibdeps, file) and the
# checkers of the desktop entry, metadata, manual pages and completion. The
# command-line benchmarks' numpy competitor (tests/bench). The archive tests'
# own PostgreSQL server. The MQTT tests' own broker, its clients, and openssl
# for their throw-away certificates. The report tests read the PDF pages
# back (poppler-utils).
test_packages=(clang libclang-rt-14-dev dpkg-dev file desktop-file-utils appstream
               groff-base man-db bash-completion python3-numpy postgresql
               mosquitto mosquitto-clients openssl poppler-utils)

# Any sanitizer report ends the process with a failure, leaks included;
# only fontconfig's caches, which a QApplication fills and keeps to the end,
# are let through (tools/lsan.supp).
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

stage_names=()
stage_seconds=()
running_stage=""
running_since=0

# timed NAME COMMAND...: runs the command and notes how long it took.
timed() {
    running_stage=$1
    running_since=$SECONDS
    shift
    "$@"
    stage_names+=("$running_stage")
    stage_seconds+=($((SECONDS - running_since)))
    running_stage=""
}

# At exit, also after a failure: the stages done and the one that failed.
print_stage_times() {
    local status=$? i total=0
    echo
    echo "Stage times:"
    for i in "${!stage_names[@]}"; do
        printf '  %-18s %6d s\n' "${stage_names[$i]}" "${stage_seconds[$i]}"
        total=$((total + stage_seconds[i]))
    done
    if [ -n "$running_stage" ]; then
        printf '  %-18s %6d s  FAILED\n' "$running_stage" $((SECONDS - running_since))
        total=$((total + SECONDS - running_since))
    fi
    printf '  %-18s %6d s\n' "total" "$total"
    return "$status"
}

install_packages() {
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$@"
}

build_all() {
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$build" -j"$cores"
}

run_demo() {
    # The program starts its own virtual meter on a pseudo-terminal.
    "$build/app/audimark" --demo
}

run_tests() {
    # Tests that run the virtual meter against the real clock share a loaded
    # machine; one that misses its timing once is run once more. Two at a
    # time: most of the suite waits on the virtual meter's 9600 baud.
    (cd "$build" &&
        QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 --repeat until-pass:2 \
            -j"$cores")
}

# clang builds the fuzz targets as well; without it g++ builds the sanitized
# core tests alone.
fuzzing=OFF

# Optimised a little and with line tables only: quicker to build than the
# normal -O2 -g, with file and line in every sanitizer report.
build_sanitized() {
    local compiler=g++ flags="-O1 -g1 -DNDEBUG"
    if command -v clang++ >/dev/null; then
        compiler=clang++
        flags="-O1 -gline-tables-only -DNDEBUG"
        fuzzing=ON
    else
        echo "bootstrap: clang++ not found; the sanitizer stage runs without fuzzing" >&2
    fi
    cmake -S "$root" -B "$san_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_CXX_COMPILER="$compiler" \
        -DAUDIMARK_SANITIZE=ON -DAUDIMARK_FUZZ="$fuzzing"
    cmake --build "$san_build" --target audimark_core_tests -j"$cores"
    if [ "$fuzzing" = ON ]; then
        if [ -d "$san_build/tests/fuzz" ]; then
            cmake --build "$san_build" --target audimark_fuzz_targets -j"$cores"
        else
            echo "bootstrap: no fuzz targets in this tree; nothing to fuzz" >&2
            fuzzing=OFF
        fi
    fi
}

# Two at a time: most core tests wait on the virtual meter's 9600 baud. The
# two that wait longest (close to two minutes each, on time-outs of the
# logger protocol) have run in the normal stage; the code they drive is run
# here by the other logger and command-line tests.
sanitizer_skips='^(tst_clidownloadfaults|tst_clisetup)$'

run_sanitized_tests() {
    (cd "$san_build" &&
        QT_QPA_PLATFORM=offscreen ctest -L core -E "$sanitizer_skips" --output-on-failure \
            --timeout 600 --repeat until-pass:2 -j"$cores")
}

# Runs one fuzz target from a scratch copy of its corpus (the repository is
# not written); a crash, a time-out of one input or a sanitizer report fails.
fuzz_one() {
    local target=$1 scratch=$2
    local name=${target##*/fuzz_}
    local corpus="$scratch/corpus-$name" artifacts="$scratch/artifacts-$name/"
    mkdir -p "$corpus" "$artifacts"
    if [ -d "$root/tests/fuzz/corpus/$name" ]; then
        cp -R "$root/tests/fuzz/corpus/$name/." "$corpus/"
    fi
    if "$target" -max_total_time="$fuzz_seconds" -timeout=25 -print_final_stats=1 \
        -artifact_prefix="$artifacts" "$corpus" >"$scratch/$name.log" 2>&1; then
        echo "fuzz_$name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$scratch/$name.log" |
            grep -o '[0-9]*$') runs, no finding"
    else
        # The report with its stack, then libFuzzer's last words and the input.
        echo "fuzz_$name FAILED:"
        sed -n '/ERROR: \|runtime error: /,/^SUMMARY: /p' "$scratch/$name.log" | head -n 80 || true
        tail -n 12 "$scratch/$name.log"
        local input
        for input in "$artifacts"*; do
            if [ -f "$input" ]; then
                echo "input $(basename "$input"): $(base64 -w0 "$input" | head -c 2000)"
            fi
        done
        return 1
    fi
}

run_fuzzers() {
    [ "$fuzzing" = ON ] || return 0
    local scratch targets=() failed=0 i
    scratch=$(mktemp -d)
    for i in "$san_build"/tests/fuzz/fuzz_*; do
        if [ -f "$i" ] && [ -x "$i" ]; then
            targets+=("$i")
        fi
    done
    # Two at a time, one per core: they all run equally long.
    for ((i = 0; i < ${#targets[@]}; i += 2)); do
        fuzz_one "${targets[$i]}" "$scratch" &
        local first=$!
        if [ $((i + 1)) -lt ${#targets[@]} ]; then
            fuzz_one "${targets[$((i + 1))]}" "$scratch" || failed=1
        fi
        wait "$first" || failed=1
    done
    rm -rf "$scratch"
    return "$failed"
}

case "$mode" in
    demo) install_packages "${packages[@]}"; build_all; run_demo ;;
    test)
        trap print_stage_times EXIT
        timed install install_packages "${packages[@]}" "${test_packages[@]}"
        timed build build_all
        timed tests run_tests
        timed "sanitizer build" build_sanitized
        timed "sanitizer tests" run_sanitized_tests
        timed fuzzing run_fuzzers
        ;;
    *) echo "usage: $0 demo|test" >&2; exit 2 ;;
esac
