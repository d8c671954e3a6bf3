#!/usr/bin/env bash
# Checks with objdump that the 32-bit kytDCR.nbp runs on any i686 processor:
# the SSE2 kernels are in it, every instruction that uses the XMM registers
# lies in them (chosen at run time only where the processor and the system
# have SSE2), and the only other SSE instructions are the entry points'
# STMXCSR/LDMXCSR, each after the processor-features check. The DLL entry and
# DllMain thus run x87 code only.
#
#   scripts/check-sse.sh <kytDCR.nbp>
#
# Prints one PASS/FAIL line per check and a summary; exits non-zero on any failure.
set -uo pipefail

dll=${1:?usage: check-sse.sh <kytDCR.nbp>}
objdump=i686-w64-mingw32-objdump
[ -f "$dll" ] || { echo "check-sse: $dll does not exist" >&2; exit 1; }

source "$(dirname "${BASH_SOURCE[0]}")/check-tally.sh"

listing=$("$objdump" -d --no-show-raw-insn -C "$dll") || { echo "check-sse: $objdump cannot read $dll" >&2; exit 1; }

# One line per function that uses SSE: "<kind>\t<function>", kind "xmm" when
# it touches an XMM register, "mxcsr" when it only reads or sets MXCSR, and
# "mxcsr-unchecked" when an MXCSR instruction comes before any call of
# kyt::Processor(). The exception tables that the linker puts into .text
# are data, not code.
uses=$(awk '
  function flush() {
    if (fn != "" && fn !~ /^\.gcc_except_table/) {
      if (xmm) print "xmm\t" fn
      else if (unchecked) print "mxcsr-unchecked\t" fn
      else if (mx) print "mxcsr\t" fn
    }
  }
  /^[0-9a-f]+ <.*>:$/ {
    flush()
    fn = $0; sub(/^[0-9a-f]+ </, "", fn); sub(/>:$/, "", fn)
    xmm = 0; mx = 0; unchecked = 0; asked = 0
    next
  }
  /call.*<kyt::Processor\(\)>/ { asked = 1 }
  /%xmm/ { xmm = 1 }
  /[ls]dmxcsr|stmxcsr/ { mx = 1; if (!asked) unchecked = 1 }
  END { flush() }' <<<"$listing")

kernels=$(awk -F'\t' '$1 == "xmm" && $2 ~ /kyt::kernels::sse2::/' <<<"$uses" | wc -l)
[ "$kernels" -ge 8 ]
check "the SSE2 kernels are in the library ($kernels functions)" $? "$kernels functions of kyt::kernels::sse2"

stray=$(awk -F'\t' '$1 == "xmm" && $2 !~ /kyt::kernels::sse2::/ { print $2 }' <<<"$uses")
[ -z "$stray" ]
check "XMM registers only in the SSE2 kernels" $? "$(tr '\n' ';' <<<"$stray")"

unchecked=$(awk -F'\t' '$1 == "mxcsr-unchecked" { print $2 }' <<<"$uses")
[ -z "$unchecked" ]
check "MXCSR read or set only after the processor-features check" $? "$(tr '\n' ';' <<<"$unchecked")"

guards=$(awk -F'\t' '$1 == "mxcsr" { print $2 }' <<<"$uses")
odd=$(grep -vE '^(nb[A-Za-z]+|kytDCR[A-Za-z]+)@[0-9]+$' <<<"$guards" | grep -v '^$')
[ -n "$guards" ] && [ -z "$odd" ]
check "MXCSR set by the entry points' guard only ($(wc -l <<<"$guards") entry points)" $? "others: $(tr '\n' ';' <<<"$odd")"

# The DLL entry and DllMain by name: no SSE instruction at all.
entry_rva=$("$objdump" -p "$dll" | awk '/^AddressOfEntryPoint/ { print $2; exit }')
image_base=$("$objdump" -p "$dll" | awk '/^ImageBase/ { print $2; exit }')
entry=$(printf '%x' $((0x$image_base + 0x$entry_rva)))
entry_name=$(awk -v a="$entry" '$1 ~ "^0*" a "$" && /^[0-9a-f]+ <.*>:$/ { sub(/^[0-9a-f]+ </, ""); sub(/>:$/, ""); print; exit }' <<<"$listing")
bad=""
for fn in "$entry_name" DllMain@12; do
  [ -n "$fn" ] || { bad+=" (entry point not found)"; continue; }
  grep -qF "$(printf '\t')$fn" <<<"$uses" && bad+=" $fn"
  grep -q "<$fn>:" <<<"$listing" || bad+=" ($fn not found)"
done
[ -z "$bad" ]
check "the DLL entry ($entry_name) and DllMain run x87 code only" $? "$bad"

tally sse
