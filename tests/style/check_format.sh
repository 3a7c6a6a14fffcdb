#!/usr/bin/env bash
# The C++ sources keep the house style of .clang-format: a file that drifts fails this
# test with the lines clang-format would change. `clang-format -i <file>` mends it.
set -euo pipefail
clang_format="$1"
root="$2"
cd "$root"
mapfile -t files < <(find src tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
"$clang_format" --dry-run --Werror "${files[@]}"
echo "${#files[@]} files in the house style"
