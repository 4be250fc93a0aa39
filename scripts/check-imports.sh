#!/bin/sh
# Fails when a Windows exe imports a MinGW runtime DLL, i.e. when static
# linking of the compiler's runtime did not happen.
objdump="$1"; exe="$2"
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$dlls" ] || { echo "no imports read from $exe"; exit 1; }
echo "$dlls"
if echo "$dlls" | grep -qiE '^(libstdc\+\+|libgcc|libwinpthread|libssp|libgomp)'; then
  echo "FAIL: $exe needs a MinGW runtime DLL"
  exit 1
fi
