#!/usr/bin/env bash
# Checks that the tables razmnozhator-cli writes open in LibreOffice Calc with
# exactly the cells written: each template is written as tsv, csv and xlsx,
# every file is opened by Calc headless and saved again as CSV with every
# column read as text, and the cells Calc gives are compared, byte for byte,
# with the rows expected from the tool's own lines split at tabs.
#
# Usage: check_tables_in_calc.sh RAZMNOZHATOR_CLI
# Needs soffice (Debian's libreoffice-calc-nogui) and python3. This is a check
# that prints what it finds, not a CI test: Calc takes seconds to start.

set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 RAZMNOZHATOR_CLI" >&2
    exit 2
fi
tool=$(realpath "$1")
command -v soffice >/dev/null || { echo "soffice is not installed (apt-get install libreoffice-calc-nogui)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/razmnozhator-calc.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Templates whose cells a spreadsheet is tempted to read as something else:
# formulas, percentages, numbers, dates, leading zeros and spaces, quotes,
# commas, semicolons, the escape a sheet decodes, and Cyrillic.
templates=(
    $'[диван\tКупите диван|кресло\tКупите кресло] в Москве'
    $'[=1+1|-50%|3.5|01.02|007|+7 999]\t[a|b]'
    $'[ lead| trail |"quoted"|a,b;c]\t{, |x|y}\t'
    $'[_x0041_|&<b>|\'apostrophe]\t[TRUE|1e5|12:30]'
)

failures=0
for index in "${!templates[@]}"; do
    template=${templates[$index]}
    "$tool" -e "$template" > "$work/lines.txt"
    for format in tsv csv xlsx; do
        file="$work/t$index.$format"
        "$tool" -o "$file" -e "$template"
        fields=$(( $(head -n1 "$work/lines.txt" | tr -cd '\t' | wc -c) + 1 ))
        # Token 5 reads every column as text (format 2), 76 is UTF-8; a tsv has no
        # quoting, so its quote character is none.
        columns=$(seq -s / 1 "$fields" | sed 's/[0-9]\+/&\/2/g')
        infilter=""
        [[ $format == csv ]] && infilter="--infilter=CSV:44,34,76,1,$columns"
        [[ $format == tsv ]] && infilter="--infilter=CSV:9,0,76,1,$columns"
        mkdir -p "$work/out$index$format"
        soffice --headless $infilter --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,true,true' \
            --outdir "$work/out$index$format" "$file" >/dev/null 2>&1
        if python3 - "$work/lines.txt" "$work/out$index$format/t$index.csv" "$fields" <<'PY'; then
import csv, sys
lines = open(sys.argv[1], encoding='utf-8').read().split('\n')[:-1]
expected = [['Поле %d' % (i + 1) for i in range(int(sys.argv[3]))]] + [line.split('\t') for line in lines]
with open(sys.argv[2], encoding='utf-8', newline='') as f:
    got = list(csv.reader(f))
# Calc writes no trailing empty cells of a row.
pad = lambda row: row + [''] * (int(sys.argv[3]) - len(row))
got = [pad(row) for row in got]
if got != expected:
    for e, g in zip(expected, got):
        if e != g:
            print('  expected', e, '\n  calc gave', g)
            break
    if len(got) != len(expected):
        print('  rows: expected', len(expected), 'calc gave', len(got))
    sys.exit(1)
PY
            echo "ok     $format  template $index"
        else
            echo "DIFFER $format  template $index"
            failures=$((failures + 1))
        fi
    done
done
echo "$failures of $(( ${#templates[@]} * 3 )) files differ"
