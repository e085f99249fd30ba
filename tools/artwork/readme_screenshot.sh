#!/bin/sh
# The README's picture: the program as a user sees it (openbox, 1280 x 1024)
# on its virtual meter (--demo), recording into the real-time graph for a
# minute and a half, so that the acoustic figures beside it are filled in.
# Needs xvfb, openbox, xdotool and imagemagick; runs a fresh settings store.
#
# usage: tools/artwork/readme_screenshot.sh [OUTPUT.png]
#   (default docs/screenshots/realtime.png; the program from build/app)
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
output=$(realpath -m "${1:-$root/docs/screenshots/realtime.png}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cat >"$scratch/session.sh" <<SESSION
#!/bin/sh
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
mkdir -p "\$HOME"
openbox 2>/dev/null &
sleep 1
"$root/build/app/audimark" --demo --data-dir "$scratch/data" >"$scratch/audimark.log" 2>&1 &
sleep 8
# Real Time > Run from the toolbar (its green button), 500 points at 0.2 s.
xdotool mousemove 184 56 click 1
sleep 2
xdotool key ctrl+a type 500
xdotool key Return
xdotool mousemove 1100 600
sleep 92
import -window root "$scratch/shot.png"
SESSION
chmod +x "$scratch/session.sh"
xvfb-run -a -s '-screen 0 1280x1024x24' "$scratch/session.sh"
convert "$scratch/shot.png" -strip -define png:compression-level=9 "$output"
echo "wrote $output"
