#!/usr/bin/env bash
# Builds Quorvia (installing what is missing) and runs every test, headless.
#   --sanitize   the same suite built with AddressSanitizer and UBSan, in
#                ./build-asan (or $QUORVIA_BUILD); any finding fails its test.
# Further arguments go to ctest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ "${1:-}" = "--sanitize" ]; then
    shift
    export QUORVIA_SANITIZE=1
    export QUORVIA_BUILD="${QUORVIA_BUILD:-$root/build-asan}"
    export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
fi
bash "$root/scripts/setup.sh" --test
export QT_QPA_PLATFORM=offscreen
cd "${QUORVIA_BUILD:-$root/build}"
status=0
ctest --output-on-failure -j"$(nproc)" "$@" || status=$?
# ctest names the skipped tests but not why; their own output says.
log=Testing/Temporary/LastTest.log
if [ -f "$log" ] && grep -q ': Skipped$\|^SKIPPED: ' "$log"; then
    echo "Why tests were skipped:"
    awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 }
         /: Skipped$/ { getline why; print "    " name ": " why }
         /^SKIPPED: / { sub(/^SKIPPED: /, ""); print "    " name ": " $0 }' "$log"
fi
exit "$status"
