#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Puts the licence line above, the one of this script, at the top of every
# source, script and build file that names no licence yet, in the comment
# syntax of its kind (after a #! line or an XML declaration). The copyright
# of every file is in .reuse/dep5; generated tables, data, pictures and
# documents are covered there and left alone.
# Running it again changes nothing.
#
#   tools/spdx_headers.sh           add the line where it is missing
#   tools/spdx_headers.sh --check   only list the files without it (exit 1 if any)
#
# The files are those git knows of, tracked or new (not ignored).
set -euo pipefail
cd "$(dirname "$0")/.."

# Spelt in two pieces so that licence scanners do not take this script's
# strings for its own licence line (which is the one above).
readonly TAG='SPDX-License-''Identifier:'
readonly LINE="$TAG GPL-3.0-or-later"
check=false
case "${1:-}" in
--check) check=true ;;
"") ;;
*)
    echo "usage: $0 [--check]" >&2
    exit 2
    ;;
esac

# Covered by .reuse/dep5 or exempt (licence texts): no header of their own.
exempt() {
    case "$1" in
    LICENSE | NOTICE | README.md | LICENSES/* | .reuse/*) return 0 ;;
    codec/generated/* | codec/data/* | bench/data/* | fuzz/corpus/* | docs/*) return 0 ;;
    packaging/changelog | packaging/copyright | CMakePresets.json | .ci/run) return 0 ;;
    *.png | *.json | *.tsv) return 0 ;;
    esac
    return 1
}

# The comment that carries the line in FILE, or nothing for a kind this
# script does not know.
comment_for() {
    case "$1" in
    *.cpp | *.h) echo "// $LINE" ;;
    *.py | *.sh | *.cmake | CMakeLists.txt | */CMakeLists.txt | *.desktop | .clang-format | .gitignore | \
        packaging/lintian-overrides) echo "# $LINE" ;;
    *.[1-8]) echo ".\\\" $LINE" ;;
    *.xml | *.xml.in) echo "<!-- $LINE -->" ;;
    *)
        if head -n 1 "$1" | grep -q '^#!'; then
            echo "# $LINE"
        fi
        ;;
    esac
}

missing=()
unknown=()
while IFS= read -r -d '' file; do
    [ -f "$file" ] || continue
    exempt "$file" && continue
    head -n 5 "$file" | grep -qF "$TAG" && continue
    comment="$(comment_for "$file")"
    if [ -z "$comment" ]; then
        unknown+=("$file")
        continue
    fi
    missing+=("$file")
    $check && continue
    first="$(head -n 1 "$file")"
    case "$first" in
    '#!'* | '<?xml'*)
        # After the interpreter line or the XML declaration.
        { printf '%s\n%s\n' "$first" "$comment"; tail -n +2 "$file"; } >"$file.spdx-new"
        ;;
    *)
        { printf '%s\n' "$comment"; cat "$file"; } >"$file.spdx-new"
        ;;
    esac
    chmod --reference="$file" "$file.spdx-new"
    mv "$file.spdx-new" "$file"
done < <(git ls-files -z --cached --others --exclude-standard)

status=0
if [ ${#unknown[@]} -gt 0 ]; then
    echo "no comment syntax known for these files (add them to tools/spdx_headers.sh or .reuse/dep5):" >&2
    printf '  %s\n' "${unknown[@]}" >&2
    status=1
fi
if [ ${#missing[@]} -gt 0 ]; then
    if $check; then
        echo "without the line '$LINE' (run tools/spdx_headers.sh):"
        status=1
    else
        echo "added '$LINE' to:"
    fi
    printf '  %s\n' "${missing[@]}"
fi
exit $status
