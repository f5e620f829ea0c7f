#!/usr/bin/env bash
# The translation check, run by test.sh: fails when a text of the code is
# missing from a translation file or a file keeps a text the code no longer
# has (lupdate would change the file), or when an entry is unfinished.
#
# quillet_en.ts holds only English plural forms (lupdate -pluralonly); every
# other quillet_<lang>.ts holds the whole game.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
lupdate=/usr/lib/qt6/bin/lupdate
[ -x "$lupdate" ] || lupdate=$(command -v lupdate)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The same call that a translator makes (see the README).
update() {
  local ts=$1 language
  language=$(basename "$ts" .ts)
  language=${language#quillet_}
  local extra=()
  [ "$language" = en ] && extra=(-pluralonly)
  "$lupdate" -silent -locations none -no-obsolete -I . "${extra[@]}" -source-language en \
    -target-language "$language" ui main.cpp -ts "$ts"
}

failed=0
for ts in translations/quillet_*.ts; do
  cp "$ts" "$scratch/"
  update "$scratch/$(basename "$ts")"
  if ! diff -q "$ts" "$scratch/$(basename "$ts")" >/dev/null; then
    echo "translations: $ts is out of date with the code; run lupdate as the README says:" >&2
    diff -u "$ts" "$scratch/$(basename "$ts")" | sed -n '3,20p' >&2
    failed=1
  fi
  unfinished=$(grep -c 'type="unfinished"' "$ts" || true)
  if [ "$unfinished" -ne 0 ]; then
    echo "translations: $ts has $unfinished unfinished entries" >&2
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "translations: every text is translated and every file is up to date"
exit "$failed"
