#!/usr/bin/env bash
# Regenerates the code tables into a scratch file and fails when the
# committed copy differs. Exits 77 (skipped) when the mapping file or
# python3 is not at hand.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
mapping="$root/../shared/data/CP932.TXT"
scratch="${1:?usage: $0 SCRATCH_FILE}"
if [ ! -f "$mapping" ] || ! command -v python3 >/dev/null; then
    echo "skipped: $mapping or python3 is missing"
    exit 77
fi
python3 "$root/tools/gen_sjis_tables.py" --mapping "$mapping" --output "$scratch"
diff -u "$root/codec/generated/sjis_tables.cpp" "$scratch"
echo "codec/generated/sjis_tables.cpp is what tools/gen_sjis_tables.py makes of $mapping"
