#!/usr/bin/env bash
# Builds Quorvia (installing what is missing) and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh" quorvia
build="${QUORVIA_BUILD:-$root/build}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Quorvia is built, but there is no display to show its window on." >&2
    echo "Run this command from a desktop session, or start it on a virtual display:" >&2
    echo "    xvfb-run -a $build/src/quorvia" >&2
    exit 1
fi
exec "$build/src/quorvia"
