#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the program's libraries and executables with the libraries each one links, from CMake's
# --graphviz output, into docs/dependencies.png (graphviz dot; every arrow points down, from a
# target to what it uses). First checks that every link follows the direction of the folders:
#   app -> app/station, link, ui, gif, tracking, settings;  app/station -> link, ui, tracking, settings;
#   link -> tracking, settings;  tools -> ui, tracking and what tracking uses;  ui -> settings;
#   tracking -> rotator, radio, settings, astro;  radio -> rotator (the Hamlib link both drive);
#   gif, settings, astro and rotator use nothing of ours; nothing uses tools.
# With --check only the check runs (CI). Tests, benchmarks, the picture generators and outside
# libraries are left out of the picture.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
check_only=false
[ "${1:-}" = "--check" ] && check_only=true

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/CMakeGraphVizOptions.cmake" <<'OPTIONS'
set(GRAPHVIZ_GRAPH_NAME "lunark")
set(GRAPHVIZ_EXTERNAL_LIBS FALSE)
set(GRAPHVIZ_OBJECT_LIBS FALSE)
set(GRAPHVIZ_CUSTOM_TARGETS FALSE)
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS "gifdump;.*_autogen.*;.*_resources_.*")
OPTIONS
cmake -S "$top" -B "$work" -DLUNARK_TESTS=OFF -DLUNARK_BENCH=OFF -DLUNARK_FUZZ=OFF \
  --graphviz="$work/graph.dot" >/dev/null

# The targets, and the links as "user used" pairs of names (from the comment CMake writes on each
# link line); the legend is left out.
sed -nE 's/^ *"node[0-9]+" \[ label = "([^"]+)".*/\1/p' "$work/graph.dot" >"$work/names"
sed -nE 's/^ *"node[0-9]+" -> "node[0-9]+".*\/\/ *([^ ]+) -> ([^ ]+) *$/\1 \2/p' "$work/graph.dot" >"$work/links"

# The folder of each target: the folder whose CMake files create it, named from the top (app,
# app/station); every program under tools/ belongs to tools.
folder_of() {
  local hit folder
  hit=$(grep -lE "add_(library|executable)\($1( |\))" "$top"/*/CMakeLists.txt "$top"/*/*/CMakeLists.txt \
    "$top"/*/*.cmake 2>/dev/null | head -n 1)
  folder=$(dirname "${hit#"$top"/}")
  case "$folder" in tools/*) folder=tools ;; esac
  echo "$folder"
}
allowed() {  # allowed USER_FOLDER USED_FOLDER
  [ "$1" = "$2" ] && return 0
  case "$1:$2" in
    app:app/station | app:link | app:ui | app:gif | app:tracking | app:settings) return 0 ;;
    app/station:link | app/station:ui | app/station:tracking | app/station:settings) return 0 ;;
    link:tracking | link:settings) return 0 ;;
    tools:ui | tools:tracking | ui:settings | tracking:rotator | tracking:radio | tracking:settings | tracking:astro) return 0 ;;
    radio:rotator) return 0 ;;
    tools:*) allowed tracking "$2" && return 0 ;;
  esac
  return 1
}

status=0
while read -r user used; do
  from=$(folder_of "$user")
  to=$(folder_of "$used")
  if ! allowed "$from" "$to"; then
    echo "deps-graph: $user ($from/) links $used ($to/): $from/ may not use $to/" >&2
    status=1
  fi
done <"$work/links"
if ! tsort "$work/links" >/dev/null 2>"$work/cycles"; then
  cat "$work/cycles" >&2
  status=1
fi
[ $status -eq 0 ] || exit $status
echo "deps-graph: $(wc -l <"$work/links") links, every one pointing down"
$check_only && exit 0

# One box per target, grouped by folder, users above what they use; the picture generators, which
# only the picture scripts build, stay out.
generators='^(make_cat|make_icon)( |$)'
{
  echo 'digraph lunark {'
  echo '  rankdir=TB; node [shape=box, style=filled, fillcolor="#eef3f8", fontname="DejaVu Sans"];'
  echo '  edge [color="#556677"]; compound=true;'
  grep -vE "$generators" "$work/names" | while read -r name; do
    echo "  \"$name\" [label=\"$name\\n$(folder_of "$name")/\"];"
  done
  grep -vE "$generators" "$work/links" |
    while read -r user used; do echo "  \"$user\" -> \"$used\";"; done
  echo '}'
} >"$work/lunark.dot"
command -v dot >/dev/null || { echo "deps-graph: drawing needs graphviz (apt-get install graphviz)" >&2; exit 1; }
mkdir -p "$top/docs"
dot -Tpng -Gdpi=96 "$work/lunark.dot" -o "$top/docs/dependencies.png"
echo "deps-graph: wrote docs/dependencies.png"
