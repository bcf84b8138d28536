#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds every variant of the suite and runs all of
# it as one CTest run: the unit tests optimised (with the benchmarks built and
# smoke-run) and under AddressSanitizer + UndefinedBehaviorSanitizer, the
# threaded tests under ThreadSanitizer, and every fuzz target for a short
# while on its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

presets=(release dev tsan fuzz)
for preset in "${presets[@]}"; do
    cmake --preset "$preset" -DPOSTORI_WERROR=ON -DPOSTORI_TEST_PREFIX="$preset:" >/dev/null
    cmake --build --preset "$preset"
done

# One CTest project over all build trees, so the run ends with one summary.
mkdir -p build/suite
{
    echo "# Written by scripts/test.sh: every build tree of the suite."
    for preset in "${presets[@]}"; do
        echo "subdirs(\"$PWD/build/$preset\")"
    done
} >build/suite/CTestTestfile.cmake

exec ctest --test-dir build/suite --output-on-failure --timeout 900 -j "$(nproc)"
