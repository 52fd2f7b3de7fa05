#!/usr/bin/env bash
# Do the printer application's PDF pages look as Ghostscript draws them? Each
# benchmark document is printed through the app to a file:// printer; the
# stream's first and last pages (decoded by pclinspect) are compared with
# Ghostscript's own png16m rendering at the same resolution and paper
# (bench/pagediff). A page matches when the mean difference is under 1 (of
# 255) and under 0.05% of its pixels differ by more than 64: shifted or
# missing content shows as many such pixels, a shading filled in steps of
# one colour as small differences spread over it.
#
#   bench/render-match.sh [--quick]
#
# Environment: BUILD_DIR (default <repo>/build-bench; the documents of
# bench/app-e2e.sh are made there when missing).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD_DIR:-$ROOT/build-bench}
TEXT_PAGES=20 PHOTO_PAGES=10 OFFICE_PAGES=10
[ "${1:-}" != --quick ] || { TEXT_PAGES=4; PHOTO_PAGES=2; OFFICE_PAGES=2; }

cmake --build "$BUILD" -j2 --target corvane-printer-app pclinspect pagediff >/dev/null
DOCS=$BUILD/bench/app-docs
[ -f "$DOCS/office$OFFICE_PAGES.pdf" ] && [ -f "$DOCS/photo$PHOTO_PAGES.pdf" ] && [ -f "$DOCS/text$TEXT_PAGES.pdf" ] ||
  python3 "$ROOT/bench/make-app-docs.py" "$DOCS" "$TEXT_PAGES" "$PHOTO_PAGES" "$OFFICE_PAGES"

# shellcheck source=../tests/app/app-lib.sh
source "$ROOT/tests/app/app-lib.sh"
app_start "$BUILD"
trap 'app_stop' EXIT
work=$APP_DIR
app_add_printer match "file://$work/out?ext=pcl"

mapfile -t letter < <("$BUILD/bench/appbench" gs-command X | sed '1,3d;/^-f$/,$d')
failed=0
echo "Pages through the app against Ghostscript's png16m device (600 dpi, Letter):"
for doc in "$ROOT/samples/sample.pdf" "$DOCS/text$TEXT_PAGES.pdf" "$DOCS/photo$PHOTO_PAGES.pdf" \
           "$DOCS/office$OFFICE_PAGES.pdf"; do
  name=$(basename "$doc" .pdf)
  id=$(app_submit match "$doc" -t "$name" -o media=na_letter_8.5x11in)
  app_expect_job match "$id" completed 120
  last=$("$PCLINSPECT" "$work/out/$name.pcl" | grep -c "raster 5100 x 6600 pixels")
  for page in 1 "$last"; do
    "$PCLINSPECT" --png "$work/app" --page "$page" "$work/out/$name.pcl" >/dev/null
    gs -q -sDEVICE=png16m "${letter[@]}" -dFirstPage="$page" -dLastPage="$page" \
      -sOutputFile="$work/gs.png" "$doc" 2>/dev/null
    result=$("$BUILD/bench/pagediff" "$work/app-page$page.png" "$work/gs.png") || result="cannot compare"
    verdict=$(awk '{ print ($2 < 1 && $8 + 0 < 0.05) ? "MATCHES" : "DIFFERS" }' <<<"$result")
    [ "$verdict" = MATCHES ] || failed=1
    printf '%-8s page %-2s %s  %s\n' "$name" "$page" "$result" "$verdict"
    rm -f "$work/app-page$page.png" "$work/gs.png"
  done
done
exit $failed
