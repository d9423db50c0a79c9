#!/usr/bin/env bash
# Prints how fast razmnozhator-cli lists templates of short lines, where the
# cost per line rather than the bytes decides, beside maskprocessor (a mask
# word generator) where one is installed: eight digit groups (10^8 lines of 8
# characters) and four groups of the 26 Latin letters with two digit groups
# (4.6 * 10^7 lines), into a file on a tmpfs and to /dev/null, checked to be
# the same bytes. Then 10^7 lines of seven groups of ten Cyrillic words in
# UTF-8 and in CP1251, beside a plain writer that puts the same number of
# bytes into the same place in 1 MiB chunks (the write limit).
#
# Usage: bench_short_lines.sh RAZMNOZHATOR_CLI PLAIN_WRITER
# Environment: REPEAT (runs of each command, taking turns; the median counts;
# default 5), TMPFS (a folder on a tmpfs for the output files, which are
# deleted afterwards; default /dev/shm). Nothing is installed: without
# maskprocessor the tool's own figures are printed alone.
# This is a benchmark that prints figures, not a test.

set -euo pipefail
export LC_NUMERIC=C

if [[ $# -ne 2 ]]; then
    echo "usage: $0 RAZMNOZHATOR_CLI PLAIN_WRITER" >&2
    exit 2
fi
tool=$(realpath "$1")
plain=$(realpath "$2")
repeat=${REPEAT:-5}

work=$(mktemp -d "${TMPFS:-/dev/shm}/razmnozhator-short.XXXXXX")
trap 'rm -rf "$work"' EXIT
out="$work/out.txt"

masker=""
for name in maskprocessor mp64; do
    if command -v "$name" > /dev/null; then
        masker=$(command -v "$name")
        break
    fi
done

# Runs "$@" with standard output into $1 and prints its wall time in seconds.
timed() {
    local target=$1
    shift
    local start=$EPOCHREALTIME
    "$@" > "$target"
    awk -v start="$start" -v end="$EPOCHREALTIME" 'BEGIN { printf "%.3f", end - start }'
}

median() { tr ' ' '\n' | sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# The median of the ratios a_i / b_i of runs taken in turn: a machine that
# speeds up or slows down during the runs moves both sides of each ratio.
ratio_median() { paste -d/ <(tr ' ' '\n' <<< "$1") <(tr ' ' '\n' <<< "$2") | awk -F/ '{ print $1 / $2 }' | median; }

echo "Output folder: $work ($(df --output=fstype "$work" | tail -1)); $repeat runs of each command, taking turns;" \
    "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
if [[ -n $masker ]]; then
    echo "Mask generator: $masker"
else
    echo "Mask generator: none installed (maskprocessor or mp64), the tool's figures alone"
fi
echo

digit='[0|1|2|3|4|5|6|7|8|9]'
letter='[a|b|c|d|e|f|g|h|i|j|k|l|m|n|o|p|q|r|s|t|u|v|w|x|y|z]'
printf '%s' "$digit$digit$digit$digit$digit$digit$digit$digit" > "$work/digits.txt"
printf '%s' "$letter$letter$letter$letter$digit$digit" > "$work/letters.txt"

printf '%-44s %-12s %9s %9s %9s\n' "template" "output" "tool s" "masks s" "tool/mask"

# name, template file, mask: the tool beside the mask generator, into a file
# and to /dev/null.
beside_masks() {
    local name=$1 template=$2 mask=$3 same=""
    if [[ -n $masker ]]; then
        "$tool" "$template" > "$out"
        if "$masker" "$mask" | cmp -s - "$out"; then same="same bytes"; else same="OUTPUT DIFFERS"; fi
        rm -f "$out"
    fi
    local target label
    for target in "$out" /dev/null; do
        label=$([[ $target == /dev/null ]] && echo "/dev/null" || echo "tmpfs file")
        local tools="" masks=""
        for ((run = 0; run < repeat; ++run)); do
            tools+="$(timed "$target" "$tool" "$template") "
            rm -f "$out"
            if [[ -n $masker ]]; then
                masks+="$(timed "$target" "$masker" "$mask") "
                rm -f "$out"
            fi
        done
        tools=${tools% }
        masks=${masks% }
        if [[ -n $masker ]]; then
            printf '%-44s %-12s %9s %9s %9s  %s\n' "$name" "$label" "$(median <<< "$tools")" \
                "$(median <<< "$masks")" "$(ratio_median "$tools" "$masks")" "(goal: at most 0.90; $same)"
        else
            printf '%-44s %-12s %9s\n' "$name" "$label" "$(median <<< "$tools")"
        fi
    done
}

beside_masks "8 digit groups, 10^8 lines" "$work/digits.txt" '?d?d?d?d?d?d?d?d'
beside_masks "4 letter and 2 digit groups, 4.6*10^7 lines" "$work/letters.txt" '?l?l?l?l?d?d'
echo

# The template of bench_cli.sh: one group per line, ten words each.
cat > "$work/groups.txt" <<'EOF'
Быстрый Надёжный Удобный Красивый Простой Мощный Тихий Лёгкий Умный Новенький
автомобиль телефон компьютер велосипед холодильник чайник самолёт трактор пылесос диван
для ради вместо около после против кроме среди возле внутри
домашнего офисного дачного школьного заводского складского магазинного садового гаражного театрального
использования хранения отдыха обучения производства ремонта питания общения развития творчества
всегда сегодня завтра недорого бесплатно быстро надолго навсегда вовремя честно
отличного хорошего лучшего прочного весёлого доброго светлого честного нужного родного
EOF
while read -r line; do printf '[%s] ' "${line// /|}"; done < "$work/groups.txt" | sed 's/ $//' > "$work/words.txt"

printf '%-44s %-12s %9s %9s %9s\n' "template" "encoding" "tool s" "plain s" "of limit"
# encoding, template file: the tool beside the plain writer of as many bytes.
beside_writer() {
    local encoding=$1 template=$2 bytes tools="" plains=""
    bytes=$("$tool" --encoding "$encoding" --stats "$template" | awk '/^bytes:/ { print $2 }')
    for ((run = 0; run < repeat; ++run)); do
        tools+="$(timed "$out" "$tool" --encoding "$encoding" "$template") "
        rm -f "$out"
        plains+="$(timed "$out" "$plain" - "$bytes") "
        rm -f "$out"
    done
    tools=${tools% }
    plains=${plains% }
    printf '%-44s %-12s %9s %9s %8.0f%%  (goal: at least 90 %%; %s bytes into a tmpfs file)\n' \
        "7 groups of 10 Cyrillic words, 10^7 lines" "$encoding" "$(median <<< "$tools")" "$(median <<< "$plains")" \
        "$(awk -v r="$(ratio_median "$plains" "$tools")" 'BEGIN { print 100 * r }')" "$bytes"
}

beside_writer utf-8 "$work/words.txt"
if command -v iconv > /dev/null; then
    iconv -f UTF-8 -t CP1251 "$work/words.txt" > "$work/words1251.txt"
    beside_writer cp1251 "$work/words1251.txt"
else
    echo "CP1251: skipped, iconv is not installed"
fi
