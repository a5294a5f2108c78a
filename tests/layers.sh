#!/bin/sh
# Checks the layers of the family's library and of the command's modules: every module's
# header names its layer in a line "// Layer N", no file of a module includes the header
# of a module of a higher layer, and no modules include each other in a circle. The
# command's main.cpp has no header and stands above every layer.
# Usage: sh tests/layers.sh [SOURCE_DIR]
set -u
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

# module layer, one line each
for header in "$top"/common/*.h "$top"/kxsyfchk/*.h; do
    module=$(basename "$header" .h)
    layer=$(sed -n 's#^// Layer \([0-9][0-9]*\).*#\1#p' "$header" | head -n 1)
    if [ -z "$layer" ]; then
        echo "$module: its header names no layer"
        status=1
        continue
    fi
    echo "$module $layer" >> "$work/layers"
done
echo "main 99" >> "$work/layers"

layer_of() {
    awk -v m="$1" '$1 == m { print $2 }' "$work/layers"
}

# Reports every line "module used file [what]" of the file $1 whose used module stands
# in a higher layer; $2 says what the module does with it.
upward() {
    while read -r module used file what; do
        mine=$(layer_of "$module")
        theirs=$(layer_of "$used")
        if [ -n "$mine" ] && [ -n "$theirs" ] && [ "$theirs" -gt "$mine" ]; then
            echo "$file: $module (layer $mine) $2 ${what:+$what of }$used (layer $theirs)"
            status=1
        fi
    done < "$1"
}

# including module, included module
for file in "$top"/common/*.h "$top"/common/*.cpp "$top"/kxsyfchk/*.h "$top"/kxsyfchk/*.cpp; do
    module=$(basename "$file" | sed 's/\.[a-z]*$//')
    sed -n 's/^#include "\([A-Za-z]*\)\.h"$/\1/p' "$file" | while read -r used; do
        [ "$used" = "$module" ] || echo "$module $used $(basename "$file")"
    done
done > "$work/includes"

upward "$work/includes" includes

# No module calls a function that a module of a higher layer declares: neither through
# an include nor through a declaration of its own.
for header in "$top"/common/*.h "$top"/kxsyfchk/*.h; do
    module=$(basename "$header" .h)
    sed -n "s/^[A-Za-z][^(]*[ &*]\(kx[gl]_[A-Za-z0-9]*\)(.*/\1 $module/p" "$header"
done | sort -u > "$work/declared"
for file in "$top"/common/*.cpp "$top"/kxsyfchk/*.cpp; do
    module=$(basename "$file" .cpp)
    grep -o 'kx[gl]_[A-Za-z0-9]*(' "$file" | sed 's/($//' | sort -u | while read -r called; do
        awk -v f="$called" -v m="$module" -v file="$(basename "$file")" \
            '$1 == f && $2 != m { print m, $2, file, f }' "$work/declared"
    done
done > "$work/calls"
upward "$work/calls" calls

# tsort finds any circle among the modules.
awk '{ print $2, $1 }' "$work/includes" | tsort > /dev/null 2> "$work/loops"
if [ -s "$work/loops" ]; then
    echo "modules in a circle:"
    cat "$work/loops"
    status=1
fi

[ "$status" -eq 0 ] && echo "layers: $(wc -l < "$work/layers") modules, no upward include or call, no circle"
exit "$status"
