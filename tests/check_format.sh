#!/usr/bin/env bash
# Checks that every C and C++ source of the project is laid out as the
# project's .clang-format says. The instruction-set regions of the kernels
# keep their include order between "clang-format off" and "on" comments.
# Prints the files that differ and the command that fixes them.
set -euo pipefail
root=$1
cd "$root"
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 1; }
mapfile -t files < <(find include src tests tools bench examples \
  \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -type f | sort)
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -ne 0 ]; then
  echo "${#bad[@]} of ${#files[@]} files differ from .clang-format:"
  printf '  %s\n' "${bad[@]}"
  echo "fix with: clang-format -i ${bad[*]}"
  exit 1
fi
echo "${#files[@]} files laid out as .clang-format says"
