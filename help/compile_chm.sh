#!/usr/bin/env bash
# Compiles the help into QM487.chm in the current folder, the same bytes
# from whatever folder the tree is in: chmcmd writes the project's folder
# into the file (as the topic of the context alias), so it reads the pages
# from a folder named by their content alone, /tmp/qm487-help-<sum>.
#   compile_chm.sh SOURCE_DIR PAGE...
set -euo pipefail
src=$1
shift
files=(qm487.hhp spis.hhc "$@")
sum=$(cd "$src" && cat "${files[@]}" | sha256sum | cut -c1-16)
fixed=/tmp/qm487-help-$sum
if [ ! -f "$fixed/qm487.hhp" ]; then
  # Made aside and renamed into place: another build may be doing the same.
  staging=$(mktemp -d /tmp/qm487-help-staging.XXXXXX)
  (cd "$src" && cp "${files[@]}" "$staging/")
  chmod 755 "$staging"
  mv -T "$staging" "$fixed" 2>/dev/null || rm -rf "$staging"
fi
rm -f QM487.chm
chmcmd "$fixed/qm487.hhp"
"$src/fix_chm_time.sh" QM487.chm
