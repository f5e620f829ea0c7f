#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: first the
# naming check (scripts/check_naming.sh), then the sanitizer build and the fuzz
# targets (scripts/hardening.sh), then the suite of the ordinary build, whose
# ctest summary closes the output.
# Needs no display, no sound device and no network.
set -euo pipefail
cd "$(dirname "$0")"

scripts/setup.sh
scripts/check_naming.sh
scripts/check_translations.sh
scripts/hardening.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --no-tests=error -j "$(nproc)"
