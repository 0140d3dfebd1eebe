#!/usr/bin/env bash
# check_format.sh ROOT: every C++ file of the tree (the tracked ones, or without git the source
# folders') must already be as clang-format makes it with ROOT/.clang-format. Lists the files
# that are not; `clang-format -i FILE` reformats one. Exit 77 (skipped) without clang-format.
set -uo pipefail

root="${1:?usage: check_format.sh ROOT}"
cd "$root" || exit 2
format=${CLANG_FORMAT:-clang-format}
if ! command -v "$format" >/dev/null; then
  echo "check_format: $format not found (scripts/install-deps test): skipped"
  exit 77
fi
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
  mapfile -t files < <(find app bench check engine intake platform random screens stimulus study \
                            tests tools -name '*.cpp' -o -name '*.h' | sort)
fi
bad=()
for f in "${files[@]}"; do
  [[ -f $f ]] || continue  # deleted in the work tree, not yet in the index
  "$format" --style=file --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if ((${#bad[@]} > 0)); then
  printf 'check_format: not formatted: %s\n' "${bad[@]}"
  echo "check_format: ${#bad[@]} of ${#files[@]} files differ from .clang-format (clang-format -i FILE...)"
  exit 1
fi
echo "check_format: ${#files[@]} files formatted"
