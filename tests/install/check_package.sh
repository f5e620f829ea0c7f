#!/usr/bin/env bash
# Makes the Debian package from a finished build, into a temporary folder, and
# checks its name, its control fields and its files, then runs lintian on it:
#
#   check_package.sh BUILD_DIR SOURCE_DIR
#
# Needs cpack (cmake), dpkg-deb, dpkg-shlibdeps (dpkg-dev), readelf (binutils) and
# lintian.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SOURCE_DIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)

if ! (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") \
    >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack did not make the package" >&2
    exit 1
fi

deb=$work/out/quillet_${version}_${arch}.deb
if [ ! -f "$deb" ]; then
    ls -l "$work/out" >&2
    echo "FAIL: no package named quillet_${version}_${arch}.deb" >&2
    exit 1
fi

field() {
    dpkg-deb -f "$deb" "$1"
}

expect_field() {
    local found
    found=$(field "$1")
    [ "$found" = "$2" ] || fail "$1 is '$found', not '$2'"
}

expect_field Package quillet
expect_field Version "$version"
expect_field Architecture "$arch"
expect_field Section games
expect_field Priority optional
expect_field Homepage https://github.com/quillet/quillet
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] ||
    fail "Maintainer '$(field Maintainer)' is not a name with an address"

# The summary, then a long description: indented lines, paragraphs split by " .".
field Description >"$work/description"
[ "$(head -n 1 "$work/description")" = "falling-piece puzzle game with cake slices" ] ||
    fail "the summary is '$(head -n 1 "$work/description")'"
[ "$(wc -l <"$work/description")" -ge 3 ] || fail "the package has no long description"
if awk 'length > 80' "$work/description" | grep . >&2; then
    fail "description lines are longer than 80 characters"
fi

# The package names. Versions and alternatives are dropped: "a (>= 1) | b" gives a.
field Depends | tr ',' '\n' | sed 's/^ *//; s/[ (|].*//' | grep . | sort -u >"$work/depends"
# libpulse0 is the library that the sound player loads at run time. The cues are
# plain wave files: nothing may pull in SDL2 or a music library any more.
# Debian 13 renamed the libraries whose interface holds a time_t (the 64-bit
# time_t transition) by adding "t64": libqt6core6 is libqt6core6t64 there. Either
# name is the same library; dpkg-shlibdeps writes the one the release has.
for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 \
    libpulse0 fonts-ipafont-gothic qt6-translations-l10n; do
    grep -qxF -e "$package" -e "${package}t64" "$work/depends" ||
        fail "Depends lacks $package: $(field Depends)"
done
# The zoom uses Qt's private API: the package holds to the Qt version it was
# built with, as libqt6core6 provides it (qt6-base-abi (= 6.4.2) on Debian 12,
# qt6-base-private-abi (= 6.8.2) on Debian 13).
abi=$(dpkg-query -W -f='${Provides}\n' libqt6core6 libqt6core6t64 2>/dev/null |
    grep -oE 'qt6-base-(private-)?abi \(= [^)]*\)' | head -n 1 || true)
[ -n "$abi" ] || fail "the installed libqt6core6 provides no Qt ABI version"
field Depends | tr ',' '\n' | sed 's/^ *//' | grep -qxF "$abi" ||
    fail "Depends lacks $abi: $(field Depends)"
if grep -E -- '^libsdl2' "$work/depends" >&2; then
    fail "Depends names SDL2, which the game no longer uses"
fi
if grep -E -- '-dev$' "$work/depends" >&2; then
    fail "Depends names development packages"
fi

# The files: exactly those of an install, owned by root, with the usual modes.
dpkg-deb -c "$deb" >"$work/contents"
awk '$1 !~ /^d/ { print $6 }' "$work/contents" | sed 's|^\./||' | LC_ALL=C sort >"$work/files"
if ! diff -u "$here/installed_files.txt" "$work/files" >&2; then
    fail "the package's files differ from installed_files.txt (- expected, + found)"
