#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that every file says under which licence it is and whose it is:
# `reuse lint` over the checkout (the licence texts in LICENSES/, each file's
# SPDX-License-Identifier line or its entry in .reuse/dep5), and that no
# source, script or build file lacks the line (tools/spdx_headers.sh adds it).
# Exits 77 (skipped) when reuse is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v reuse >/dev/null; then
    echo "skipped: reuse is missing (scripts/install-deps.sh test installs it)"
    exit 77
fi
status=0
reuse lint || status=1
tools/spdx_headers.sh --check || status=1
exit $status
