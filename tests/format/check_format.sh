#!/bin/bash
# Every C++ file of src/ and tests/ laid out as .clang-format says.
#   check_format.sh SOURCE_ROOT CLANG_FORMAT
# Exit status 77 (skipped) when there is no clang-format.
set -euo pipefail
cd "$1"
tool="${2:-}"
if [ -z "$tool" ] || [ ! -x "$tool" ]; then
    echo "SKIPPED: clang-format is not installed (Debian package clang-format)"
    exit 77
fi
mapfile -d '' files < <(find src tests \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 |
                        sort -z)
"$tool" --dry-run --Werror "${files[@]}"
echo "${#files[@]} files formatted as .clang-format says"
