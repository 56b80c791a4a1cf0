#!/usr/bin/env bash
# Fails, naming them, when C++ sources differ from the project's .clang-format.
# Usage: tools/check-format.sh [source folder]   (default: this checkout)
# In a git checkout the tracked *.cpp and *.h files are checked; elsewhere
# every such file outside build folders. CLANG_FORMAT names the program.
set -uo pipefail

root="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
format="${CLANG_FORMAT:-clang-format}"

if ! command -v "$format" >/dev/null 2>&1; then
  echo "check-format: $format not found (install the clang-format package)" >&2
  exit 2
fi
if ! cd "$root"; then
  echo "check-format: no folder $root" >&2
  exit 2
fi

files=()
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
  mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
else
  mapfile -d '' files < <(find . \( -type d \( -name '.git' -o -name 'build*' \) -prune \) -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
fi

differ=()
checked=0
for f in "${files[@]}"; do
  [ -f "$f" ] || continue  # tracked but deleted in the working tree
  checked=$((checked + 1))
  if ! "$format" --dry-run -Werror "$f" >/dev/null 2>&1; then
    differ+=("${f#./}")
  fi
done

if [ ${#differ[@]} -gt 0 ]; then
  echo "check-format: ${#differ[@]} of $checked files differ from .clang-format:"
  printf '  %s\n' "${differ[@]}"
  echo "fix with: clang-format -i <files>"
  exit 1
fi
echo "check-format: $checked files formatted as .clang-format says"
