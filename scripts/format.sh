#!/usr/bin/env bash
# Brings every C++ file of the tree into the house style (.clang-format).
#   bash scripts/format.sh           reformat the files in place
#   bash scripts/format.sh --check   change nothing; list the files that are
#                                    not in the style and exit non-zero
# The style is kept with one pinned formatter version, because versions differ
# in their output: Debian's clang-format-14.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
FORMATTER=${CLANG_FORMAT:-clang-format-14}
cd "$ROOT"

command -v "$FORMATTER" >/dev/null || { echo "$FORMATTER is not installed" >&2; exit 2; }
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -co --exclude-standard '*.cpp' '*.h' '*.c')
else
  mapfile -t files < <(find . -path ./build -prune -o -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print)
fi

if [ "${1:-}" != "--check" ]; then
  "$FORMATTER" -i "${files[@]}"
  exit 0
fi

bad=0
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if ! "$FORMATTER" --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f (run bash scripts/format.sh)" >&2
    bad=1
  fi
done
exit "$bad"