fi
if awk '$2 != "root/root"' "$work/contents" | grep . >&2; then
    fail "the package holds files not owned by root"
fi
grep -qE '^l[^ ]+ +root/root +0 [^ ]+ [^ ]+ \./usr/games/quillet -> \.\./lib/games/quillet/quillet$' \
    "$work/contents" || fail "usr/games/quillet is not a link to ../lib/games/quillet/quillet"
grep -qE '^-rwxr-xr-x .* \./usr/lib/games/quillet/quillet$' "$work/contents" ||
    fail "usr/lib/games/quillet/quillet is not an executable of mode 755"
if awk '$1 ~ /^-/ && $6 != "./usr/lib/games/quillet/quillet" && $1 != "-rw-r--r--"' \
    "$work/contents" | grep . >&2; then
    fail "data files whose mode is not 644"
fi

# Debian ships programs stripped, the way dh_strip does it: their symbols belong
# in a debug package, and the compiler's .comment section goes too.
dpkg-deb -x "$deb" "$work/unpacked"
if readelf -S "$work/unpacked/usr/lib/games/quillet/quillet" | grep -q '\.symtab'; then
    fail "the packaged program is not stripped"
fi
if readelf -S "$work/unpacked/usr/lib/games/quillet/quillet" | grep -q '\.comment'; then
    fail "the packaged program still has its .comment section"
fi

# The copyright file carries the licence of LICENSE word for word.
copyright=$work/unpacked/usr/share/doc/quillet/copyright
# The licence text is the stand-alone "License: Expat" paragraph, which comes last.
awk '/^License: Expat$/ { text = ""; next } { text = text $0 "\n" } END { printf "%s", text }' \
    "$copyright" | sed 's/^ //; s/^\.$//' >"$work/licence"
sed -n '5,$p' "$source/LICENSE" >"$work/licence.expected"
if ! diff -u "$work/licence.expected" "$work/licence" >&2; then
    fail "the copyright file's licence text differs from LICENSE"
fi
grep -qx 'Copyright: 2026 The Quillet developers' "$copyright" ||
    fail "the copyright file does not name the copyright holders"
grep -qx "Copyright (c) 2026 The Quillet developers" "$source/LICENSE" ||
    fail "LICENSE does not name the copyright holders"

# The newest changelog entry is this version's: lintian does not compare the two.
changelog=$work/unpacked/usr/share/doc/quillet/changelog.gz
if [ -f "$changelog" ]; then
    zcat "$changelog" >"$work/changelog"
    newest=$(dpkg-parsechangelog -l "$work/changelog" -S Version 2>&1) || true
    [ "$newest" = "$version" ] ||
        fail "the changelog's newest entry is '$newest', the package is $version"
fi

# lintian, the way a Debian packager runs it: any error or warning fails, and so
# does an informational hardening tag (the build hardens itself), except in the
# sanitizer build, whose flags replace the hardening and which nobody ships. The
# informational and pedantic tags that stay are listed, each with its reason, in
# packaging/README.md. The suite runs as root in CI, which lintian allows only
# when asked; --no-cfg keeps a local lintianrc from changing what is shown.
lintian_status=0
lintian --allow-root --no-cfg --fail-on error,warning --display-info --tag-display-limit 0 \
    "$deb" >"$work/lintian" 2>&1 || lintian_status=$?
if grep -E '^[EW]: ' "$work/lintian" >&2; then
    fail "lintian reports the errors and warnings above"
elif [ "$(sed -n 's/^QUILLET_SANITIZE:BOOL=//p' "$build/CMakeCache.txt")" != ON ] &&
    grep -E '^I: .* hardening-' "$work/lintian" >&2; then
    fail "the packaged program lacks Debian's hardening (lintian's tags above)"
elif [ "$lintian_status" -ne 0 ]; then
    cat "$work/lintian" >&2
    fail "lintian did not finish (status $lintian_status)"
fi

if [ "$failures" -ne 0 ]; then
    echo "package: $failures check(s) failed" >&2
    exit 1
fi
echo "package: all checks passed ($(basename "$deb"))"
