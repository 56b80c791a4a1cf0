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

present=()
for f in "${files[@]}"; do
  [ -f "$f" ] && present+=("$f")  # tracked but deleted in the working tree: passed over
done
checked=${#present[@]}

# One run over every file (a run per file spent most of its time starting):
# each place that differs is named as FILE:LINE:COLUMN: error: ...
differ=()
if [ "$checked" -gt 0 ]; then
  report=$("$format" --dry-run -Werror "${present[@]}" 2>&1 >/dev/null)
  status=$?
  mapfile -t differ < <(printf '%s\n' "$report" |
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
  if [ "$status" -ne 0 ] && [ ${#differ[@]} -eq 0 ]; then
    echo "check-format: $format failed:" >&2
    printf '%s\n' "$report" | head -20 >&2
    exit 2
  fi
fi
differ=("${differ[@]#./}")

if [ ${#differ[@]} -gt 0 ]; then
  echo "check-format: ${#differ[@]} of $checked files differ from .clang-format:"
  printf '  %s\n' "${differ[@]}"
  echo "fix with: clang-format -i <files>"
  exit 1
fi
echo "check-format: $checked files formatted as .clang-format says"
