#!/usr/bin/env bash
# Builds Quorvia (installing what building and running need) and starts it.
# The program target brings everything it loads at run time and everything
# `cmake --install build` installs.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh" quorvia
program="${QUORVIA_BUILD:-$root/build}/src/quorvia"
quoted="'${program//\'/\'\\\'\'}'"
if [ "$(id -u)" -eq 0 ]; then
    echo "Note: you are root, so Quorvia keeps its settings and schemes in root's home" \
         "(${HOME:-/root}). Start it as your own user for your own backups." >&2
    if [ -n "${SUDO_USER:-}" ]; then
        echo "No need for sudo: as $SUDO_USER, 'bash scripts/start.sh' asks for it only to" \
             "install packages (first 'sudo chown -R $SUDO_USER: $(printf %q "$root")')." >&2
    fi
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # The build is done; only the window has nowhere to go.
    echo "Quorvia is built: $program"
    echo "There is no display to show its window on. Start it from a desktop session, or on a"
    echo "virtual display (xvfb-run comes with the test command's packages):"
    echo "    xvfb-run -a $quoted"
    exit 0
fi
exec "$program"
