#!/usr/bin/env bash
# The include check itself: the tree as it is passes, and a copy of it with
# an import running back up (the DDE server reaching into ui/, the core
# including windows.h, a subsystem including the program, one program
# another, the framework a subsystem above it) fails, naming each.
#   check_imports_test.sh SOURCE_DIR
set -uo pipefail
src=$1
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT

"$src/scripts/check-imports.sh" --sources "$src" || { echo "the tree itself fails the check"; exit 1; }

for d in app bench common config database exchange framework installation instrument mqtt notify recording res \
         secrets serial tools ui viewer; do
  cp -r "$src/$d" "$copy/"
done
echo '#include "ui/reading_view.h"' >>"$copy/exchange/dde_server.cpp"
echo '#include <windows.h>' >>"$copy/instrument/line_decoder.h"
echo '#include "app/main_dialog.h"' >>"$copy/serial/port_scan.cpp"
echo '#include "app/reader_app.h"' >>"$copy/viewer/app/chart_window.cpp"
echo '#include "recording/record_types.h"' >>"$copy/framework/record_file.h"
out=$("$src/scripts/check-imports.sh" --sources "$copy" 2>&1) && { echo "planted imports passed"; exit 1; }
rc=0
for want in "exchange/dde_server.cpp includes ui/reading_view.h" "instrument/line_decoder.h: the portable core" \
            "serial/port_scan.cpp includes app/main_dialog.h" \
            "viewer/app/chart_window.cpp includes app/reader_app.h: another program" \
            "framework/record_file.h includes recording/record_types.h: a subsystem above"; do
  grep -qF "$want" <<<"$out" || { echo "not reported: $want"; rc=1; }
done
[ $rc -eq 0 ] || echo "$out"
exit $rc
