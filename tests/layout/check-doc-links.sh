#!/usr/bin/env bash
# Every relative link and picture of the README and of docs/ leads somewhere: the file exists,
# and a #fragment names a heading of that page (as the heading's anchor is made on a code
# hosting site: lower case, punctuation dropped, blanks as hyphens).
# Usage: check-doc-links.sh SOURCE_DIR
set -uo pipefail
cd "$1" || exit 2

anchors() { # the anchors of a Markdown page's headings, one a line
    grep -E '^#{1,6} ' "$1" | sed -E 's/^#+ +//' | tr '[:upper:]' '[:lower:]' |
        sed -E 's/[^a-z0-9 _-]//g; s/ /-/g'
}

status=0
while IFS= read -r page; do
    dir=$(dirname "$page")
    # Links outside code: lines indented by four blanks and fenced blocks are code.
    links=$(awk '/^```/ { code = !code; next } !code && !/^    / { print }' "$page" |
        grep -oE '\]\([^) ]+\)' | sed -E 's/^\]\(//; s/\)$//')
    for link in $links; do
        case "$link" in
        http://* | https://* | mailto:*) continue ;;
        esac
        target=${link%%#*}
        fragment=
        [[ "$link" == *"#"* ]] && fragment=${link#*#}
        file=$page
        if [ -n "$target" ]; then
            file=$dir/$target
            if [ ! -e "$file" ]; then
                echo "$page: $link: no such file"
                status=1
                continue
            fi
        fi
        if [ -n "$fragment" ] && [[ "$file" == *.md ]] && ! anchors "$file" | grep -qxF "$fragment"; then
            echo "$page: $link: no such heading"
            status=1
        fi
    done
done < <(find README.md docs -name '*.md' | sort)

[ "$status" -eq 0 ] && echo "every link of the README and docs/ leads somewhere"
exit "$status"
