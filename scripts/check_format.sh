#!/usr/bin/env bash
# Checks that the C++ files under src/ tests/ bench/ app/ follow .clang-format.
# Files written before the format was fixed are listed in
# scripts/format_pending.txt and skipped until someone formats them (then
# drop the line); every other file, and every new one, must pass.
set -euo pipefail
cd "$(dirname "$0")/.."
pending=scripts/format_pending.txt
mapfile -t files < <(find src tests bench app -type f \( -name '*.cpp' -o -name '*.h' \) | LC_ALL=C sort |
                     grep -vxF -f "$pending")
clang-format --dry-run -Werror "${files[@]}"
echo "format: ${#files[@]} files follow .clang-format"
