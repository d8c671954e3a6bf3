#!/usr/bin/env bash
# Checks a built kytDCR.nbp with objdump: the export directory holds exactly
# the eleven entry points by name with their fixed ordinals, each name leads
# to its own function, the library imports from system DLLs only, and its
# resource section holds the plug-in's icon and bitmaps (windres listing).
#
#   scripts/check-exports.sh <kytDCR.nbp> [i686|x86_64]      (default i686)
#
# Prints the export listing, one PASS/FAIL line per check and a summary line;
# exits non-zero on any failure.
set -uo pipefail

dll=${1:?usage: check-exports.sh <kytDCR.nbp> [i686|x86_64]}
arch=${2:-i686}
case "$arch" in
  i686) triple=i686-w64-mingw32; format=pei-i386 ;;
  x86_64) triple=x86_64-w64-mingw32; format=pei-x86-64 ;;
  *) echo "check-exports: unknown architecture '$arch'" >&2; exit 2 ;;
esac
objdump=${triple}-objdump
nm=${triple}-nm

# The entry points and their ordinals.
expected="1 kytDCRExec
2 kytDCRCmdList
3 nbRegisterStreamAccess
4 nbMessage
5 nbRegisterInterfaceAccess
6 nbRegisterScriptProcessor
7 nbRegisterPlugIn
8 nbInitPlugIn
9 nbExecAction
10 nbAbout
11 nbEditAction"

# System DLLs the plug-in may import from (compared without regard to case).
# Anything else, a C++ runtime DLL, zlib1.dll or a DLL of the picture
# libraries, would have to ship beside the plug-in and is refused.
allowed_dlls="kernel32.dll user32.dll gdi32.dll advapi32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll
shlwapi.dll comctl32.dll comdlg32.dll"

source "$(dirname "${BASH_SOURCE[0]}")/check-tally.sh"

if [ ! -f "$dll" ]; then
  echo "check-exports: $dll does not exist" >&2
  exit 1
fi
headers=$("$objdump" -p "$dll") || { echo "check-exports: $objdump cannot read $dll" >&2; exit 1; }

"$objdump" -f "$dll" | grep -q "file format $format"
check "$arch: file format $format" $?

# Export directory: the library name, the ordinal base, and the name table,
# whose entries read "[index] name" with ordinal = base + index.
dll_name=$(awk '/^Name[ \t]/ && !seen { print $3; seen = 1 }' <<<"$headers")
[ "$dll_name" = "kytDCR.nbp" ]
check "export directory names the library kytDCR.nbp" $? "$dll_name"

base=$(awk '/^Ordinal Base/ { print $3; exit }' <<<"$headers")
listing=$(awk -v base="${base:-0}" '
  /\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
  on && /^[ \t]*$/ { exit }
  on { gsub(/[\[\]]/, " "); print $1 + base, $2 }' <<<"$headers" | sort -n)
echo "Exports (ordinal name):"
sed 's/^/  /' <<<"$listing"
[ "$listing" = "$expected" ]
check "exactly the eleven names with ordinals 1 to 11" $? "$(diff <(echo "$expected") <(echo "$listing") | tr '\n' ' ')"

count_hex=$(awk '/Export Address Table[ \t]+[0-9a-f]+$/ { print $NF; exit }' <<<"$headers")
count=$((0x${count_hex:-0}))
[ "$count" = 11 ]
check "export address table has eleven entries" $? "${count:-none}"

# Each ordinal's address is the function of that name (when symbols are present).
image_base=$(awk '/^ImageBase/ { print $2; exit }' <<<"$headers")
symbols=$("$nm" "$dll" 2>/dev/null || true)
if [ -n "$symbols" ] && [ -n "$image_base" ]; then
  eat=$(awk '/^Export Address Table -- Ordinal Base/ { on = 1; next }
             on && /Export RVA/ { gsub(/[\[\]+]/, " "); print $3, $4 }
             on && /^[ \t]*$/ { exit }' <<<"$headers")
  mismatch=""
  while read -r ordinal name; do
    rva=$(awk -v o="$ordinal" '$1 == o { print $2 }' <<<"$eat")
    # x86_64: plain names; i686: _name@bytes for stdcall.
    address=$(awk -v n="$name" '$2 == "T" && ($3 == n || $3 == "_" n || index($3, "_" n "@") == 1) {
                                  print $1; exit }' <<<"$symbols")
    if [ -z "$rva" ] || [ -z "$address" ] ||
       [ $((0x$image_base + 0x$rva)) -ne $((0x$address)) ]; then
      mismatch+=" $ordinal:$name"
    fi
  done <<<"$expected"
  [ -z "$mismatch" ]
  check "every ordinal leads to the function of its name" $? "$mismatch"
else
  echo "NOTE no symbol table in $dll: ordinal-to-function check skipped"
fi

imports=$(awk '/DLL Name:/ { print $3 }' <<<"$headers")
echo "Imports: $(tr '\n' ' ' <<<"$imports")"
foreign=""
for d in $imports; do
  lower=$(tr 'A-Z' 'a-z' <<<"$d")
  case "$lower" in api-ms-win-*) continue ;; esac
  grep -qw -- "$lower" <<<"$allowed_dlls" || foreign+=" $d"
done
[ -n "$imports" ] && [ -z "$foreign" ]
check "imports from system DLLs only" $? "not allowed:${foreign:- (no imports found)}"

# The resources as windres lists them from the library itself.
windres=${triple}-windres
resources=$("$windres" -i "$dll" -O rc 2>/dev/null || true)
icons=$(grep -c '"KYT_ICON" 14 /\* RT_GROUP_ICON \*/' <<<"$resources")
images=$(grep -c '^[0-9][0-9]* 3 /\* RT_ICON \*/' <<<"$resources")
[ "$icons" = 1 ] && [ "$images" -ge 1 ]
check "resources: the icon group KYT_ICON with its image" $? "groups $icons, images $images"
missing=""
for name in NBHB_GLYPH_16 NBHB_GLYPH_256 KYT_GLYPH_CHOOSE_OBJECT KYT_GLYPH_INSERT_VARIABLE KYT_GLYPH_CHOOSE_FILE \
            KYT_GLYPH_CHOOSE_EMBEDDED KYT_HINT_PICTURE KYT_ICON; do
  grep -q "^\"$name\" 2 /\* RT_BITMAP \*/" <<<"$resources" || missing+=" $name"
done
[ -z "$missing" ]
check "resources: the eight bitmaps" $? "missing:$missing"

tally exports
