#!/usr/bin/env bash
# Builds Quorvia (installing what is missing) and runs every test, headless.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/setup.sh" --test
export QT_QPA_PLATFORM=offscreen
cd "${QUORVIA_BUILD:-$root/build}"
ctest --output-on-failure -j"$(nproc)" "$@"
