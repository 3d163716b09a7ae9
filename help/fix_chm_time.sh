#!/usr/bin/env bash
# chmcmd writes the time of compiling into the .chm twice: in its header
# and in the #SYSTEM record 10. Both become 0, so the same pages always
# give the same file (and the same release zip).
#   fix_chm_time.sh FILE.chm
set -euo pipefail
f=$1
zero4() { printf '\0\0\0\0' | dd of="$f" bs=1 seek="$1" conv=notrunc status=none; }
zero4 16
# Record 10, 4 bytes long, followed by record 9 (the compiler's name).
at=$(od -An -v -tx1 "$f" | tr -s ' \n' '\n\n' | grep -v '^$' |
  awk '{ b[NR - 1] = $1 } END { for (i = 0; i + 9 < NR; i++)
         if (b[i] == "0a" && b[i+1] == "00" && b[i+2] == "04" && b[i+3] == "00" && b[i+8] == "09" && b[i+9] == "00") { print i + 4; exit } }')
[ -n "$at" ] || { echo "fix_chm_time: no time record in $f" >&2; exit 1; }
zero4 "$at"
