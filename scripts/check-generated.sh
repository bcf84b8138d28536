#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the generators' own tests (tests/tools), then regenerates the generated
# sources into scratch files and fails when a committed copy differs:
#   codec/generated/sjis_tables.cpp    from the mapping file;
#   codec/data/weights.tsv             from the corpus and the name, place and
#                                      organization lists (when they are at
#                                      hand);
#   codec/generated/weight_tables.cpp  from the committed weights.tsv and the
#                                      mapping file;
#   bench/data/form-values.tsv         from the same lists and the corpus (when
#                                      they are at hand).
# The scratch files go next to SCRATCH_FILE (the code tables into it).
# Exits 77 (skipped) when the mapping file or python3 is not at hand.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
mapping="$root/../shared/data/CP932.TXT"
corpus="$root/../shared/data/corpus"
forms="$root/../shared/data/forms"
scratch="${1:?usage: $0 SCRATCH_FILE}"
scratch_dir="$(dirname "$scratch")"
mkdir -p "$scratch_dir"
if [ ! -f "$mapping" ] || ! command -v python3 >/dev/null; then
    echo "skipped: $mapping or python3 is missing"
    exit 77
fi
status=0
export PYTHONDONTWRITEBYTECODE=1  # leave no bytecode in the source tree

python3 -m unittest discover -s "$root/tests/tools" -p '*_test.py' || status=1

# compare COMMITTED SCRATCH WHAT: diff the committed copy against its
# regenerated scratch copy.
compare() {
    if diff -u "$root/$1" "$2"; then
        echo "$1 is what $3"
    else
        echo "$1 differs from what $3"
        status=1
    fi
}

python3 "$root/tools/gen_sjis_tables.py" --mapping "$mapping" --output "$scratch"
compare codec/generated/sjis_tables.cpp "$scratch" "tools/gen_sjis_tables.py makes of $mapping"

have_forms=false
if [ -f "$forms/names.tsv" ] && [ -f "$forms/places.tsv" ] && [ -f "$forms/organizations.tsv" ] &&
    compgen -G "$corpus/*.txt" >/dev/null; then
    have_forms=true
fi
if $have_forms; then
    python3 "$root/tools/gen_weights.py" --list --corpus "$corpus" --forms "$forms" --mapping "$mapping" \
        --output "$scratch_dir/weights.regenerated.tsv"
    compare codec/data/weights.tsv "$scratch_dir/weights.regenerated.tsv" \
        "tools/gen_weights.py --list makes of $corpus and $forms"
else
    echo "not checked: codec/data/weights.tsv ($corpus or $forms is missing)"
fi

if $have_forms; then
    python3 "$root/tools/gen_form_values.py" --forms "$forms" --corpus "$corpus" \
        --output "$scratch_dir/form-values.regenerated.tsv"
    compare bench/data/form-values.tsv "$scratch_dir/form-values.regenerated.tsv" \
        "tools/gen_form_values.py makes of $forms and $corpus"
else
    echo "not checked: bench/data/form-values.tsv ($corpus or $forms is missing)"
fi

python3 "$root/tools/gen_weights.py" --tables --weights "$root/codec/data/weights.tsv" --mapping "$mapping" \
    --output "$scratch_dir/weight_tables.regenerated.cpp"
compare codec/generated/weight_tables.cpp "$scratch_dir/weight_tables.regenerated.cpp" \
    "tools/gen_weights.py --tables makes of codec/data/weights.tsv"
exit $status
