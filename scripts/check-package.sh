#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks it, one check per
# call so that each is a test of its own:
#   check-package.sh build SCRATCH BUILD_DIR   cpack into SCRATCH (emptied
#                                              first), unpacked into SCRATCH/root
#   check-package.sh lintian SCRATCH           lintian finds no error
#   check-package.sh desktop_entry SCRATCH     desktop-file-validate finds no error
#   check-package.sh appstream SCRATCH         appstreamcli validate --no-net passes,
#                                              and so does validate-tree
#   check-package.sh icons SCRATCH             every icon is the size its folder names
#   check-package.sh version SCRATCH VERSION   the package, its changelog and the
#                                              unpacked postori-capture --version
#                                              all say VERSION
# Exits 77 (skipped) when a tool it needs is missing.
set -euo pipefail
what="${1:?usage: $0 build|lintian|desktop_entry|appstream|icons|version SCRATCH [BUILD_DIR|VERSION]}"
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

case "$what" in
build)
    build_dir="${3:?usage: $0 build SCRATCH BUILD_DIR}"
    need cpack dpkg-deb dpkg-shlibdeps file
    rm -rf "$scratch"
    mkdir -p "$scratch"
    cpack --config "$build_dir/CPackConfig.cmake" -B "$scratch"
    deb="$(package)"
    dpkg-deb --info "$deb"
    dpkg-deb --contents "$deb"
    dpkg-deb -x "$deb" "$root"
    ;;
lintian)
    need lintian
    # Errors fail; warnings and notes are shown.
    lintian --fail-on error --display-level '>=pedantic' "$(package)"
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
    expect "postori-capture --version" "$("$root/usr/bin/postori-capture" --version)" \
        "postori-capture (Postori) $version"
    exit $status
    ;;
*)
    echo "unknown check: $what" >&2
    exit 2
    ;;
esac
