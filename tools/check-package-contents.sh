#!/usr/bin/env bash
# Builds the Debian package from a build tree with cpack into a scratch
# directory and reads it back with dpkg-deb: its control fields, its
# maintainer script, the files it holds (and does not hold), stripped
# programs, and the debug symbol package beside it.
# Exits 77 (skipped) when the packaging tools are missing.
#
# usage: check-package-contents.sh BUILD_DIR SCRATCH_DIR
set -uo pipefail

build=$1
scratch=$2

missing=()
for tool in cpack dpkg-deb dpkg-shlibdeps file objcopy readelf; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "skipped: missing ${missing[*]}"
    exit 77
fi

rm -rf "$scratch"
mkdir -p "$scratch"
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi

deb=$(find "$scratch" -maxdepth 1 -name 'audimark_*.deb')
ddeb=$(find "$scratch" -maxdepth 1 -name 'audimark-dbgsym_*.ddeb')
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
[ -f "$deb" ] || { echo "FAIL: no package in $scratch"; ls "$scratch"; exit 1; }
echo "package: $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = audimark ] || fail "Package is '$(field Package)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Version)" ] || fail "no Version"
[ "$(field Section)" = science ] || fail "Section is '$(field Section)'"
depends=$(field Depends)
echo "Depends: $depends"
# From the programs' libraries (dpkg-shlibdeps), then what no program links:
# the SVG icon plugin and a font for the Traditional Chinese texts.
for dependency in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libqt6svg6 \
    libqcustomplot "fonts-wqy-microhei | fonts-noto-cjk"; do
    [[ $depends == *"$dependency"* ]] || fail "Depends lacks $dependency"
done
[[ $depends == *"libqt6serialport6"* ]] || echo "note: no libqt6serialport6 in Depends"
# (grep reads to the end: dpkg-deb fails on a closed pipe)
dpkg-deb -I "$deb" | grep -E '^ *[0-9]+ bytes, +[0-9]+ lines +\* +postinst' >/dev/null ||
    fail "no executable postinst"
dpkg-deb -I "$deb" postinst | grep 'usermod -aG dialout' >/dev/null || fail "postinst does not tell how to join dialout"

files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
for path in /usr/bin/audimark /usr/bin/audimark-cli \
    /usr/libexec/audimark/audimark-cli-report /usr/libexec/audimark/audimark-virtual-meter \
    /usr/share/applications/audimark.desktop \
    /usr/share/metainfo/io.github.audimark.Audimark.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/audimark.svg \
    /usr/share/icons/hicolor/16x16/apps/audimark.png /usr/share/icons/hicolor/22x22/apps/audimark.png \
    /usr/share/icons/hicolor/24x24/apps/audimark.png /usr/share/icons/hicolor/32x32/apps/audimark.png \
    /usr/share/icons/hicolor/48x48/apps/audimark.png /usr/share/icons/hicolor/256x256/apps/audimark.png \
    /usr/share/man/man1/audimark.1.gz /usr/share/man/man1/audimark-cli.1.gz \
    /usr/share/man/man1/audimark-virtual-meter.1.gz \
    /usr/share/bash-completion/completions/audimark-cli \
    /usr/share/audimark/QV58M.htm /usr/share/doc/audimark/copyright /usr/share/doc/audimark/changelog.gz \
    /usr/lib/systemd/system/audimark-monitor@.service /usr/share/doc/audimark/monitoring.md \
    /usr/share/doc/audimark/examples/monitor-station.conf; do
    grep -q -x -F "$path" <<<"$files" || fail "the package lacks $path"
done
# Nothing of the build tree: no tests, benchmarks, libraries or headers, and
# the test peer not on the PATH.
unwanted=$(grep -E '/tst_|/bench_|/fuzz_|\.a$|\.h$|/include/|^/usr/bin/audimark-virtual-meter$|^/usr/local' <<<"$files")
[ -z "$unwanted" ] || fail "the package holds $(echo $unwanted)"

# Stripped programs, their symbols in the debug package, found by build id.
mkdir -p "$scratch/root"
dpkg-deb -x "$deb" "$scratch/root"
for program in usr/bin/audimark usr/bin/audimark-cli usr/libexec/audimark/audimark-cli-report \
    usr/libexec/audimark/audimark-virtual-meter; do
    [ -f "$scratch/root/$program" ] || continue
    readelf -S "$scratch/root/$program" | grep '\.debug_info' >/dev/null && fail "/$program is not stripped"
    id=$(readelf -n "$scratch/root/$program" | sed -n 's/.*Build ID: *//p')
    if [ -z "$ddeb" ]; then
        fail "no debug symbol package"
    elif ! dpkg-deb -c "$ddeb" | grep "/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" >/dev/null; then
        fail "the debug package has no symbols for /$program (build id $id)"
    fi
done

# A program that publishes over MQTT brings the MQTT client library along.
if readelf -d "$scratch/root/usr/bin/audimark-cli" 2>/dev/null | grep -q 'libmosquitto'; then
    [[ $depends == *"libmosquitto1"* ]] || fail "audimark-cli links libmosquitto; Depends lacks libmosquitto1"
fi

# The debug package's checksums name the installed files.
if [ -n "$ddeb" ]; then
    stray=$(dpkg-deb -I "$ddeb" md5sums | grep -v -E '^[0-9a-f]{32}  usr/lib/debug/\.build-id/')
    [ -z "$stray" ] || fail "the debug package's md5sums name $(echo $stray)"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "$(basename "$deb"): control fields, files and debug symbols as expected"
