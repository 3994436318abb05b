#!/usr/bin/env bash
# Checks that the C++ files under src/ tests/ bench/ app/ follow .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(find src tests bench app -type f \( -name '*.cpp' -o -name '*.h' \) | LC_ALL=C sort)
clang-format --dry-run -Werror "${files[@]}"
echo "format: ${#files[@]} files follow .clang-format"
