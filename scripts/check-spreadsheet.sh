#!/usr/bin/env bash
# Opens reports written by the program's own report writer in LibreOffice
# Calc (headless) and says whether the values arrive as numbers:
#   1. ';' and a decimal comma, read as a Polish spreadsheet reads a CSV
#      (separator ';', decimal comma, Windows-1250): every value a number,
#      every time a date and time;
#   2. the default report (tab, decimal point), imported as the README says
#      (Central European (Windows-1250), tab, English (USA)): every value a number;
#   3. for contrast, the default report read as a Polish spreadsheet: how
#      many values are not numbers there (text or dates), which is why the
#      decimal comma exists.
# Exit 0 when 1 and 2 hold. Installs libreoffice-calc and g++ with apt-get
# when missing (too heavy for the CI run; run it by hand).
#   check-spreadsheet.sh [WORK_DIR (a temp folder)]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/.." && pwd)
dir=${1:-$(mktemp -d)}
mkdir -p "$dir"

need=()
command -v soffice >/dev/null || need+=(libreoffice-calc)
command -v g++ >/dev/null || need+=(g++)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# The rows as the program writes them: FormatReportHeader/FormatReportRow.
cat >"$dir/write_reports.cpp" <<'EOF'
#include "recording/report_file.h"
#include <cstdio>
int main(int, char** argv) {
    BOOL record[9] = {TRUE, TRUE, TRUE, FALSE, FALSE, FALSE, FALSE, FALSE, TRUE};
    for (int variant = 0; variant < 2; ++variant) {
        const int separator = variant == 0 ? 2 : 0;  // ';' with a decimal comma, or the default tab
        std::FILE* f = std::fopen(argv[1 + variant], "wb");
        int mask = kHeaderMaskNone;
        std::fputs(FormatReportHeader(record, separator, mask).c_str(), f);
        for (int i = 0; i < 24; ++i) {
            ChannelSamples s;
            for (int c = 0; c < 9; ++c)
                s[c] = {21.4 + 0.37 * i - c, FALSE, FALSE, c % 2 == 0};
            const RecordTime t = {2026, 10, 25, 1 + i / 12, (i * 5) % 60, 0};
            std::fputs(FormatReportRow(t, s, record, separator, variant == 0).c_str(), f);
        }
        std::fclose(f);
    }
}
EOF
g++ -std=c++17 -I"$src" "$dir/write_reports.cpp" "$src/recording/report_file.cpp" "$src/recording/record_types.cpp" \
  "$src/common/number_text.cpp" -o "$dir/write_reports"
"$dir/write_reports" "$dir/polish.csv" "$dir/default.txt"

# Converts with the CSV filter's options (separator, text delimiter,
# character set, first line, column formats, language) to flat ODS, then
# counts the value cells (columns after the date) that hold numbers, and the
# time cells that hold dates.
convert() {  # FILE OPTIONS OUT_NAME
  mkdir -p "$dir/$3"
  HOME="$dir/home" soffice --headless --norestore --infilter="Text - txt - csv (StarCalc):$2" --convert-to fods --outdir "$dir/$3" "$1" \
    >"$dir/$3.log" 2>&1
  python3 - "$dir/$3/$(basename "${1%.*}").fods" <<'EOF'
import sys, xml.etree.ElementTree as ET
ns = {"table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
      "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0"}
rows = ET.parse(sys.argv[1]).getroot().iter("{%s}table-row" % ns["table"])
numbers = others = dates = not_dates = 0
for n, row in enumerate(rows):
    if n == 0:
        continue  # the header
    cells = []
    for cell in row.findall("table:table-cell", ns):
        repeat = int(cell.get("{%s}number-columns-repeated" % ns["table"], "1"))
        cells += [cell] * min(repeat, 20)
    if cells and cells[0].get("{%s}value-type" % ns["office"]) == "date":
        dates += 1
    else:
        not_dates += 1
    for cell in cells[1:5]:  # the four channels after the date and time
        kind = cell.get("{%s}value-type" % ns["office"])
        if kind == "float":
            numbers += 1
        elif kind is not None or cell.find("{urn:oasis:names:tc:opendocument:xmlns:text:1.0}p") is not None:
            others += 1
print(numbers, others, dates, not_dates)
EOF
}

# Windows-1250 is the character set numbered 33 by the filter (3 is IBM 437, which turns
# "°" and the Polish letters of the header into box-drawing signs); 1045 Polish, 1033 English (USA).
read -r pl_num pl_other pl_date pl_text < <(convert "$dir/polish.csv" "59,34,33,1,,1045" polish)
read -r def_num def_other def_date def_text < <(convert "$dir/default.txt" "9,34,33,1,,1033" default)
read -r con_num con_other con_date con_text < <(convert "$dir/default.txt" "9,34,33,1,,1045" contrast)
echo "LibreOffice $(soffice --version | head -1 | cut -d' ' -f2)"
echo "report with ';' and a decimal comma, Polish: $pl_num numbers, $pl_other not numbers;" \
  "$pl_date dates, $pl_text times not dates"
echo "default report as the README imports it (English (USA)): $def_num numbers, $def_other not numbers;" \
  "$def_date dates, $def_text times not dates"
echo "default report read as Polish (for contrast): $con_num numbers, $con_other not numbers;" \
  "$con_date dates, $con_text times not dates"
[ "$pl_num" -eq 96 ] && [ "$pl_other" -eq 0 ] && [ "$pl_date" -eq 24 ] && [ "$pl_text" -eq 0 ] &&
  [ "$def_num" -eq 96 ] && [ "$def_other" -eq 0 ] || {
  echo "check-spreadsheet: FAILED (files in $dir)"
  exit 1
}
echo "check-spreadsheet: both reports open as numbers, the Polish one with dates"
