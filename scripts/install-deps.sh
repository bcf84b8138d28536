#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Postori needs and that are missing.
#   install-deps.sh run    what building and starting the program needs
#   install-deps.sh test   that, plus what the whole test suite needs
#   install-deps.sh screenshot  that, plus what tools/screenshot.sh needs
# Quick when everything is there: the package lists are only updated, once,
# when something has to be installed.
set -euo pipefail

run_packages=(build-essential cmake ninja-build qt6-base-dev qt6-qpa-plugins qt6-translations-l10n fonts-ipafont-gothic)
test_packages=(clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev libbenchmark-dev libicu-dev clang-format python3 chromium firefox-esr
    dpkg-dev file lintian desktop-file-utils appstream reuse)

case "${1:-}" in
run) wanted=("${run_packages[@]}") ;;
test) wanted=("${run_packages[@]}" "${test_packages[@]}") ;;
screenshot) wanted=("${run_packages[@]}" xvfb xauth xdotool imagemagick curl x11-xserver-utils x11-utils openbox) ;;
*)
    echo "usage: $0 run|test|screenshot" >&2
    exit 2
    ;;
esac

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "installing ${missing[*]} needs root or sudo" >&2; exit 1; }
    sudo=(sudo)
fi
echo "installing: ${missing[*]}"
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
