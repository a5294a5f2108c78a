#!/bin/sh
# Checks the layers of the family's library and of the command: every module's header
# names its layer in a line "// Layer N", no file of a module includes the header of a
# module of a higher layer, and no modules include each other in a circle.
# Usage: sh tests/layers.sh [SOURCE_DIR]
set -u
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

# module layer, one line each
for header in "$top"/common/*.h "$top"/kxsyfchk/kxsyfchk.h; do
    module=$(basename "$header" .h)
    layer=$(sed -n 's#^// Layer \([0-9]\).*#\1#p' "$header" | head -n 1)
    if [ -z "$layer" ]; then
        echo "$module: its header names no layer"
        status=1
        continue
    fi
    echo "$module $layer" >> "$work/layers"
done

layer_of() {
    awk -v m="$1" '$1 == m { print $2 }' "$work/layers"
}

# including module, included module
for file in "$top"/common/*.h "$top"/common/*.cpp "$top"/kxsyfchk/*.h "$top"/kxsyfchk/*.cpp; do
    case $file in
    "$top"/kxsyfchk/*) module=kxsyfchk ;;
    *) module=$(basename "$file" | sed 's/\.[a-z]*$//') ;;
    esac
    sed -n 's/^#include "\([A-Za-z]*\)\.h"$/\1/p' "$file" | while read -r used; do
        [ "$used" = "$module" ] || echo "$module $used $(basename "$file")"
    done
done > "$work/includes"

while read -r module used file; do
    mine=$(layer_of "$module")
    theirs=$(layer_of "$used")
    if [ -n "$mine" ] && [ -n "$theirs" ] && [ "$theirs" -gt "$mine" ]; then
        echo "$file: $module (layer $mine) includes $used (layer $theirs)"
        status=1
    fi
done < "$work/includes"

# tsort finds any circle among the modules.
awk '{ print $2, $1 }' "$work/includes" | tsort > /dev/null 2> "$work/loops"
if [ -s "$work/loops" ]; then
    echo "modules in a circle:"
    cat "$work/loops"
    status=1
fi

[ "$status" -eq 0 ] && echo "layers: $(wc -l < "$work/layers") modules, no upward include, no circle"
exit "$status"
