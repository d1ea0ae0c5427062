#!/usr/bin/env bash
# Installs the Debian 12 packages Quorvia needs, then configures and builds it
# in ./build (or $QUORVIA_BUILD). Called by start.sh, test.sh and bench/engine.
# With QUORVIA_SANITIZE=1 the build has the sanitizers in.
#
#   setup.sh [--test] [--bench] [--keep-config] [target...]
#
# Without options only what building and running need is installed; --test
# adds the test peers, --bench the benchmark peers. Targets name what to
# build; none builds everything. --keep-config builds a folder that is
# already configured as it is (a Release build for the benchmarks stays one). As root the packages are installed directly;
# as another user only the package install runs through sudo, announced first.
set -euo pipefail

# file: dpkg-shlibdeps reads the binaries with it when cpack makes the package.
build_packages=(build-essential cmake pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev file
                libzip-dev)
test_packages=(googletest libgtest-dev python3 python3-aiosmtpd python3-xlib 7zip rsync
               xvfb xauth openbox desktop-file-utils appstream netbase clang-format
               fusefat dosfstools sshfs openssh-sftp-server)
bench_packages=(rsync zip 7zip coreutils)

packages=("${build_packages[@]}")
targets=()
configure=()
keep_config=0
for arg in "$@"; do
    case "$arg" in
        --test) packages+=("${test_packages[@]}"); configure+=(-DQUORVIA_REQUIRE_TESTS=ON) ;;
        --bench) packages+=("${bench_packages[@]}") ;;
        --keep-config) keep_config=1 ;;
        -*) echo "setup.sh: unknown option $arg" >&2; exit 2 ;;
        *) targets+=(--target "$arg") ;;
    esac
done

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUORVIA_BUILD:-$root/build}"
mkdir -p "$build"
log="$build/packages.log"

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$p")
done
# Duplicates (rsync for --test --bench) would only lengthen the message.
mapfile -t missing < <(printf '%s\n' "${missing[@]}" | awk 'NF && !seen[$0]++')

if [ ${#missing[@]} -gt 0 ]; then
    install_cmd="apt-get install -y --no-install-recommends ${missing[*]}"
    as_root=()
    if [ "$(id -u)" -ne 0 ]; then
        cannot() {
            echo "Quorvia needs these Debian packages, which are not installed:" >&2
            echo "    ${missing[*]}" >&2
            echo "$1 Ask an administrator, or as root run:" >&2
            echo "    apt-get update && $install_cmd" >&2
            echo "then run this command again." >&2
            exit 1
        }
        command -v sudo >/dev/null || cannot "There is no sudo here to install them with."
        announce() {
            echo "Installing ${#missing[@]} Debian packages with sudo; only this step runs as root:"
            echo "    ${missing[*]}"
        }
        if sudo -n true 2>/dev/null; then
            announce
        elif ! [[ " $(id -nG) " =~ \ (sudo|admin|wheel)\  ]]; then
            # Debian lets the sudo group use sudo; sudo would only ask for a
            # password and then refuse.
            cannot "You ($(id -un)) are not in the sudo group, so you may not use sudo here."
        else
            { : </dev/tty; } 2>/dev/null ||
                cannot "sudo needs a password and there is no terminal to ask for it."
            announce
            echo "sudo may ask for your password."
            sudo -v || cannot "sudo did not allow you to install packages."
        fi
        as_root=(sudo)
    else
        echo "Installing ${#missing[@]} Debian packages: ${missing[*]}"
    fi
    echo "# packages installed by Quorvia's set-up: ${missing[*]}" >>"$log"
    echo "  package log: $log"
    step() { # step TEXT COMMAND...: one line on the screen, everything else in the log
        local text="$1" start=$SECONDS
        shift
        printf '  %s ... ' "$text"
        if "$@" >>"$log" 2>&1 </dev/null; then
            echo "done ($((SECONDS - start)) s)"
        else
            echo "failed"
            echo "The last lines of $log:" >&2
            tail -n 15 "$log" >&2
            exit 1
        fi
    }
    step "updating the package lists" "${as_root[@]}" apt-get update
    step "downloading and installing" "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
fi

# QUORVIA_SANITIZE=1 (test.sh --sanitize) builds with AddressSanitizer and UBSan;
# QUORVIA_WERROR=1 (CI) makes every warning an error.
if [ "${QUORVIA_SANITIZE:-0}" = 1 ]; then configure+=(-DQUORVIA_SANITIZE=ON); fi
configure+=(-DQUORVIA_WERROR="$([ "${QUORVIA_WERROR:-0}" = 1 ] && echo ON || echo OFF)")
if [ "$keep_config" = 0 ] || [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${configure[@]}" >/dev/null
fi
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
