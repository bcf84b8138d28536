#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every fuzz target (or the ones named) for SECONDS each, one after the
# other, on a scratch copy of its seed corpus, and prints a table of what each
# run did: executions, executions per second, coverage (libFuzzer's final cov
# and ft), corpus entries at the end, findings (crash, leak, timeout and
# out-of-memory files) and the exit status. Not part of the suite: a long run
# to see whether the targets reach depth.
#
#   scripts/fuzz-long.sh SECONDS [TARGET...]     e.g. scripts/fuzz-long.sh 300
#                                                     scripts/fuzz-long.sh 60 form_body
#
# Builds the fuzz preset first, unless FUZZ_BIN_DIR names a directory of
# fuzz target programs to run instead (another build, an older one to compare
# with). The scratch directory (corpora, logs and findings) is kept when
# something was found, else removed; its path is printed either way.
# FUZZ_ARGS adds libFuzzer options to every run.
set -euo pipefail
bin_dir=${FUZZ_BIN_DIR:+$(realpath "$FUZZ_BIN_DIR")}
cd "$(dirname "$0")/.."

if [[ $# -lt 1 || ! "$1" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 SECONDS [TARGET...]" >&2
    exit 2
fi
seconds=$1
shift

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
    for source in fuzz/*_fuzz.cpp; do
        name=$(basename "$source" .cpp)
        targets+=("${name%_fuzz}")
    done
fi

if [[ -z $bin_dir ]]; then
    cmake --preset fuzz >/dev/null
    cmake --build --preset fuzz >/dev/null
    bin_dir=build/fuzz/fuzz
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/postori-fuzz-long.XXXXXX")
echo "scratch: $scratch"
echo "each target: ${seconds} s"

# Reads a "stat::NAME: value" line of libFuzzer's final statistics.
final_stat() {
    sed -n "s/^stat::$1: *//p" "$2" | tail -n 1
}

rows=()
found_any=0
for area in "${targets[@]}"; do
    area=${area%_fuzz}
    binary=$bin_dir/${area}_fuzz
    if [[ ! -x $binary ]]; then
        echo "no fuzz target $area ($binary)" >&2
        exit 2
    fi
    work=$scratch/$area
    mkdir -p "$work/corpus" "$work/findings"
    cp -r "fuzz/corpus/$area/." "$work/corpus/" 2>/dev/null || true
    seeds=$(find "$work/corpus" -type f | wc -l)
    log=$work/log.txt
    echo "$(date +%T) $area ..."
    status=0
    # shellcheck disable=SC2086 # FUZZ_ARGS is a list of options
    "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$work/findings/" ${FUZZ_ARGS:-} "$work/corpus" >"$log" 2>&1 || status=$?

    execs=$(final_stat number_of_executed_units "$log")
    rate=$(final_stat average_exec_per_sec "$log")
    # The last status line carries the coverage at the end.
    last=$(grep -E '^#[0-9]+.*cov: [0-9]+' "$log" | tail -n 1 || true)
    cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$last")
    corpus=$(find "$work/corpus" -type f | wc -l)
    findings=$(find "$work/findings" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
        -o -name 'oom-*' \) | wc -l)
    if [[ $findings -gt 0 || $status -ne 0 ]]; then
        found_any=1
    fi
    rows+=("$(printf '%-18s %12s %8s %6s %7s %13s %8s %5s' "$area" "${execs:-?}" "${rate:-?}" "${cov:-?}" \
        "${ft:-?}" "$seeds -> $corpus" "$findings" "$status")")
done

echo
printf '%-18s %12s %8s %6s %7s %13s %8s %5s\n' target executions exec/s cov ft corpus findings exit
for row in "${rows[@]}"; do
    echo "$row"
done

if [[ $found_any -eq 0 ]]; then
    rm -rf "$scratch"
    echo "nothing found (scratch removed)"
else
    echo "findings and logs kept in $scratch"
    find "$scratch" -path '*/findings/*' -type f
    exit 1
fi
