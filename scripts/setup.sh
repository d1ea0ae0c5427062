#!/usr/bin/env bash
# Installs what Quorvia needs to build and test (Debian 12, as root), then
# configures and builds it in ./build (or $QUORVIA_BUILD; with QUORVIA_SANITIZE=1
# built with the sanitizers). Arguments name the targets to build; none builds
# everything. Called by start.sh and test.sh.
set -euo pipefail

packages=(build-essential cmake pkg-config qt6-base-dev libgl-dev libzip-dev libgtest-dev
          googletest python3 python3-aiosmtpd 7zip rsync xvfb xauth)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUORVIA_BUILD:-$root/build}"
sanitize=OFF
if [ "${QUORVIA_SANITIZE:-0}" = 1 ]; then sanitize=ON; fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVIA_SANITIZE=$sanitize >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
