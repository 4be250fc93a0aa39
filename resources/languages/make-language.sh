#!/bin/sh
# Turns one language source into the resource the program carries.
#
#   make-language.sh SOURCE OUTPUT
#
# SOURCE is UTF-8 with LF lines: the section line "[name]" (name = the file's
# base name) and then l1 to l69, one "key=text" a line, where "\t" stands for
# a tab (the pressure label ends with one, and an invisible trailing tab
# would not survive editors). OUTPUT is what the program writes to its
# temporary INI file unchanged: UTF-16LE with a byte-order mark, CR LF lines.
#
# A source with a key missing, out of order or misspelt fails the build here;
# at run time it would only leave a label empty.
set -eu
source_file=$1
output_file=$2
section=$(basename "$source_file" .txt)

awk -v section="$section" -v file="$source_file" '
    function fail(message) { printf "%s:%d: %s\n", file, NR, message > "/dev/stderr"; bad = 1; exit 1 }
    /\r/ { fail("carriage return in source; lines end in LF") }
    NR == 1 { if ($0 != "[" section "]") fail("first line must be [" section "]"); next }
    {
        key = "l" (NR - 1)
        if (substr($0, 1, length(key) + 1) != key "=") fail("expected key " key)
        if (NR - 1 > 69) fail("more than 69 keys")
    }
    END { if (!bad && NR != 70) { printf "%s: %d keys, expected 69\n", file, NR - 1 > "/dev/stderr"; exit 1 } }
' "$source_file"

tab=$(printf '\t')
cr=$(printf '\r')
mkdir -p "$(dirname "$output_file")"
{
    printf '\377\376'
    sed -e "s/\\\\t/$tab/g" -e "s/\$/$cr/" "$source_file" | iconv -f UTF-8 -t UTF-16LE
} > "$output_file.tmp"
mv "$output_file.tmp" "$output_file"
