#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package as the package preset does and checks it, one
# check per call so that each is a test of its own:
#   check-package.sh build SCRATCH SOURCE_DIR  builds SOURCE_DIR's package
#                                              tree in SCRATCH/tree, cpack into
#                                              SCRATCH, unpacked into SCRATCH/root
#   check-package.sh reproducible SCRATCH SOURCE_DIR
#                                              builds the package once more from
#                                              a copy of SOURCE_DIR in another
#                                              folder (SCRATCH-again), from
#                                              scratch, and compares the two
#   check-package.sh lintian SCRATCH           lintian finds no error
#   check-package.sh desktop_entry SCRATCH     desktop-file-validate finds no error
#   check-package.sh appstream SCRATCH         appstreamcli validate --no-net passes,
#                                              and so does validate-tree
#   check-package.sh icons SCRATCH             every icon is the size its folder names
#   check-package.sh version SCRATCH VERSION   the package, its changelog and the
#                                              unpacked postori-capture --version
#                                              all say VERSION (and --version
#                                              the licence)
# Exits 77 (skipped) when a tool it needs is missing.
set -euo pipefail
what="${1:?usage: $0 build|reproducible|lintian|desktop_entry|appstream|icons|version SCRATCH [BUILD_DIR|VERSION]}"
scratch="${2:?usage: $0 $what SCRATCH ...}"
root="$scratch/root"

need() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "skipped: $tool is missing (scripts/install-deps.sh test installs it)"
            exit 77
        fi
    done
}

# The one package in the scratch folder.
package() {
    local found=("$scratch"/postori_*.deb)
    if [ ${#found[@]} -ne 1 ] || [ ! -f "${found[0]}" ]; then
        echo "expected one postori_*.deb in $scratch, found: ${found[*]}" >&2
        exit 1
    fi
    echo "${found[0]}"
}

# Configures and builds SOURCE's package tree in TREE with the package
# preset (warnings are errors, as in the rest of the suite) and makes the
# package in OUT.
build_package() {
    local source="$1" tree="$2" out="$3"
    (cd "$source" && cmake --preset package -B "$tree" -DPOSTORI_WERROR=ON >/dev/null)
    cmake --build "$tree" -j "$(nproc)"
    rm -rf "$out/_CPack_Packages" "$out"/postori_*.deb
    cpack --config "$tree/CPackConfig.cmake" -B "$out"
}

# Says which members of two packages differ, and within data.tar which files.
show_differences() {
    local first="$1" second="$2" where
    where="$(mktemp -d)"
    mkdir -p "$where/1" "$where/2"
    (cd "$where/1" && ar x "$first" && mkdir root && tar -xf data.tar.* -C root)
    (cd "$where/2" && ar x "$second" && mkdir root && tar -xf data.tar.* -C root)
    for member in "$where"/1/*; do
        [ -f "$member" ] || continue
        cmp -s "$member" "$where/2/$(basename "$member")" || echo "differs: $(basename "$member")"
    done
    diff <(ar tv "$first") <(ar tv "$second") || true
    diff <(tar -tvf "$where"/1/data.tar.*) <(tar -tvf "$where"/2/data.tar.*) || true
    diff -r "$where/1/root" "$where/2/root" || true
    if command -v diffoscope >/dev/null; then
        diffoscope "$first" "$second" || true
    fi
    rm -rf "$where"
}

case "$what" in
build)
    source="${3:?usage: $0 build SCRATCH SOURCE_DIR}"
    need cmake cpack ninja dpkg-deb dpkg-shlibdeps dpkg-buildflags file
    # The tree stays between runs (an unchanged tree builds in seconds);
    # the package and what was unpacked go.
    mkdir -p "$scratch"
    rm -rf "$root"
    build_package "$source" "$scratch/tree" "$scratch"
    deb="$(package)"
    dpkg-deb --info "$deb"
    dpkg-deb --contents "$deb"
    dpkg-deb -x "$deb" "$root"
    ;;
reproducible)
    source="${3:?usage: $0 reproducible SCRATCH SOURCE_DIR}"
    need cmake cpack ninja dpkg-deb dpkg-shlibdeps dpkg-buildflags git cmp ar
    first="$(package)"
    again="$scratch-again"
    rm -rf "$again"
    mkdir -p "$again/sources"
    # The same files in another folder: what git tracks, as they are now,
    # and new files it would track.
    git -C "$source" ls-files -z --cached --others --exclude-standard |
        (cd "$source" && tar --null -T - -cf -) | tar -xf - -C "$again/sources"
    # The copy has no git history; the time stamps come from the same commit.
    SOURCE_DATE_EPOCH="$(git -C "$source" log -1 --format=%ct)"
    export SOURCE_DATE_EPOCH
    build_package "$again/sources" "$again/tree" "$again" >"$again/build.log" 2>&1 ||
        { cat "$again/build.log"; exit 1; }
    second="$(scratch="$again" package)"
    if cmp "$first" "$second"; then
        echo "reproducible: $(basename "$first") is the same from $source and $again/sources ($(sha256sum <"$first" | cut -c1-16)...)"
        rm -rf "$again"
    else
        show_differences "$first" "$second"
        exit 1
    fi
    ;;
lintian)
    need lintian
    # Any tag fails, down to pedantic ones (overrides say why they are not fixed).
    lintian --fail-on error,warning,info,pedantic --display-level '>=pedantic' "$(package)"
    ;;
desktop_entry)
    need desktop-file-validate
    desktop-file-validate "$root"/usr/share/applications/*.desktop
    ;;
appstream)
    need appstreamcli
    appstreamcli validate --no-net --explain "$root"/usr/share/metainfo/*.metainfo.xml
    # The metadata with the desktop entry and the icons it names.
    appstreamcli validate-tree --no-net --explain "$root"
    ;;
icons)
    need file
    status=0
    count=0
    for icon in "$root"/usr/share/icons/hicolor/*/apps/*.png; do
        size="$(basename "$(dirname "$(dirname "$icon")")")"
        if file "$icon" | grep -q "PNG image data, ${size/x/ x }"; then
            echo "$size: ${icon#"$root"}"
        else
            echo "not $size: $(file "$icon")"
            status=1
        fi
        count=$((count + 1))
    done
    [ "$count" -eq 6 ] || { echo "expected 6 sizes of the icon, found $count"; status=1; }
    exit $status
    ;;
version)
    version="${3:?usage: $0 version SCRATCH VERSION}"
    need dpkg-deb
    status=0
    expect() {
        if [ "$2" = "$3" ]; then
            echo "$1: $2"
        else
            echo "$1: '$2', expected '$3'"
            status=1
        fi
    }
    expect "package version" "$(dpkg-deb -f "$(package)" Version)" "$version"
    expect "changelog" "$(zcat "$root/usr/share/doc/postori/changelog.gz" | head -n 1)" \
        "postori ($version) unstable; urgency=medium"
    expect "postori-capture --version" "$("$root/usr/bin/postori-capture" --version | head -n 1)" \
        "postori-capture (Postori) $version"
    expect "its licence" "$("$root/usr/bin/postori-capture" --version | grep -c '^License GPL-3.0-or-later')" 1
    exit $status
    ;;
*)
    echo "unknown check: $what" >&2
    exit 2
    ;;
esac
