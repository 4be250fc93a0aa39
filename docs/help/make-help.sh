#!/bin/sh
# Makes the help document from its groff -ms source:
#   sh docs/help/make-help.sh VERSION OUTPUT.pdf
# The screenshots (images/*.png) become EPS with netpbm, groff lays the
# guide out as PostScript, and Ghostscript's ps2pdf turns that into PDF with
# its fonts embedded and the screenshots compressed without loss (JPEG would
# blur their text). groff runs twice: the first pass reports the page of
# every heading, which the second pass prints as the contents on page 1.
set -e
version="$1"
output="$2"
if [ -z "$version" ] || [ -z "$output" ]; then
  echo "usage: make-help.sh VERSION OUTPUT.pdf" >&2
  exit 2
fi
source_dir=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/aerovane-help.XXXXXX")
trap 'rm -rf "$work"' EXIT

for png in "$source_dir"/images/*.png; do
  [ -f "$png" ] || continue
  name=$(basename "$png" .png)
  pngtopnm "$png" | pnmtops -noturn -nocenter -equalpixels -level 3 -psfilter -flate -ascii85 \
    -nosetpage >"$work/$name.eps" 2>/dev/null
done

# -t: tables; -mpdfmark: bookmarks and document properties for ps2pdf;
# -ww: every warning, so a typo in a request shows in the build log.
layout() {
  groff -ms -mpdfmark -t -Tps -ww -dpaper=a4 -P-pa4 -I"$work" \
    -dversion="$version" -dcontents="$work/contents.ms" \
    "$source_dir/aerovane_help.ms" >"$work/guide.ps" 2>"$work/messages"
  # Headings report themselves as "CONTENTS<TAB>level<TAB>page<TAB>number
  # <TAB>title". Anything else is a warning or an error (a missing picture,
  # a mistyped request), and the document is not made.
  if grep -v '^CONTENTS	' "$work/messages" >&2; then
    echo "make-help.sh: groff reported the problems above" >&2
    exit 1
  fi
}

: >"$work/contents.ms"
layout
awk -F '\t' '$1 == "CONTENTS" { printf ".CONTENTS-LINE %s %s %s \"%s\"\n", $2, $3, $4, $5 }' \
  "$work/messages" >"$work/contents.ms"
layout

ps2pdf -dPDFSETTINGS=/prepress -dEmbedAllFonts=true -dSubsetFonts=true \
  -dAutoFilterColorImages=false -dColorImageFilter=/FlateEncode -dDownsampleColorImages=false \
  -sPAPERSIZE=a4 "$work/guide.ps" "$work/guide.pdf"
mv "$work/guide.pdf" "$output"
