#!/usr/bin/env bash
# Fails when the README or a page in docs/ points at something that is not there: a relative link
# to a missing file or to a heading the page does not have, or a path in backticks, such as
# `platform/window_port.h`, that names a file or folder missing from the tree.
#
#   tests/docs/check_links.sh <project folder>
set -uo pipefail
root=$1
broken=0
tick='`'

report() {
    echo "$1: $2" >&2
    broken=1
}

# The anchor a heading gets: lower case, punctuation dropped, spaces as dashes.
anchors_of() {
    sed -n 's/^#\{1,6\} \(.*\)$/\1/p' "$1" | tr '[:upper:]' '[:lower:]' |
        sed -e 's/[^a-z0-9 _-]//g' -e 's/ /-/g'
}

# The tree's own top-level folders (build folders aside): a backticked path must start with one.
folders=()
for folder in "$root"/*/ "$root"/.[a-z]*/; do
    name=$(basename "$folder")
    [[ -d $folder && $name != build* && $name != .git ]] && folders+=("$name")
done

for page in "$root"/README.md "$root"/docs/*.md; do
    [[ -f $page ]] || continue
    shown=${page#"$root"/}
    while IFS= read -r target; do
        [[ $target =~ ^[a-z]+: ]] && continue
        file=${target%%#*}
        anchor=
        [[ $target == *#* ]] && anchor=${target#*#}
        resolved=$page
        [[ -n $file ]] && resolved=$(dirname "$page")/$file
        if [[ ! -e $resolved ]]; then
            report "$shown" "link to a missing file: $target"
        elif [[ -n $anchor ]] && ! anchors_of "$resolved" | grep -qx -- "$anchor"; then
            report "$shown" "link to a missing heading: $target"
        fi
    done < <(grep -o '](\([^)]*\))' "$page" | sed 's/^](\(.*\))$/\1/')
    while IFS= read -r path; do
        [[ $path == */* && $path != *[\ \<\>\$]* ]] || continue
        first=${path%%/*}
        known=0
        for folder in "${folders[@]}"; do [[ $first == "$folder" ]] && known=1; done
        [[ $known == 1 ]] || continue
        # A pattern such as scripts/take-*-picture.sh must match at least one file.
        matches=$(compgen -G "$root/$path" | head -1)
        [[ -n $matches ]] || report "$shown" "names a missing file: $path"
    done < <(grep -o "${tick}[^${tick}]*${tick}" "$page" | tr -d "$tick")
done
if [[ $broken == 0 ]]; then
    echo "every link and path in the README and docs/ resolves"
fi
exit "$broken"
