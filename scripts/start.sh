#!/usr/bin/env bash
# Builds Quorvia (installing what building and running need) and starts it.
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
    echo "Quorvia is built, but there is no display to show its window on." >&2
    echo "Run this command from a desktop session, or start the program on a virtual display" >&2
    echo "(xvfb-run comes with the test command's packages):" >&2
    echo "    xvfb-run -a $quoted" >&2
    exit 1
fi
exec "$program"
