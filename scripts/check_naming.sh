#!/usr/bin/env bash
# Checks the naming convention of .clang-tidy over every C++ file of the tree:
# the game, the build's picture tool, the tests, the benchmarks and the fuzz targets.
#
#   scripts/check_naming.sh [--fix]
#
# It configures a build folder of its own, build-lint/, with every optional part
# switched on (the fuzz targets want clang), for its list of files and their
# flags; nothing is compiled. --fix renames what it can in place.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
lint_dir="$root/build-lint"

fix=()
if [ "${1:-}" = --fix ]; then fix=(-fix); fi

# The Debian package that brings a system header the tree includes.
header_package() {
  case "$1" in
    valgrind/*) echo "the valgrind package" ;;
    benchmark/*) echo "the libbenchmark-dev package" ;;
    xdo.h) echo "the libxdo-dev package" ;;
    gtest/*) echo "the libgtest-dev package" ;;
    gmock/*) echo "the libgmock-dev package" ;;
    pulse/*) echo "the libpulse-dev package" ;;
    Q* | qt*) echo "the qt6-base-dev package" ;;
    *) echo "a package that 'apt-file search $1' names" ;;
  esac
}

mkdir -p "$lint_dir"
cmake -S "$root" -B "$lint_dir" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_COMPILER=clang -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DQUILLET_BUILD_TESTS=ON -DQUILLET_BUILD_BENCH=ON -DQUILLET_FUZZ=ON >"$lint_dir/configure.log" 2>&1 ||
  { cat "$lint_dir/configure.log" >&2; echo "naming check: configure failed" >&2; exit 1; }

# The project's own C++ files; decode_counter.c is left out, as the functions it
# stands in for carry the library's names.
folders='game|scores|sound|ui|assets|tests|bench|fuzz'
status=0
run-clang-tidy -p "$lint_dir" -j "$(nproc)" -quiet "${fix[@]}" \
  -header-filter="^$root/($folders)/" "^$root/(($folders)/.*|main)\\.cpp\$" \
  >"$lint_dir/naming.log" 2>&1 || status=$?

# A file that does not compile has its names unread: that is a missing package
# or a broken file, never a naming fault, and is said as such.
if grep -q '\[clang-diagnostic-error\]' "$lint_dir/naming.log"; then
  grep -E 'error: .*\[clang-diagnostic-error\]' "$lint_dir/naming.log" | sort -u |
    while IFS= read -r line; do
      echo "$line" >&2
      header=$(sed -n "s/.* error: '\([^']*\)' file not found .*/\1/p" <<<"$line")
      if [ -n "$header" ]; then
        echo "  $header is missing; it comes with $(header_package "$header")" >&2
      fi
    done
  echo "naming check: the files above do not compile, so their names were not checked;" \
    "install what they include (scripts/setup.sh lists the packages)" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then
  grep -E 'error:|warning:' "$lint_dir/naming.log" | sort -u >&2 || cat "$lint_dir/naming.log" >&2
  echo "naming check: names above break the convention in .clang-tidy" >&2
  exit 1
fi
echo "naming check: every name follows the convention"
