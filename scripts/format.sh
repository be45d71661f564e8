#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Formats every C++ file of the tree (those git knows) with clang-format-14 and the style in
# .clang-format, in place. With --check nothing is changed: every line that would change is
# reported and the script fails when there is one (CI).
#   scripts/format.sh [--check]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/install-deps.sh" format
files=()
while IFS= read -r -d '' file; do files+=("$file"); done < <(git ls-files -z '*.cpp' '*.h')
case ${1:-} in
  --check) printf '%s\0' "${files[@]}" | xargs -0 -n 20 -P "$(nproc)" clang-format-14 --dry-run -Werror ;;
  "") printf '%s\0' "${files[@]}" | xargs -0 -n 20 -P "$(nproc)" clang-format-14 -i ;;
  *) echo "usage: scripts/format.sh [--check]" >&2; exit 2 ;;
esac
