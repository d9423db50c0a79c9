#!/usr/bin/env bash
# Prints how fast razmnozhator-cli writes every variant of a 10^7-variant
# template (seven groups of ten Cyrillic words, about 1.1 GB of UTF-8) to a
# file, beside a plain writer that puts the same number of bytes in the same
# place in 1 MiB chunks; the tool's peak memory while streaming; and, where
# they are installed, bash brace expansion, the npm package brace-expansion
# and a chunked Python itertools.product writer on the same template.
#
# Usage: bench_cli.sh RAZMNOZHATOR_CLI PLAIN_WRITER
# Environment: REPEAT (runs per fast measurement, best one counts; default 3),
# TMPDIR (where the output files go; they are deleted afterwards).
# This is a benchmark that prints figures, not a test.

set -euo pipefail
export LC_NUMERIC=C

if [[ $# -ne 2 ]]; then
    echo "usage: $0 RAZMNOZHATOR_CLI PLAIN_WRITER" >&2
    exit 2
fi
tool=$(realpath "$1")
plain=$(realpath "$2")
repeat=${REPEAT:-3}

work=$(mktemp -d "${TMPDIR:-/tmp}/razmnozhator-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
out="$work/out.txt"

# One group per line; every other syntax is derived from this.
cat > "$work/groups.txt" <<'EOF'
Быстрый Надёжный Удобный Красивый Простой Мощный Тихий Лёгкий Умный Новенький
автомобиль телефон компьютер велосипед холодильник чайник самолёт трактор пылесос диван
для ради вместо около после против кроме среди возле внутри
домашнего офисного дачного школьного заводского складского магазинного садового гаражного театрального
использования хранения отдыха обучения производства ремонта питания общения развития творчества
всегда сегодня завтра недорого бесплатно быстро надолго навсегда вовремя честно
отличного хорошего лучшего прочного весёлого доброго светлого честного нужного родного
EOF
# An eighth group makes 10^8 variants, to show that memory does not grow with them.
eighth="раз два три четыре пять шесть семь восемь девять десять"

join_groups() { # open close separator between
    local open=$1 close=$2 separator=$3 between=$4 first=1 line
    while read -r line; do
        [[ $first -eq 1 ]] || printf '%s' "$between"
        first=0
        printf '%s%s%s' "$open" "${line// /$separator}" "$close"
    done
}
join_groups '[' ']' '|' ' ' < "$work/groups.txt" > "$work/template.txt"
{ cat "$work/groups.txt"; echo "$eighth"; } | join_groups '[' ']' '|' ' ' > "$work/template8.txt"
bash_braces=$(join_groups '{' '}' ',' "' '" < "$work/groups.txt")
node_braces=$(join_groups '{' '}' ',' ' ' < "$work/groups.txt")

seconds_since() {
    awk -v start="$1" -v end="$EPOCHREALTIME" 'BEGIN { printf "%.3f", end - start }'
}

# Runs "$@" with standard output into a new $out and prints its wall time in
# seconds. Dirty pages of the previous run are flushed first so that no run
# pays for another. Every program writes to the standard output it inherits:
# opening the same file again with O_TRUNC would make ext4 flush it on close.
timed() {
    rm -f "$out"
    sync
    local start=$EPOCHREALTIME
    "$@" > "$out"
    seconds_since "$start"
}

# The same for a program that creates $out itself.
timed_creating() {
    rm -f "$out"
    sync
    local start=$EPOCHREALTIME
    "$@" > /dev/null
    seconds_since "$start"
}

best_of() {
    local best="" time i
    for ((i = 0; i < repeat; ++i)); do
        time=$(timed "$@")
        best=$(faster "$time" "$best")
    done
    echo "$best"
}

faster() { # the smaller of two times, the second may be empty
    if [[ -z $2 ]] || awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; then echo "$1"; else echo "$2"; fi
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }
percent() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", 100 * a / b }'; }
throughput() { awk -v bytes="$bytes" -v s="$1" 'BEGIN { printf "%.0f", bytes / s / 1e6 }'; }

checksum() { md5sum < "$out" | cut -d' ' -f1; }

variants=$("$tool" --count "$work/template.txt")
bytes=$("$tool" --stats "$work/template.txt" | awk '/^bytes:/ { print $2 }')
echo "Template: seven groups of ten Cyrillic words, $variants variants, $bytes bytes of UTF-8 output"
echo "Output directory: $work ($(df -h --output=source,fstype "$work" | tail -1 | tr -s ' '))"
echo "Best of $repeat runs, taking turns, for the tool and the plain writer; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

tool_to_stdout() { "$tool" "$work/template.txt"; }
tool_to_file() { "$tool" -o "$out" "$work/template.txt"; }
plain_to_file() { "$plain" - "$bytes"; }
plain_to_file_fsync() { "$plain" - "$bytes" --fsync; }

timed tool_to_stdout > /dev/null
reference=$(checksum)
[[ $(stat -c %s "$out") -eq $bytes ]] || { echo "the tool wrote $(stat -c %s "$out") bytes, not $bytes" >&2; exit 1; }

# The tool and the plain writer take turns, so that both meet the same
# conditions on a machine that is doing other work too.
tool_stdout="" plain_stdout="" tool_file="" plain_fsync=""
for ((run = 0; run < repeat; ++run)); do
    tool_stdout=$(faster "$(timed tool_to_stdout)" "$tool_stdout")
    plain_stdout=$(faster "$(timed plain_to_file)" "$plain_stdout")
    tool_file=$(faster "$(timed_creating tool_to_file)" "$tool_file")
    plain_fsync=$(faster "$(timed plain_to_file_fsync)" "$plain_fsync")
done
rm -f "$out"

printf '%-58s %8s %8s\n' "" "seconds" "MB/s"
printf '%-58s %8s %8s\n' "razmnozhator-cli TEMPLATE > FILE" "$tool_stdout" "$(throughput "$tool_stdout")"
printf '%-58s %8s %8s\n' "plain writer, 1 MiB chunks, same bytes > FILE" "$plain_stdout" "$(throughput "$plain_stdout")"
printf '  tool / plain writer throughput: %s %% (goal: at least 75 %%)\n' "$(percent "$plain_stdout" "$tool_stdout")"
if [[ -x /usr/bin/time ]]; then
    # Enumeration runs on one core while a second thread hands full buffers
    # to the system, so the wall time approaches the larger of the two parts
    # only when two cores are free.
    cpu=$(/usr/bin/time -f '%U %S %P' "$tool" "$work/template.txt" 2>&1 >"$out" | tail -1)
    rm -f "$out"
    read -r user system share <<< "$cpu"
    printf '  tool CPU: %s s enumerating and copying (user), %s s in the system writing (sys), %s of a core\n' \
        "$user" "$system" "$share"
fi
printf '%-58s %8s %8s\n' "razmnozhator-cli -o FILE (atomic: commit waits for fsync)" "$tool_file" "$(throughput "$tool_file")"
printf '%-58s %8s %8s\n' "plain writer, 1 MiB chunks, then fsync" "$plain_fsync" "$(throughput "$plain_fsync")"
printf '  tool -o / plain writer with fsync throughput: %s %%\n' "$(percent "$plain_fsync" "$tool_file")"
echo

if [[ -x /usr/bin/time ]]; then
    rss_file=$(/usr/bin/time -f '%M' "$tool" -o "$out" "$work/template.txt" 2>&1 >/dev/null | tail -1)
    rm -f "$out"
    rss_stdout=$(/usr/bin/time -f '%M' "$tool" "$work/template.txt" 2>&1 >"$out" | tail -1)
    rm -f "$out"
    rss_big=$(/usr/bin/time -f '%M' "$tool" -o /dev/null "$work/template8.txt" 2>&1 | tail -1)
    echo "Peak memory (maximum resident set size) while streaming (goal: under 32 MB):"
    printf '  %-56s %6.1f MB\n' "10^7 variants, -o FILE" "$(awk -v k="$rss_file" 'BEGIN { print k / 1024 }')"
    printf '  %-56s %6.1f MB\n' "10^7 variants, > FILE" "$(awk -v k="$rss_stdout" 'BEGIN { print k / 1024 }')"
    printf '  %-56s %6.1f MB\n' "10^8 variants (eight groups), -o /dev/null" "$(awk -v k="$rss_big" 'BEGIN { print k / 1024 }')"
else
    echo "Peak memory: skipped, /usr/bin/time is not installed"
fi
echo

echo "Other expanders on the same template, each writing the same bytes to a file (checked):"
compare() { # name seconds
    local same="same output"
    [[ $(checksum) == "$reference" ]] || same="OUTPUT DIFFERS"
    rm -f "$out"
    printf '  %-56s %8s s  tool is %sx faster (%s)\n' "$1" "$2" "$(ratio "$2" "$tool_stdout")" "$same"
}

bash_expansion() { LC_ALL=C bash -c "printf '%s\n' $bash_braces"; }
bash_time=$(timed bash_expansion)
compare "bash $BASH_VERSION brace expansion, LC_ALL=C (goal: 60x)" "$bash_time"

if command -v npm > /dev/null && command -v node > /dev/null \
    && npm install --prefix "$work/npm" brace-expansion --no-audit --no-fund --loglevel=error > /dev/null 2>&1; then
    cat > "$work/expand.cjs" <<'EOF'
const fs = require('fs');
const [moduleDir, template] = process.argv.slice(2);
const loaded = require(moduleDir);
const expand = typeof loaded === 'function' ? loaded : loaded.expand;
// Every bound that the package sets against runaway input, lifted.
const lifted = { max: Infinity, maxLength: Infinity, maxDepth: Infinity, maxRewrites: Infinity, maxSteps: Infinity };
const lines = expand(template, lifted);
for (let i = 0; i < lines.length; i += 100000)
    fs.writeSync(1, lines.slice(i, i + 100000).join('\n') + '\n');
EOF
    npm_version=$(node -p "require('$work/npm/node_modules/brace-expansion/package.json').version")
    node_expansion() { node --max-old-space-size=20000 "$work/expand.cjs" "$work/npm/node_modules/brace-expansion" "$node_braces"; }
    node_time=$(timed node_expansion)
    compare "npm brace-expansion $npm_version, limits lifted (goal: 30x)" "$node_time"
else
    echo "  npm brace-expansion: skipped, npm or node is missing or the package could not be installed"
fi

if command -v python3 > /dev/null; then
    cat > "$work/product.py" <<'EOF'
import itertools
import sys

with open(sys.argv[1], encoding="utf-8") as groups_file:
    groups = [[word.encode() for word in line.split()] for line in groups_file]
variants = map(b" ".join, itertools.product(*groups))
out = sys.stdout.buffer
while chunk := list(itertools.islice(variants, 100000)):
    out.write(b"\n".join(chunk) + b"\n")
EOF
    python_expansion() { python3 "$work/product.py" "$work/groups.txt"; }
    python_time=$(best_of python_expansion)
    compare "Python $(python3 -c 'import platform; print(platform.python_version())') itertools.product, chunked (goal: 4x)" "$python_time"
else
    echo "  Python itertools.product: skipped, python3 is missing"
fi
