#!/bin/sh
# Packs the release zip: one folder holding aerovane.exe (without its debug
# information), the help document beside it, where the help button looks
# for it, and README.txt with Windows line endings.
#   make-release.sh ZIP FOLDER VERSION STRIP EXE HELP.pdf README.txt
# Called by the Windows build's "release" target (cmake/Release.cmake).
set -e
zip="$1" folder="$2" version="$3" strip="$4" exe="$5" help="$6" readme="$7"
stage=$(mktemp -d "${TMPDIR:-/tmp}/aerovane-release.XXXXXX")
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$folder"
"$strip" -o "$stage/$folder/aerovane.exe" "$exe"
cp "$help" "$stage/$folder/Aerovane_help.pdf"
sed -e "s/@VERSION@/$version/g" -e 's/\r$//' -e 's/$/\r/' "$readme" >"$stage/$folder/README.txt"
# The files carry the date of the program they ship with, so two packs of
# the same build hold the same bytes.
touch -r "$exe" "$stage/$folder" "$stage/$folder"/*
rm -f "$zip.tmp"
(cd "$stage" && zip -q -X -r -9 "$zip.tmp" "$folder")
mv "$zip.tmp" "$zip"
