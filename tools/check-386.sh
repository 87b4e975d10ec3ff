#!/bin/bash
# Fails when a shipped executable holds an instruction that a 386 with a 387
# lacks: Windows 95 runs on a 386DX, and such an instruction stops the program
# there with an invalid-opcode fault. Every instruction of the executable
# sections is read, the compiler's helpers and our start-up included.
#   check-386.sh EXE...
# The executables must keep their symbol table (the shipped build keeps an
# unstripped copy of each), so that each finding names its function.
# objdump is i686-w64-mingw32-objdump unless OBJDUMP says otherwise.
# Exit: 0 none found, 1 some found, 2 usage error or unreadable input.
set -euo pipefail
export LC_ALL=C
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
[ $# -gt 0 ] || { echo "usage: $0 EXE..." >&2; exit 2; }

# Mnemonics (AT&T, as objdump prints them) of the Pentium Pro and later
# (CMOVcc, FCMOVcc, FCOMI and kin, the long NOPs, SYSENTER, RDPMC, UD2), the
# Pentium (CPUID, RDTSC, CMPXCHG8B, RDMSR, WRMSR) and the 486 (BSWAP,
# CMPXCHG, XADD, INVD, WBINVD, INVLPG), and the MMX/SSE ones that name no
# MMX or XMM register; any use of such a register is caught on its own.
newer='^(cmov|fcmov|f(u)?comi|nop[lw]|endbr|sysenter|sysexit|syscall|sysret|rdpmc|ud2|cpuid|rdtsc|cmpxchg|rdmsr|wrmsr|bswap|xadd|invd|wbinvd|invlpg|emms|femms|fxsave|fxrstor|[ls]dmxcsr|stmxcsr|prefetch|[lms]fence|clflush|movnti|popcnt|lzcnt|tzcnt|movbe|fisttp)'

status=0
for exe in "$@"; do
    if ! listing=$("$objdump" -d -C --no-show-raw-insn "$exe" 2>&1); then
        echo "check-386.sh: $objdump -d $exe failed: $listing" >&2
        exit 2
    fi
    if ! grep -q '^[0-9a-f]* <.*>:$' <<<"$listing"; then
        echo "check-386.sh: $exe has no symbols; give the unstripped copy" >&2
        exit 2
    fi
    # One line per finding: function, address, instruction.
    found=$(awk -v newer="$newer" '
        /^[0-9a-f]+ <.*>:$/ { fn = $0; sub(/^[0-9a-f]+ </, "", fn); sub(/>:$/, "", fn); next }
        /^ *[0-9a-f]+:\t/ {
            split($0, part, "\t"); insn = part[2]; addr = part[1]; gsub(/[ :]/, "", addr)
            sub(/^(lock|rep[a-z]*|data16|addr16|cs|ds|es|ss|fs|gs) +/, "", insn)
            if (insn ~ newer || insn ~ /%x?mm[0-9]/) print fn "\t" addr "\t" insn
        }' <<<"$listing")
    if [ -n "$found" ]; then
        status=1
        echo "$exe: $(wc -l <<<"$found") instructions newer than the 386/387 (function, address, instruction):"
        sed 's/^/  /' <<<"$found"
        echo "  by kind: $(awk -F'\t' '{ split($3, w, " "); n[w[1]]++ } END { for (k in n) printf "%s %d, ", k, n[k] }' <<<"$found" | sed 's/, $//')"
    else
        echo "$exe: OK (only 386/387 instructions)"
    fi
done
exit $status
