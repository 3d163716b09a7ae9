#!/usr/bin/env bash
# Compiles the help into QM487.chm in the current folder. chmcmd reads the
# contents file from the folder it runs in and writes beside it, so it runs
# in a copy of the sources; then every page must be in the file, at its root,
# and no context map (chmcmd would have written that copy's folder into it).
#   compile_chm.sh SOURCE_DIR PAGE...
set -euo pipefail
src=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$src" && cp qm487.hhp spis.hhc "$@" "$work/")
# Quiet unless it fails: it prints its banner and notes on every run.
if ! log=$(cd "$work" && chmcmd qm487.hhp 2>&1) || [ ! -f "$work/QM487.chm" ]; then
  echo "$log" >&2
  exit 1
fi
"$src/fix_chm_time.sh" "$work/QM487.chm"
listing=$(chmls -n list "$work/QM487.chm" 2>/dev/null)
for page in "$@"; do
  if ! grep -qx "/$page" <<<"$listing"; then
    echo "compile_chm.sh: $page is missing from QM487.chm" >&2
    exit 1
  fi
done
if grep -qx "/#IVB" <<<"$listing"; then
  echo "compile_chm.sh: QM487.chm has a context map, whose topics chmcmd gets wrong" >&2
  exit 1
fi
mv -f "$work/QM487.chm" QM487.chm
