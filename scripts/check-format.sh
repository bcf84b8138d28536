#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a C++ source of the project differs from what .clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
# Generated code is left as its generator writes it.
find app bench capture codec fuzz packaging tests tools -path codec/generated -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 2>/dev/null |
    xargs -0 -r clang-format --dry-run -Werror
