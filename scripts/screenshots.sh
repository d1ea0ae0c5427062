#!/usr/bin/env bash
# Takes the help's screenshots of every window: the real program on a
# virtual X display (Xvfb), with a private home holding sample schemes and
# statistics, driven with xdotool and captured with ImageMagick's import.
# usage: scripts/screenshots.sh [build folder] [output folder]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="$(mkdir -p "${2:-$root/docs/screenshots}" && cd "${2:-$root/docs/screenshots}" && pwd)"
for tool in xvfb-run xdotool import; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done

home="$(mktemp -d /tmp/anna-XXXX)"
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
export XDG_RUNTIME_DIR="$home/run" LANG=en_US.UTF-8 QUORVIA_BIN="$build/src/quorvia" OUT="$out"
mkdir -p "$XDG_CONFIG_HOME/Plimsow" "$XDG_DATA_HOME/Quorvia" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
schemes="$XDG_DATA_HOME/Quorvia"
for name in Documents Photos "Music Library"; do
    mkdir -p "$home/$name" "$home/backup/$name"
    printf '%s\r\n' "$home/$name" "$home/backup/$name" "Never" "0" "0" "N/A" "" "0" "0" \
        >"$schemes/$name.sch"
done
cat >"$XDG_CONFIG_HOME/Plimsow/Quorvia.conf" <<CONF
[General]
SchemeDir=$schemes/
SoundOn=False
LastSchemeName=Documents
TimesRun=14
TotalTransferred=1288490188
TotalFileCount=23456
TotalDirCount=812
TotalErrorCount=2
LastRunOn=3/14/25   6:05:31 PM
LastRunTime=00:03:12
LastRunSize=48234496
FileCopied=312
DirCount=41
ErrorCount=0
CONF

xvfb-run -a -s '-screen 0 1024x768x24' bash -c '
set -euo pipefail
"$QUORVIA_BIN" & pid=$!
trap "kill $pid 2>/dev/null || true" EXIT
# The visible window of that size: the splash and the main window share a title.
window() { for id in $(xdotool search --sync --onlyvisible --name "$1"); do
    if xdotool getwindowgeometry "$id" | grep -q "Geometry: $2"; then echo "$id"; return; fi
    done; return 1; }
shot() { import -window "$1" "$OUT/$2"; echo "$OUT/$2"; }
# Clicks a point of a window, given in its own pixels.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.6; }

sleep 1.5
shot "$(window "^Quorvia\$" 271x169)" about.png
sleep 4.5
main=$(window "^Quorvia\$" 549x272)
click "$main" 100 24   # select the first scheme (a click below the items selects none)
shot "$main" main-window.png
click "$main" 330 252  # &Config
config=$(window "^Quorvia Config" 320x350)
shot "$config" config.png
click "$config" 60 273  # the zip box
click "$config" 273 270 # Zip Settings
zip=$(xdotool search --sync --onlyvisible --name "^Quorvia - Zip Settings" | head -1)
shot "$zip" zip-settings.png
click "$zip" 190 123    # &Cancel
click "$config" 250 321 # &Cancel
click "$main" 228 165   # I NFO
shot "$(window "^Stats" 545x409)" stats.png
'
